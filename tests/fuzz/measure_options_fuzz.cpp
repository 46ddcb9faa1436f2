// fuzz-sources: analyzer/measure_options.cpp analyzer/measure_file_options.cpp analyzer/measure_load_option.cpp analyzer/measure_usage.cpp analyzer/quantity_choice.cpp platform/si_number.cpp measurement/sweep_plan.cpp files/quantity_formats.cpp reflection/reflection_columns.cpp reflection/impedance_quantities.cpp transmission/transmission_columns.cpp transmission/transmission_quantities.cpp reflection/equivalent_circuits.cpp reflection/circuit_models.cpp reflection/resonances.cpp
//
// vna-measure is run from scripts, whose command lines are built from
// variables that may hold anything. The options must come out either as a
// plan the instrument can scan and values the analyzers could have been
// given, or as one line naming what was refused (the program prints it after
// "vna-measure: " and a script may log it line by line). The input is cut
// at NUL and newline bytes into at most 20 arguments. A broken rule stops the
// run (__builtin_trap) so libFuzzer keeps the input; the sanitizers catch the
// rest.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analyzer/measure_options.h"
#include "measurement/sweep_plan.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("measure_options_fuzz", "", #condition); \
  } while (false)

constexpr std::size_t kMostArguments = 20;

std::vector<std::string_view> argumentsOf(std::string_view text) {
  std::vector<std::string_view> args;
  std::size_t at = 0;
  while (args.size() < kMostArguments) {
    const std::size_t end = std::min(text.find('\0', at), text.find('\n', at));
    args.push_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return args;
}

void checkAccepted(const vna::MeasureOptions& o) {
  using vna::MeasureCommand;
  const vna::SweepPlan& p = o.plan;
  REQUIRE(vna::isScanLength(p.points));
  REQUIRE(p.freqMin < p.freqMax);
  REQUIRE(vna::acceptTypedFrequency(p.freqMin));
  REQUIRE(vna::acceptTypedFrequency(p.freqMax));
  REQUIRE(vna::sampleCodeIndex(p.sampleCode) >= 0);
  REQUIRE(p.markerIndex1 >= 0 && p.markerIndex1 < p.points);
  REQUIRE(p.markerIndex2 >= 0 && p.markerIndex2 < p.points);
  REQUIRE(o.sweeps >= 1 && o.sweeps <= 9999);
  if (o.portOverride) REQUIRE(*o.portOverride >= 0 && *o.portOverride <= 255);
  REQUIRE(std::isfinite(o.lengthMetres));
  REQUIRE(o.lengthMetres > -999.99991 && o.lengthMetres < 9999.99991);
  if (o.loadOverride) {
    REQUIRE(o.loadOverride->refR > 0.099 && o.loadOverride->refR < 9999.999);
    REQUIRE(o.loadOverride->refL >= 0 && o.loadOverride->refL * 1e9 < 9999.999);
    REQUIRE(o.loadOverride->refC >= 0 && o.loadOverride->refC * 1e12 < 9999.999);
  }
  if (o.calFile) REQUIRE(!o.calFile->empty());
  switch (o.command) {
    case MeasureCommand::Calibrate:
    case MeasureCommand::Normalize: REQUIRE(o.calFile.has_value()); break;
    case MeasureCommand::Reflection:
      REQUIRE(o.output.has_value());
      REQUIRE(o.slot == vna::ParameterSlot::s11 || o.slot == vna::ParameterSlot::s22);
      break;
    case MeasureCommand::Transmission:
      REQUIRE(o.output.has_value());
      if (o.format == vna::OutputFormat::Touchstone) REQUIRE(o.twoPort);  // a CSV or JSON-lines file has no ports
      REQUIRE(o.slot == vna::ParameterSlot::s21 || o.slot == vna::ParameterSlot::s12);
      break;
    case MeasureCommand::Convert: {
      REQUIRE(o.input && o.output && o.format && o.quantities);
      REQUIRE(*o.format != vna::OutputFormat::Touchstone);
      const bool transmissionSlot = o.slot == vna::ParameterSlot::s21 || o.slot == vna::ParameterSlot::s12;
      REQUIRE(transmissionSlot == (o.quantities->kind == vna::QuantityKind::Transmission));
      for (const vna::Quantity* q : vna::chosenQuantities(*o.quantities)) REQUIRE(!q->name.starts_with("level_"));
      break;
    }
    case MeasureCommand::Analyze: {
      // A circuit is fitted to a reflection, a filter read off a transmission.
      REQUIRE(o.input.has_value());
      const bool transmissionSlot = o.slot == vna::ParameterSlot::s21 || o.slot == vna::ParameterSlot::s12;
      if (o.analyzeAs == "filter") REQUIRE(transmissionSlot);
      if (o.analyzeAs != "filter" && o.analyzeAs != "auto") REQUIRE(!transmissionSlot);
      break;
    }
    case MeasureCommand::Help:
    case MeasureCommand::Version:
    case MeasureCommand::QuantityHelp: break;
  }
  // The columns of a measuring command are of its own kind.
  if (o.command == MeasureCommand::Reflection || o.command == MeasureCommand::Transmission) {
    REQUIRE(o.quantities.has_value());
    REQUIRE((o.quantities->kind == vna::QuantityKind::Transmission) == (o.command == MeasureCommand::Transmission));
  }
  // Numbered files need a name to number.
  if (o.sweeps > 1) REQUIRE(o.output && *o.output != "-");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> args = argumentsOf(text);
  const vna::MeasureOptions o = vna::parseMeasureOptions(args);

  const bool helpAsked = std::any_of(args.begin(), args.end(), [](std::string_view a) { return a == "--help" || a == "-h"; });
  if (helpAsked) REQUIRE(o.ok() && o.command == vna::MeasureCommand::Help);

  if (o.ok()) {
    checkAccepted(o);
    return 0;
  }
  REQUIRE(!o.error.empty());
  REQUIRE(o.error.find('\n') == std::string::npos);
  return 0;
}
