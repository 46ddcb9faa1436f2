#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "simulator/command_text.h"
#include "simulator/control_commands.h"
#include "simulator/device_syntax.h"
#include "simulator/fault_plan.h"
#include "simulator/simulator_options.h"

namespace vna {
namespace {

TEST(CommandText, NumbersTakeSiPrefixesAndOptionalUnits) {
  const std::vector<std::pair<std::string_view, double>> good{
      {"100", 100.0},    {"4.7k", 4700.0},  {"100p", 100e-12}, {"100pF", 100e-12}, {"10n", 10e-9},
      {"1u", 1e-6},      {"2.2mH", 2.2e-3}, {"1m", 1e-3},      {"1M", 1e6},        {"1meg", 1e6},
      {"1.5MHz", 1.5e6}, {"3G", 3e9},       {"5fF", 5e-15},    {"20dB", 20.0},     {"-3", -3.0},
      {"+2", 2.0},       {"1e3", 1e3},      {"50ohm", 50.0},   {"1s", 1.0},        {"0", 0.0}};
  for (auto [text, value] : good) {
    const auto parsed = parseSiValue(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_NEAR(*parsed, value, std::abs(value) * 1e-12) << text;
  }
  for (std::string_view bad : {"", "k", "1x", "1kk", "1 k", "nan", "inf", "1e999", "1.2.3", "p100", "1K"})
    EXPECT_FALSE(parseSiValue(bad).has_value()) << bad;
  // Whole numbers (counts, orders, seeds) take the prefixes while they stay whole.
  EXPECT_EQ(parseWholeNumber("2k"), 2000);
  EXPECT_EQ(parseWholeNumber("1.5k"), 1500);
  EXPECT_EQ(parseWholeNumber("-3"), -3);
  EXPECT_EQ(parseWholeNumber("9223372036854775807"), 9223372036854775807LL);
  for (std::string_view bad : {"1.5", "1m", "1e300", "x"}) EXPECT_FALSE(parseWholeNumber(bad).has_value()) << bad;

  EXPECT_EQ(formatSiValue(100e-12), "100p");
  EXPECT_EQ(formatSiValue(1500.0), "1.5k");
  EXPECT_EQ(formatSiValue(0.0), "0");
  EXPECT_EQ(formatSiValue(1e-6), "1u");
  EXPECT_EQ(formatSiValue(-20.0), "-20");
  EXPECT_EQ(formatSiValue(150e6), "150M");
}

TEST(DeviceSyntax, ParsesEveryKindAndDescribesItBackTheSameWay) {
  const std::vector<std::pair<std::string_view, Device>> cases{
      {"resistor 100", Device::resistor(100.0)},
      {"capacitor 100p", Device::capacitor(100e-12)},
      {"capacitor 100n 0.1 5n", Device::capacitor(100e-9, 0.1, 5e-9)},
      {"inductor 2.2u", Device::inductor(2.2e-6)},
      {"inductor 10u 2 3p", Device::inductor(10e-6, 2.0, 3e-12)},
      {"crystal 10 10m 25.33f 5p", Device::crystal(10.0, 10e-3, 25.33e-15, 5e-12)},
      {"rlc-series 10 1u 100p", Device::seriesRlc(10.0, 1e-6, 100e-12)},
      {"rlc-parallel 5k 1u 100p", Device::parallelRlc(5e3, 1e-6, 100e-12)},
      {"open", Device::open()},
      {"short", Device::shortCircuit()},
      {"load 50", Device::referenceLoad(50.0, 0.0, 0.0)},
      {"load 50 10n 2p", Device::referenceLoad(50.0, 10e-9, 2e-12)},
      {"through", Device::through()},
      {"attenuator 20", Device::attenuator(20.0)},
      {"lowpass-rc 1k 1n", Device::lowpassRc(1e3, 1e-9)},
      {"lowpass-lc 10M 5", Device::lowpassLc(10e6, 5)},
      {"bandpass-lc 10.7M 200k 4", Device::bandpassLc(10.7e6, 200e3, 4)},
      {"delay 10n", Device::delayLine(10e-9)},
      {"amplifier -6", Device::amplifier(-6.0)},
      {"isolation", Device::isolation()},
  };
  for (const auto& [text, device] : cases) {
    const auto parsed = parseDevice(text);
    ASSERT_TRUE(parsed.value.has_value()) << text << ": " << parsed.error;
    EXPECT_EQ(*parsed.value, device) << text;
    const auto again = parseDevice(describeDevice(device));
    ASSERT_TRUE(again.value.has_value()) << describeDevice(device);
    EXPECT_EQ(*again.value, device) << describeDevice(device);
  }
  EXPECT_EQ(describeDevice(Device::seriesRlc(10.0, 1e-6, 100e-12)), "rlc-series 10 1u 100p");
  // An ideal part is described as it always was.
  EXPECT_EQ(describeDevice(Device::capacitor(100e-12)), "capacitor 100p");
  EXPECT_EQ(parseDevice("  resistor\t47  ").value, Device::resistor(47.0));
}

TEST(DeviceSyntax, RefusesWhatIsNotADevice) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases{
      {"", "no device given"},
      {"resister 100", "unknown device \"resister\""},
      {"resistor", "usage: resistor R"},
      {"resistor 1 2", "usage: resistor R"},
      {"open 5", "usage: open"},
      {"capacitor -1p", "value must not be negative: -1p"},
      {"capacitor 1q", "bad value \"1q\" (use e.g. 100, 4.7k, 100p, 10n)"},
      {"lowpass-lc 10M 0", "filter order must be 1 to 10, not \"0\""},
      {"lowpass-lc 10M 2.5", "filter order must be 1 to 10, not \"2.5\""},
      {"bandpass-lc 10M 1M", "usage: bandpass-lc CENTRE WIDTH ORDER"},
      {"crystal 10 10m 25f", "usage: crystal R1 L1 C1 C0"},
      {"capacitor 1n 1 1n 1", "usage: capacitor C [ESR [ESL]]"},
  };
  for (auto [text, error] : cases) {
    const auto parsed = parseDevice(text);
    EXPECT_FALSE(parsed.value.has_value()) << text;
    EXPECT_EQ(parsed.error, error) << text;
  }
}

TEST(FaultSyntax, ParsesFaultsWithTheirCountsAndDurations) {
  const std::vector<std::pair<std::string_view, FaultPlan>> good{
      {"none", FaultPlan::none()},
      {"silence", FaultPlan::silence()},
      {"silence 2", FaultPlan::silence(2)},
      {"short-reply", FaultPlan::shortReply()},
      {"garbage 1", FaultPlan::garbage(1)},
      {"extra-bytes 5", FaultPlan::extra(5)},
      {"extra-bytes 5 3", FaultPlan::extra(5, 3)},
      {"stall 2", FaultPlan::stall(2.0)},
      {"stall 500m 1", FaultPlan::stall(0.5, 1)},
      {"unplug", FaultPlan::unplug()},
      {"unplug 3", FaultPlan::unplug(3.0)},
  };
  for (const auto& [text, plan] : good) {
    const auto parsed = parseFault(text);
    ASSERT_TRUE(parsed.value.has_value()) << text << ": " << parsed.error;
    EXPECT_EQ(*parsed.value, plan) << text;
    EXPECT_EQ(parseFault(describeFault(plan)).value, plan) << describeFault(plan);
  }
  for (std::string_view bad :
       {"", "silent", "silence 0", "silence x", "stall", "stall -1", "extra-bytes", "unplug 3 4", "none 1"})
    EXPECT_FALSE(parseFault(bad).value.has_value()) << bad;
  EXPECT_EQ(parseFault("stall").error, "usage: fault stall SECONDS [N]");
}

TEST(ControlCommands, ChangeTheRunningInstrument) {
  InstrumentModel model;
  EXPECT_TRUE(applyControlLine("device capacitor 100p", model, 0.0).ok);
  EXPECT_EQ(model.device(), Device::capacitor(100e-12));
  EXPECT_EQ(applyControlLine("fault stall 2", model, 0.0).message, "fault stall 2");
  EXPECT_EQ(model.fault(), FaultPlan::stall(2.0));
  EXPECT_TRUE(applyControlLine("noise 0", model, 0.0).ok);
  EXPECT_EQ(model.settings().noiseCounts, 0.0);
  EXPECT_TRUE(applyControlLine("ar-phase -2.5", model, 0.0).ok);
  EXPECT_EQ(model.settings().arPhaseDegrees, -2.5);
  EXPECT_TRUE(applyControlLine("errors off", model, 0.0).ok);
  EXPECT_EQ(model.settings().pathErrors, PathErrors::None);
  EXPECT_TRUE(applyControlLine("log on", model, 0.0).ok);
  EXPECT_TRUE(model.logging());
  EXPECT_TRUE(applyControlLine("  # a comment", model, 0.0).ok);
  EXPECT_TRUE(applyControlLine("", model, 0.0).ok);
  EXPECT_TRUE(applyControlLine("quit", model, 0.0).quit);

  // Unplugging takes the port away until "fault none".
  applyControlLine("fault unplug", model, 5.0);
  EXPECT_FALSE(model.present(6.0));
  EXPECT_NE(describeStatus(model, 6.0).find("fault unplug"), std::string::npos);
  applyControlLine("fault none", model, 7.0);
  EXPECT_TRUE(model.present(7.0));

  // Mistakes change nothing and say why.
  const Device before = model.device();
  const auto bad = applyControlLine("device capacitor", model, 0.0);
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.message, "usage: capacitor C [ESR [ESL]]");
  EXPECT_EQ(model.device(), before);
  EXPECT_FALSE(applyControlLine("noise -1", model, 0.0).ok);
  EXPECT_FALSE(applyControlLine("compression maybe", model, 0.0).ok);
  EXPECT_EQ(applyControlLine("frobnicate 3", model, 0.0).message, "unknown command \"frobnicate\" (try help)");
}

TEST(SimulatorOptions, ReadTheCommandLine) {
  const std::vector<std::string_view> args{"--device", "resistor 100", "--noise=0", "--seed",  "42",        "--port",
                                           "3",        "--no-link",    "--log",     "--fault", "silence 1", "--ar-gain",
                                           "1",        "--no-errors"};
  const auto parsed = parseSimulatorOptions(args);
  ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
  const SimulatorOptions& o = *parsed.value;
  EXPECT_EQ(o.device, Device::resistor(100.0));
  EXPECT_EQ(o.settings.noiseCounts, 0.0);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_EQ(o.port, 3);
  EXPECT_FALSE(o.link);
  EXPECT_TRUE(o.log);
  EXPECT_EQ(o.fault, FaultPlan::silence(1));
  EXPECT_EQ(o.settings.arGain, 1.0);
  EXPECT_EQ(o.settings.pathErrors, PathErrors::None);

  const auto defaults = parseSimulatorOptions({});
  ASSERT_TRUE(defaults.value.has_value());
  EXPECT_TRUE(defaults.value->link);
  EXPECT_EQ(defaults.value->settings.clockHz, 150000000.0);

  // Numbers take SI prefixes, m being milli as in vna-measure.
  const std::vector<std::string_view> prefixed{
      "--seed",        "2k", "--clock", "150MHz", "--level", "-500m", "--device", "rlc-series 1m 1u 1n", "--fault",
      "short-reply 1k"};
  const auto withPrefixes = parseSimulatorOptions(prefixed);
  ASSERT_TRUE(withPrefixes.value.has_value()) << withPrefixes.error;
  EXPECT_EQ(withPrefixes.value->seed, 2000u);
  EXPECT_EQ(withPrefixes.value->settings.clockHz, 150e6);
  EXPECT_EQ(withPrefixes.value->settings.referenceLevelDbm, -0.5);
  EXPECT_EQ(withPrefixes.value->device, Device::seriesRlc(1e-3, 1e-6, 1e-9));
  EXPECT_EQ(withPrefixes.value->fault, FaultPlan::shortReply(1000));

  // Each refusal names the option and what it takes.
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> refused{
      {{"--device"}, "--device: the value is missing"},
      {{"--device", "box"}, "--device: unknown device \"box\""},
      {{"--noise", "-1"}, "--noise -1: give a number from 0 to 10M"},
      {{"--clock", "150m"}, "--clock 150m: give a number from 1M to 1G"},
      {{"--port", "300"}, "--port 300: give a whole number from 0 to 255"},
      {{"--port"}, "--port: the value is missing, a whole number from 0 to 255"},
      {{"--seed", "1.5"}, "--seed 1.5: give a whole number from 0 to"},
      {{"--frobnicate"}, "--frobnicate: unknown option"},
      {{"--frobnicate=3"}, "--frobnicate: unknown option"},
      {{"--log=yes"}, "--log: takes no value"},
      {{"stray"}, "unexpected argument \"stray\""},
  };
  for (const auto& [bad, message] : refused) {
    const auto parsed = parseSimulatorOptions(bad);
    EXPECT_FALSE(parsed.value.has_value()) << bad[0];
    EXPECT_EQ(parsed.error.substr(0, message.size()), message) << bad[0];
  }
  EXPECT_TRUE(parseSimulatorOptions(std::vector<std::string_view>{"--help"}).value->help);
  EXPECT_TRUE(parseSimulatorOptions(std::vector<std::string_view>{"--version"}).value->version);
}

}  // namespace
}  // namespace vna
