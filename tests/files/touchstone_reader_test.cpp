#include "files/touchstone_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "files/touchstone_writer.h"

namespace vna {
namespace {

using Points = std::vector<TouchstonePoint>;
constexpr auto kOnePort = TouchstoneColumns::OnePortS11;
constexpr auto kImpedance2 = TouchstoneColumns::TwoPortS11S22;
constexpr auto kTransmission = TouchstoneColumns::TwoPortS21S12;

std::optional<TouchstoneScan> read(const std::string& text, TouchstoneColumns columns) {
  return readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, columns).scan;
}

std::string refusal(const std::string& text, TouchstoneColumns columns) {
  return readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, columns).reason;
}

SweepPlan planOf(double freqMin, double freqMax, bool logSweep, int points) {
  SweepPlan plan;
  plan.freqMin = freqMin;
  plan.freqMax = freqMax;
  plan.logSweep = logSweep;
  plan.points = points;
  return plan;
}

// A scan whose values tell their point and their parameter apart: a swapped
// column or a shifted line shows at once.
Points scanOf(const SweepPlan& plan, double parameter) {
  Points points;
  for (int i = 0; i < plan.points; ++i) {
    points.push_back({pointFrequency(plan, i), -parameter - i * 0.37, parameter / 10 + i * 0.41 - 170});
  }
  return points;
}

// The analyzers write single precision values to 7 digits: read back, each
// s is its point's within that precision (a swapped column or a shifted
// line is off by 4 % or more).
void expectValues(const std::vector<std::complex<double>>& s, const Points& points) {
  ASSERT_EQ(s.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    const auto saved = std::polar(std::pow(10.0, points[i].db / 20), 3.1415926 * points[i].angleDeg / 180);
    EXPECT_LE(std::abs(s[i] - saved), 1e-4 * std::abs(saved)) << i;
  }
}

const SweepPlan kLog401 = planOf(200, 60e6, true, 401);

TEST(TouchstoneReader, LoadsTheAnalyzersFilesOfEveryScanLength) {
  for (const int n : {51, 101, 201, 401, 801}) {
    const SweepPlan plan = planOf(1000, 5e7, true, n);
    const Points a = scanOf(plan, 1), b = scanOf(plan, 1000);
    const auto s1p = read(s1pContent(a), kOnePort);
    ASSERT_TRUE(s1p) << n;
    ASSERT_EQ(s1p->points(), n);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(s1p->frequency[i], a[i].frequencyHz, 1e-15 * a[i].frequencyHz) << i;
    expectValues(s1p->s1, a);
    EXPECT_TRUE(s1p->s2.empty());

    // s11 and s22 saved under one name, then s21 and s12: each viewer takes its own pair.
    const std::string reflection = s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, a);
    const auto impedance = read(*mergeS2p(reflection, ParameterSlot::s22, b).content, kImpedance2);
    ASSERT_TRUE(impedance) << n;
    expectValues(impedance->s1, a);
    expectValues(impedance->s2, b);
    const std::string transmission = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, a);
    const auto gain = read(*mergeS2p(transmission, ParameterSlot::s12, b).content, kTransmission);
    ASSERT_TRUE(gain) << n;
    expectValues(gain->s1, a);
    expectValues(gain->s2, b);
  }
  // The parameters a file was not saved with are its "0.0 0.0".
  const auto s21Only =
      read(s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, scanOf(kLog401, 1)), kTransmission);
  ASSERT_TRUE(s21Only);
  expectValues(s21Only->s2, Points(401, {0, 0, 0}));
}

TEST(TouchstoneReader, TakesFromTwoTo200001Points) {
  for (const int n : {1, 2, 57, 200'001, 200'002}) {
    const std::string file = s1pContent(scanOf(planOf(100, 1e8, false, n), 1));
    const std::string reason = refusal(file, kOnePort);
    EXPECT_EQ(reason.empty(), n >= 2 && n <= 200'001) << n << reason;
    if (n == 1) {
      EXPECT_EQ(reason, " one point only: a sweep needs two or more ");
    } else if (n > 200'001) {
      EXPECT_EQ(reason, " more than 200001 points ");
    }
  }
}

// The same scan in other layouts: what a user may do to a file in an editor,
// or what another program writes.
TEST(TouchstoneReader, LayoutVariantsGiveTheSameScan) {
  const std::string header = "!  kelvane  \r\n! parameter S\r\n# HZ S DB R 50\r\n";
  const std::vector<std::string> lines = {"1000 -1.5 20", "2000 -2.5 -30", "4000 -3.5 40"};
  auto file = [&](const std::string& head, const std::string& between, const std::string& end, int repeats = 20) {
    std::string text = head;
    for (int r = 0; r < repeats; ++r) {
      for (const std::string& line : lines) text += std::to_string(r) + line + end + between;
    }
    return text;
  };
  const auto expected = read(file(header, "", "\r\n"), kOnePort);
  ASSERT_TRUE(expected);
  ASSERT_EQ(expected->points(), 60);
  EXPECT_EQ(expected->frequency[4], 12000);
  EXPECT_EQ(std::abs(expected->s1[4]), std::pow(10.0, -2.5 / 20));
  std::string tabbed = file("#HZ DB\r\n", "", "\r\n");
  std::replace(tabbed.begin(), tabbed.end(), ' ', '\t');
  const std::string variants[] = {
      tabbed,                                                      // tabs between the fields
      file(header, "", " \r\n"),                                   // a trailing blank
      file(header, "", "\n"),                                      // LF alone
      file(header, "\r\n \t\r\n", "\r\n"),                         // blank lines are not points
      file(header, "! 1 2 3 # 4\r\n", "\r\n"),                     // comments with numbers
      file(header, "", " ! 5 6 7 the comment ends the line\r\n"),  // comments after the data
      file("! 1 2\r\n" + header + "! 3 4\r\n", "", "\r\n"),        // comments around the header
      file("\xEF\xBB\xBF" + header, "", "\r"),                        // a byte order mark, CR alone
      file(header + "# MHZ Y MA R 75\r\n", "", "\r\n"),             // a second option line counts for nothing
      file(header, "", "\r\n").substr(0, file(header, "", "\r\n").size() - 2),  // no last line feed
  };
  for (const std::string& variant : variants) {
    const auto scan = read(variant, kOnePort);
    ASSERT_TRUE(scan) << variant;
    EXPECT_EQ(scan->frequency, expected->frequency) << variant;
    EXPECT_EQ(scan->s1, expected->s1) << variant;
  }
}

// Each refusal says why, at the line at fault.
TEST(TouchstoneReader, RefusesFilesItWouldReadWrongAndSaysWhy) {
  const Points points = scanOf(kLog401, 1);
  const std::string onePort = s1pContent(points);
  const std::string twoPort = s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, points);
  const std::string option = "# HZ S DB R 50\r\n";
  struct Case {
    std::string file;
    TouchstoneColumns columns;
    std::string reason;
  };
  const Case refused[] = {
      {onePort, kTransmission, " line 4: 3 numbers where a two-port line has 9 "},  // one-port data under an .s2p name
      {onePort, impedanceViewerColumns("dut.S2P"), " line 4: 3 numbers where a two-port line has 9 "},
      {twoPort, impedanceViewerColumns("dut.s2p.s1p"), " line 4: 9 numbers where a one-port line has 3 "},
      {onePort + "1e9 2\r\n", kOnePort, " line 405: 2 numbers where a one-port line has 3 "},
      {twoPort + "1e9 2 3 4 5 6 7 8\r\n", kImpedance2, " line 405: 8 numbers where a two-port line has 9 "},
      {twoPort + "1e9 2 3 4 5 6 7 8 9 10\r\n", kTransmission, " line 405: 10 numbers where a two-port line has 9 "},
      {"1 2 3\r\n" + onePort, kOnePort, " line 1: numbers before the option line (# ...) "},
      {onePort + "100 1 2\r\n", kOnePort, " line 405: the frequency is not above the one before "},
      {onePort + "1e999 0 0\r\n", kOnePort, " line 405: \"1e999\" is not a number "},
      {option + "1000 1,5 2\r\n2000 1 2\r\n", kOnePort, " line 2: \"1,5\" is not a number "},
      {option + "-1 0 0\r\n2000 1 2\r\n", kOnePort, " line 2: the frequency must be 0 or above "},
      {option, kOnePort, " no data: the file holds no points "},
      // Several megabytes on one line, of numbers or of anything else.
      {option + [] { std::string line; for (int i = 0; i < 2'000'000; ++i) line += "1 "; return line; }(), kOnePort,
       " line 2: 2000000 numbers where a one-port line has 3 "},
      {option + "1 2 3\n" + std::string(5'000'000, 'x'), kOnePort, " line 3: \"xxxxxxxxxxxxxxxx...\" is not a number "},
  };
  for (const Case& c : refused) EXPECT_EQ(refusal(c.file, c.columns), c.reason) << c.file.substr(0, 200);
  EXPECT_TRUE(read(twoPort, impedanceViewerColumns("dut.s2p")));
  EXPECT_TRUE(read(twoPort, impedanceViewerColumns("dut.S2p")));  // listed in any case, read so too
}

TEST(TouchstonePlan, RebuildsTheSweepOfTheAnalyzerThatWroteIt) {
  const SweepPlan written[] = {kLog401, planOf(200, 60e6, false, 401), planOf(1e3, 2e5, true, 401),
                               planOf(1e6, 1.1e6, false, 401)};
  for (const SweepPlan& base : written) {
    // Marker 1 at its start-up offset, 100 of 800 (6.25 and 12.5 go to the even index).
    for (const auto& [n, marker1] : {std::pair{51, 6}, {101, 12}, {201, 25}, {401, 50}, {801, 100}}) {
      SweepPlan plan = base;
      plan.points = n;
      const auto scan =
          read(s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, scanOf(plan, 1)), kTransmission);
      ASSERT_TRUE(scan);
      SweepPlan shown = planOf(1, 2, !plan.logSweep, 51);
      shown.centerSpanEntry = true;
      shown.markerOffset2 = 400;  // the middle of the plot
      std::vector<double> f(kMaxPoints, -1.0);
      planForScan(*scan, shown, f);
      const std::string where =
          (plan.logSweep ? "log " : "linear ") + std::to_string(n) + " from " + std::to_string(plan.freqMin);
      EXPECT_EQ(shown.points, n) << where;
      EXPECT_EQ(shown.logSweep, plan.logSweep) << where;
      EXPECT_EQ(shown.freqMin, scan->frequency.front()) << where;
      EXPECT_EQ(shown.freqMax, scan->frequency.back()) << where;
      EXPECT_DOUBLE_EQ(shown.center, (shown.freqMin + shown.freqMax) / 2) << where;
      EXPECT_DOUBLE_EQ(shown.span, shown.freqMax - shown.freqMin) << where;
      EXPECT_FALSE(shown.centerSpanEntry);
      EXPECT_EQ(shown.markerIndex1, marker1) << where;
      EXPECT_EQ(shown.markerIndex2, (n - 1) / 2) << where;
      // Equal to the analyzer's own frequencies but for the 16 digits of the file.
      for (int i = 0; i < n; ++i) EXPECT_NEAR(f[i], pointFrequency(plan, i), 1e-12 * f[i]) << where << " point " << i;
      EXPECT_EQ(f[n], -1.0) << where;
    }
  }
}

// Random bytes weighted towards the ones the reader acts on, and valid files
// with bytes flipped, inserted, deleted or lines repeated: the reader must
// never crash, and what it accepts must be a scan the display can take.
TEST(TouchstoneReaderFuzz, AnyBytesGiveAUsableScanOrNone) {
  std::mt19937 random(20240611);
  auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  const std::string alphabet = "0123456789+,-.Ee \t\r\n!#x";
  const std::string seeds[] = {
      s1pContent(scanOf(planOf(100, 1e6, false, 52), 1)),
      s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s12, scanOf(planOf(100, 1e6, true, 51), 1)),
      s1pContent(scanOf(planOf(10, 1e8, true, 801), 1)),
  };
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    if (round % 3 == 0) {
      for (std::size_t n = below(3000); n > 0; --n)
        bytes += below(4) == 0 ? static_cast<char>(below(256)) : alphabet[below(alphabet.size())];
    } else {
      bytes = seeds[below(3)];
      for (std::size_t edits = 1 + below(4); edits > 0; --edits) {
        const std::size_t at = below(bytes.size());
        const char byte = below(2) == 0 ? alphabet[below(alphabet.size())] : static_cast<char>(below(256));
        switch (below(4)) {
          case 0: bytes[at] = byte; break;
          case 1: bytes.insert(at, 1, byte); break;
          case 2: bytes.erase(at, 1 + below(40)); break;
          case 3: bytes.insert(at, bytes.substr(at, below(200))); break;
        }
        if (bytes.empty()) bytes = "#";
      }
    }
    for (const TouchstoneColumns columns : {kOnePort, kImpedance2, kTransmission}) {
      const auto scan = read(bytes, columns);
      if (!scan) continue;
      ++accepted;
      const std::size_t n = scan->frequency.size();
      ASSERT_TRUE(n >= 2 && n <= kMostFilePoints) << bytes;
      ASSERT_EQ(scan->s1.size(), n);
      ASSERT_EQ(scan->s2.size(), columns == kOnePort ? 0 : n);
      SweepPlan plan;
      std::vector<double> f(n);
      planForScan(*scan, plan, f);
      ASSERT_TRUE(std::isfinite(f[0]) && std::isfinite(f[n - 1])) << bytes;
      ASSERT_TRUE(plan.markerIndex2 >= 0 && plan.markerIndex2 < static_cast<int>(n));
    }
  }
  // The mutations reach the accepting paths, not only the refusals (fewer
  // than a lenient reader would take: a mangled number or a repeated line
  // is refused).
  EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace vna
