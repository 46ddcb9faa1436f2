// The CSV and JSON lines of derived quantities read back to the very
// doubles written, and a feed always ends in an "end".
#include "files/quantity_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace vna {
namespace {

const Quantity kR{"r_ohm", "ohm", "R"}, kPhase{"z_deg", "deg", "arg Z", true};

// Doubles that a fixed number of digits, or a decimal comma, would change.
const double kAwkward[] = {0.1, 1.0 / 3, 1e-300, 4.9e-324, -0.0, 123456789012345.67, 2.5e-7, -1e22};

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line.substr(0, line.find('\n')));
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

TEST(QuantityFormats, CsvAndJsonNumbersReadBackBitForBit) {
  const ColumnSet columns{{&kR, &kPhase}, true};
  EXPECT_EQ(csvHeader(columns), "f_hz,r_ohm,r_ohm_u,z_deg,z_deg_u\n");
  for (const double x : kAwkward) {
    const double values[] = {x, -x}, u[] = {x / 7, 3 * x};
    const std::vector<std::string> csv = fields(csvLine(columns, 1e6 + x, values, u));
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(std::strtod(csv[0].c_str(), nullptr), 1e6 + x);
    EXPECT_EQ(std::strtod(csv[1].c_str(), nullptr), x) << csv[1];
    EXPECT_EQ(std::signbit(std::strtod(csv[1].c_str(), nullptr)), std::signbit(x));
    EXPECT_EQ(std::strtod(csv[4].c_str(), nullptr), 3 * x);
    const auto json = nlohmann::json::parse(jsonPointLine(columns, 1e6 + x, values, u));
    EXPECT_EQ(json["r_ohm"].get<double>(), x);
    EXPECT_EQ(json["z_deg_u"].get<double>(), 3 * x);
  }
}

TEST(QuantityFormats, NonFiniteValuesStayReadableAndTheFeedSaysHowItEnded) {
  const ColumnSet plain{{&kR, &kPhase}, false};
  const double values[] = {std::numeric_limits<double>::infinity(), std::nan("")};
  EXPECT_EQ(csvLine(plain, 1000, values, {}), "1000,inf,nan\n");
  const auto point = nlohmann::json::parse(jsonPointLine(plain, 1000, values, {}));
  EXPECT_TRUE(point["r_ohm"].is_null());
  EXPECT_FALSE(point.contains("r_ohm_u"));
  // The columns of the first line in their order, with units.
  const auto first = nlohmann::json::parse(jsonFirstLine({{"command", "reflection"}}, ColumnSet{{&kR}, true}));
  EXPECT_EQ(first["quantities"].dump(),
            R"([{"name":"f_hz","unit":"Hz"},{"name":"r_ohm","unit":"ohm"},{"name":"r_ohm_u","unit":"ohm"}])");
  EXPECT_EQ(nlohmann::json::parse(jsonEndLine(51))["points"], 51);
  // A message naming a file of any bytes still gives one valid line.
  const std::string error = jsonErrorLine("/tmp/\xff\xfe.s1p cannot be written", 5);
  EXPECT_EQ(error.find('\n'), error.size() - 1);
  const auto failed = nlohmann::json::parse(error);
  EXPECT_EQ(failed["end"], "failed");
  EXPECT_EQ(failed["status"], 5);
}

}  // namespace
}  // namespace vna
