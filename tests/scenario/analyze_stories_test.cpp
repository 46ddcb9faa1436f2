// A user measures a part on the (simulated) instrument, calibrated, over 801
// points, and asks vna-measure analyze what it is: the crystal's motional
// values, a real capacitor's ESR, ESL and self-resonance, a coil's losses and
// self-resonance, a band-pass filter's centre, bandwidth and loss. Each
// answer against the device's true values, with the uncertainty the
// program gives; auto names the right model each time.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "simulator/device_models.h"
#include "tests/scenario/measure_bench.h"

namespace vna::testing {
namespace {

constexpr double kTwoPi = 2 * 3.14159265358979323846;

class AnalyzeStories : public MeasureBench {
 protected:
  // Calibrates with open, short and 50 ohm over `plan` (801 points), measures
  // `part` into NAME.s1p and analyzes it; the JSON object.
  nlohmann::json measureAndAnalyze(const std::string& name, const Device& part, std::vector<std::string> plan) {
    plan.insert(plan.end(), {"--points", "801"});
    const auto with = [&](std::vector<std::string> args) {
      args.insert(args.end(), plan.begin(), plan.end());
      return args;
    };
    for (const auto& [standard, device] : {std::pair{"open", Device::open()}, {"short", Device::shortCircuit()},
                                           {"load", Device::referenceLoad(50, 0, 0)}}) {
      model_.setDevice(device);
      EXPECT_EQ(measure(with({"calibrate", standard, "--cal", name + ".cal"})).status, 0) << standard;
    }
    model_.setDevice(part);
    const Outcome measured = measure(with({"reflection", "--cal", name + ".cal", "-o", name + ".s1p"}));
    EXPECT_EQ(measured.status, 0) << measured.message;
    return analyze({"analyze", name + ".s1p", "--json"});
  }

  nlohmann::json analyze(const std::vector<std::string>& args) {
    const Outcome run = measure(args);
    EXPECT_EQ(run.status, 0) << run.message << run.output;
    std::printf("%s", run.output.c_str());
    return run.status == 0 ? nlohmann::json::parse(run.output) : nlohmann::json::object();
  }

  // The value within `relative` of the truth, and its uncertainty no more
  // than a third of that bound (a value known so loosely says little).
  static void expectValue(const nlohmann::json& found, const std::string& name, double truth, double relative) {
    ASSERT_TRUE(found.contains(name)) << name << " in " << found.dump();
    const double value = found[name]["value"], u = found[name]["u"];
    EXPECT_NEAR(value, truth, relative * std::fabs(truth)) << name << " u " << u;
    EXPECT_LT(u, relative * std::fabs(truth)) << name;
  }
};

TEST_F(AnalyzeStories, ACrystalGivesItsMotionalValuesAndBothResonances) {
  // 10 ohm, 10 mH, 25.33 fF, 5 pF: fs 10.0003 MHz, fp 10.0256 MHz.
  const double r1 = 10, l1 = 10e-3, c1 = 25.33e-15, c0 = 5e-12;
  const nlohmann::json found = measureAndAnalyze("crystal", Device::crystal(r1, l1, c1, c0),
                                                 {"--from", "9.99M", "--to", "10.04M", "--linear"});
  EXPECT_EQ(found["model"], "crystal");
  const double fs = 1 / (kTwoPi * std::sqrt(l1 * c1));
  expectValue(found, "fs_hz", fs, 5e-6);
  expectValue(found, "fp_hz", fs * std::sqrt(1 + c1 / c0), 5e-6);
  expectValue(found, "r1_ohm", r1, 0.03);
  expectValue(found, "l1_h", l1, 0.03);
  expectValue(found, "c1_f", c1, 0.03);
  expectValue(found, "c0_f", c0, 0.03);
  ASSERT_EQ(found["resonances"].size(), 2u) << found["resonances"].dump();
  EXPECT_EQ(found["resonances"][0]["kind"], "series");
  EXPECT_NEAR(found["resonances"][0]["f_hz"].get<double>(), fs, 5e-6 * fs);
  EXPECT_EQ(found["resonances"][1]["kind"], "parallel");
}

TEST_F(AnalyzeStories, ARealCapacitorGivesItsEsrEslAndSelfResonance) {
  const double c = 100e-9, esr = 0.5, esl = 5e-9;
  const nlohmann::json found =
      measureAndAnalyze("capacitor", Device::capacitor(c, esr, esl), {"--from", "1k", "--to", "60M", "--log"});
  EXPECT_EQ(found["model"], "capacitor");
  expectValue(found, "c_f", c, 0.03);
  expectValue(found, "esl_h", esl, 0.05);
  expectValue(found, "esr_ohm", esr, 0.1);
  expectValue(found, "srf_hz", 1 / (kTwoPi * std::sqrt(esl * c)), 0.03);
}

TEST_F(AnalyzeStories, ACoilGivesItsLossesAndSelfResonance) {
  const double l = 10e-6, rs = 5, cp = 2e-12;
  const nlohmann::json found =
      measureAndAnalyze("coil", Device::inductor(l, rs, cp), {"--from", "10k", "--to", "60M", "--log"});
  EXPECT_EQ(found["model"], "inductor");
  expectValue(found, "l_h", l, 0.03);
  expectValue(found, "rs_ohm", rs, 0.1);
  expectValue(found, "cp_f", cp, 0.05);
  expectValue(found, "srf_hz", 1 / (kTwoPi * std::sqrt(l * cp)), 0.03);
}

TEST_F(AnalyzeStories, ABandPassFilterGivesItsCentreBandwidthAndLoss) {
  const std::vector<std::string> plan{"--from", "10.2M", "--to", "11.2M", "--linear", "--points", "801"};
  const auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), plan.begin(), plan.end());
    return args;
  };
  model_.setDevice(Device::through());
  ASSERT_EQ(measure(with({"normalize", "--cal", "thru.cal"})).status, 0);
  model_.setDevice(Device::bandpassLc(10.7e6, 200e3, 4));
  ASSERT_EQ(measure(with({"transmission", "--cal", "thru.cal", "-o", "filter.s2p"})).status, 0);
  const nlohmann::json found = analyze({"analyze", "filter.s2p", "--json"});
  EXPECT_EQ(found["model"], "filter");
  EXPECT_EQ(found["kind"], "band-pass");
  EXPECT_NEAR(found["f_center_hz"]["value"].get<double>(), 10.7e6, 0.005 * 10.7e6);
  EXPECT_NEAR(found["bw_3db_hz"]["value"].get<double>(), 200e3, 0.02 * 200e3);
  EXPECT_NEAR(found["insertion_loss_db"]["value"].get<double>(), 0, 0.05);
  EXPECT_TRUE(found["f_center_hz"]["u"].is_null());  // no uncertainty is claimed for a figure read off a sweep
}

}  // namespace
}  // namespace vna::testing
