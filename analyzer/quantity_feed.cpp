#include "analyzer/quantity_feed.h"

#include "measurement/sweep_plan.h"
#include "platform/program_version.h"
#include "transmission/transmission_columns.h"

namespace vna {

// The inputs of point i of a measuring command's sweep, its mean ratio and
// levels given.
PointInputs pointInputs(const MeasureOptions& o, const std::optional<Calibration>& cal,
                        std::span<const double> frequency, std::size_t i, const UncertainComplex& ratio,
                        const UncertainComplex& levels) {
  PointInputs p = o.command == MeasureCommand::Reflection
                      ? reflectionPoint(ratio, i, frequency[i], cal)
                      : transmissionPoint(ratio, i, frequency[i], cal, o.lengthMetres);
  p.levels = levels;
  return p;
}

// Every point of an averaged sweep.
std::vector<PointInputs> sweepInputs(const MeasureOptions& o, const std::optional<Calibration>& cal,
                                     std::span<const double> frequency, const SweepAverage& average) {
  const std::vector<UncertainComplex> ratios = average.ratios();
  std::vector<PointInputs> inputs;
  for (std::size_t i = 0; i < ratios.size(); ++i)
    inputs.push_back(pointInputs(o, cal, frequency, i, ratios[i], average.levels(static_cast<int>(i))));
  return inputs;
}

// What the first JSON line says of a measuring run: the command, when and
// by what, the plan, the calibration and the averaging.
nlohmann::ordered_json runDescription(const MeasureOptions& o, const std::optional<Calibration>& cal,
                                      const std::string& when) {
  nlohmann::ordered_json run;
  run["command"] = o.command == MeasureCommand::Reflection ? "reflection" : "transmission";
  run["measured"] = when;
  run["program"] = "vna-measure " + std::string(softwareVersion());
  run["plan"] = {{"from_hz", o.plan.freqMin},
                 {"to_hz", o.plan.freqMax},
                 {"points", o.plan.points},
                 {"spacing", o.plan.logSweep ? "log" : "linear"},
                 {"ms_per_point", msPerMeasurement(o.plan.sampleCode)}};
  if (cal) {
    nlohmann::ordered_json standards = nlohmann::ordered_json::object();
    const auto add = [&](const char* name, const auto& values, const std::optional<StandardSpread>& spread) {
      if (values) standards[name] = {{"sweeps", spread ? spread->sweeps : 1}};
    };
    add("open", cal->open, cal->openSpread);
    add("short", cal->shortCircuit, cal->shortSpread);
    add("load", cal->load, cal->loadSpread);
    add("through", cal->through, cal->throughSpread);
    run["calibration"] = {{"file", o.calFile->string()},
                          {"standards", standards},
                          {"reference_load", {{"r_ohm", cal->refR}, {"l_h", cal->refL}, {"c_f", cal->refC}}}};
  } else {
    run["calibration"] = nullptr;
  }
  run["averaging"] = {{"sweeps", o.average},
                      {"uncertainty", o.average >= 2 ? "standard deviation of the mean" : "none"}};
  if (o.command == MeasureCommand::Reflection) run["reference_ohm"] = 50;
  if (o.command == MeasureCommand::Transmission) {
    run["delay_aperture_points"] = kDefaultDelayAperture;
    if (!cal) run["length_m"] = o.lengthMetres;
  }
  return run;
}

}  // namespace vna
