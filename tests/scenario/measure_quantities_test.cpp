// The quantities a user asks vna-measure for, from parts whose values are
// known: a series 100 ohm + 1 uH and a parallel 1 kohm || 1 nF read as their
// parts. (Averaging and the honesty of the uncertainties: the reflection
// stories.)
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "simulator/device_models.h"
#include "tests/scenario/measure_bench.h"

namespace vna::testing {
namespace {

constexpr double kTwoPi = 2 * 3.14159265358979323846;

class MeasureQuantities : public MeasureBench {
 protected:
  std::vector<std::string> with(std::vector<std::string> args) const {
    for (const char* a : {"--from", "1k", "--to", "10M", "--log", "--points", "51"}) args.push_back(a);
    return args;
  }
  void calibrate() {
    for (const auto& [name, device] : {std::pair{"open", Device::open()},
                                       {"short", Device::shortCircuit()},
                                       {"load", Device::referenceLoad(50, 0, 0)}}) {
      model_.setDevice(device);
      const Outcome run = measure(with({"calibrate", name, "--cal", "bench.cal"}));
      ASSERT_EQ(run.status, 0) << name << ": " << run.message;
    }
  }
};

// The calibrated instrument puts at most 0.3 % of |Z| on any part of Z (see
// the reflection stories): each part's value is held to what that error
// allows at its point, so a quantity is checked tightly where it is
// measurable (R = 100 ohm everywhere, L where X is not lost beside R).
TEST_F(MeasureQuantities, ASeriesAndAParallelCircuitReadAsTheirParts) {
  calibrate();
  model_.setDevice(Device::seriesRlc(100, 1e-6, 0));
  const Outcome series = measure(with({"reflection", "--cal", "bench.cal", "--average", "2", "-o", "series.csv",
                                       "--quantities", "r_ohm,ls_h,swr,rl_db"}));
  ASSERT_EQ(series.status, 0) << series.message;
  std::vector<std::string> header;
  CsvColumns c = csvColumns(file("series.csv"), &header);
  EXPECT_EQ(header, (std::vector<std::string>{"f_hz", "r_ohm", "r_ohm_u", "ls_h", "ls_h_u", "swr", "swr_u", "rl_db",
                                              "rl_db_u"}));
  ASSERT_EQ(c["f_hz"].size(), 51u);
  for (std::size_t i = 0; i < 51; ++i) {
    const double w = kTwoPi * c["f_hz"][i], magnitude = std::hypot(100, w * 1e-6);
    EXPECT_NEAR(c["r_ohm"][i], 100, 0.003 * magnitude) << c["f_hz"][i];
    EXPECT_NEAR(c["ls_h"][i], 1e-6, 0.003 * magnitude / w) << c["f_hz"][i];
  }
  // 100 ohm on 50: s11 = 1/3, an SWR of 2 and a return loss of 20 log10 3.
  EXPECT_NEAR(c["swr"][0], 2, 0.01);
  EXPECT_NEAR(c["rl_db"][0], 9.5424, 0.03);

  model_.setDevice(Device::parallelRlc(1000, 0, 1e-9));
  const Outcome parallel =
      measure(with({"reflection", "--cal", "bench.cal", "-o", "parallel.csv", "--quantities", "rp_ohm,cp_f,q"}));
  ASSERT_EQ(parallel.status, 0) << parallel.message;
  c = csvColumns(file("parallel.csv"), &header);
  EXPECT_EQ(header, (std::vector<std::string>{"f_hz", "rp_ohm", "cp_f", "q"}));  // one sweep: no _u
  ASSERT_EQ(c["f_hz"].size(), 51u);
  for (std::size_t i = 0; i < 51; ++i) {
    // Y = 1/Rp + j w Cp, known to 0.3 % of |Y|.
    const double w = kTwoPi * c["f_hz"][i], g = 1e-3, b = w * 1e-9, dy = 0.003 * std::hypot(g, b);
    EXPECT_NEAR(1 / c["rp_ohm"][i], g, dy) << c["f_hz"][i];
    EXPECT_NEAR(c["cp_f"][i], 1e-9, dy / w) << c["f_hz"][i];
    EXPECT_NEAR(c["q"][i], w * 1000 * 1e-9, dy * (1 + b / g) / g) << c["f_hz"][i];
  }
}

// A delay line after normalizing on a through: no gain, its phase falling
// with frequency, and the group delay of each point from its two
// neighbours, none at either end where one of them is missing.
TEST_F(MeasureQuantities, ADelayLineReadsItsDelayBetweenItsNeighbours) {
  model_.setDevice(Device::through());
  ASSERT_EQ(measure(with({"normalize", "--cal", "thru.cal", "--average", "4"})).status, 0);
  model_.setDevice(Device::delayLine(100e-9));
  const Outcome run = measure(with({"transmission", "--cal", "thru.cal", "--average", "4", "-o", "line.csv",
                                    "--quantities", "gain_db,delay_s,level_a_dbm"}));
  ASSERT_EQ(run.status, 0) << run.message;
  std::vector<std::string> header;
  CsvColumns c = csvColumns(file("line.csv"), &header);
  EXPECT_EQ(header, (std::vector<std::string>{"f_hz", "gain_db", "gain_db_u", "delay_s", "delay_s_u", "level_a_dbm",
                                              "level_a_dbm_u"}));
  ASSERT_EQ(c["f_hz"].size(), 51u);
  EXPECT_TRUE(std::isnan(c["delay_s"].front()));
  EXPECT_TRUE(std::isnan(c["delay_s"].back()));
  for (std::size_t i = 1; i + 1 < 51; ++i) {
    EXPECT_NEAR(c["gain_db"][i], 0, 0.01) << c["f_hz"][i];
    // Above 100 kHz the phase steps are large beside the noise.
    if (c["f_hz"][i] > 1e5) {
      EXPECT_NEAR(c["delay_s"][i], 100e-9, 1e-9) << c["f_hz"][i];
    }
    EXPECT_GT(c["delay_s_u"][i], 0) << c["f_hz"][i];
    EXPECT_GT(c["level_a_dbm_u"][i], 0) << c["f_hz"][i];
  }
}

}  // namespace
}  // namespace vna::testing
