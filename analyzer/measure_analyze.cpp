#include "analyzer/measure_analyze.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "analyzer/measure_convert.h"
#include "files/atomic_file.h"
#include "platform/si_number.h"
#include "reflection/equivalent_circuits.h"
#include "reflection/resonances.h"
#include "transmission/filter_figures.h"

namespace vna {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 4> kSlotNames{"s11", "s21", "s12", "s22"};

// Enough digits of a value to show its uncertainty's first two.
int digitsFor(double value, double u) {
  if (!(u > 0) || !std::isfinite(u) || value == 0 || !std::isfinite(value)) return 6;
  const int shown = static_cast<int>(std::floor(std::log10(std::fabs(value))) - std::floor(std::log10(u))) + 2;
  return std::clamp(shown, 2, 12);
}

// "l1_h        10.00037 mH   +- 0.36 uH" (the unit after the prefix).
std::string valueLine(std::string_view name, double value, std::optional<double> u, std::string_view unit) {
  std::string line = "  " + std::string(name);
  line.resize(std::max<std::size_t>(line.size() + 1, 14), ' ');
  std::string shown = siText(value, u ? digitsFor(value, *u) : 6) + std::string(unit);
  shown.resize(std::max<std::size_t>(shown.size() + 1, 20), ' ');
  line += shown;
  if (u) line += "+- " + siText(*u, 2) + std::string(unit);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + "\n";
}

Json valueObject(double value, std::optional<double> u, std::string_view unit) {
  Json v;
  v["value"] = std::isfinite(value) ? Json(value) : Json(nullptr);
  v["u"] = u && std::isfinite(*u) ? Json(*u) : Json(nullptr);
  v["unit"] = unit;
  return v;
}

std::string percent(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g %%", 100 * fraction);
  return text;
}

// ------------------------------------------------------------------ one-port

void describeResonances(const std::vector<Resonance>& found, AnalysisText& out) {
  Json list = Json::array();
  out.table += found.empty() ? "Resonances: none in the sweep\n" : "Resonances:\n";
  for (const Resonance& r : found) {
    const bool series = r.kind == Resonance::Kind::Series;
    char line[160];
    std::snprintf(line, sizeof line, "  %-9s %sHz   Q %s%s   |Z| %sohm\n", series ? "series" : "parallel",
                  siText(r.frequencyHz, 9).c_str(), siText(r.q, 4).c_str(),
                  r.q3dB ? (" (3 dB width: " + siText(*r.q3dB, 4) + ")").c_str() : "",
                  siText(r.impedanceOhms, 4).c_str());
    out.table += line;
    Json item{{"kind", series ? "series" : "parallel"}, {"f_hz", r.frequencyHz}, {"q", r.q}};
    item["q_3db"] = r.q3dB ? Json(*r.q3dB) : Json(nullptr);
    item["z_ohm"] = r.impedanceOhms;
    list.push_back(item);
  }
  out.object["resonances"] = list;
}

void describeFit(const CircuitFit& fit, AnalysisText& out) {
  for (const FittedValue& v : fit.values) {
    out.table += valueLine(v.name, v.value, v.u, v.unit);
    out.object[std::string(v.name)] = valueObject(v.value, v.u, v.unit);
  }
  out.table += "  rms residual " + percent(fit.rmsResidual) + " of |Z|\n";
  out.object["rms_residual"] = fit.rmsResidual;
}

AnalysisText analyzeImpedance(const MeasureOptions& o, std::span<const double> f, std::span<const Complex> z) {
  AnalysisText out;
  out.object["model"] = nullptr;  // first, as scripts look for it
  std::optional<CircuitFit> fit;
  std::string reason;
  if (o.analyzeAs == "auto") {
    ModelChoice choice = chooseModel(f, z);
    reason = choice.reason;
    if (choice.runnerUp)
      out.object["runner_up"] = {{"model", circuitModelName(choice.runnerUp->model)},
                                 {"rms_residual", choice.runnerUp->rmsResidual}};
    fit = std::move(choice.best);
  } else {
    fit = fitCircuit(*parseCircuitModel(o.analyzeAs), f, z);
  }
  const std::string_view name = circuitModelName(fit->model);
  out.object["model"] = name;
  if (!fit->converged) {
    out.answered = false;
    out.table += "Model: " + std::string(name) + ": no fit: " + fit->failure + "\n";
    out.object["failure"] = fit->failure;
  } else {
    out.table += "Model: " + std::string(name) + (reason.empty() ? "" : " (" + reason + ")") + "\n";
    if (!reason.empty()) out.object["reason"] = reason;
    describeFit(*fit, out);
  }
  describeResonances(findResonances(f, z), out);
  return out;
}

// ------------------------------------------------------------------ two-port

std::string_view kindName(FilterKind kind) {
  switch (kind) {
    case FilterKind::Lowpass: return "low-pass";
    case FilterKind::Highpass: return "high-pass";
    case FilterKind::Bandpass: return "band-pass";
    case FilterKind::Bandstop: return "band-stop";
    case FilterKind::Line: break;
  }
  return "line";
}

AnalysisText analyzeTransmission(std::span<const double> f, std::span<const Complex> t) {
  AnalysisText out;
  const std::optional<FilterFigures> figures = filterFigures(f, t);
  out.object["model"] = "filter";
  if (!figures) {
    out.answered = false;
    out.table += "Filter: the sweep holds no figures to read (too few points, or values not finite)\n";
    out.object["failure"] = "no figures";
    return out;
  }
  out.object["kind"] = kindName(figures->kind);
  out.table += "Filter: " + std::string(kindName(figures->kind)) + "\n";
  // The figures the sweep reaches, in the order a data sheet lists them.
  const auto add = [&](std::string_view name, const std::optional<double>& value, std::string_view unit) {
    if (!value) return;
    out.table += valueLine(name, *value, std::nullopt, unit);
    out.object[std::string(name)] = valueObject(*value, std::nullopt, unit);
  };
  const FilterFigures& g = *figures;
  add("insertion_loss_db", g.insertionLossDb, "dB");
  add("f_center_hz", g.centreHz, "Hz");
  add("bw_3db_hz", g.bandwidthHz, "Hz");
  add("f_low_3db_hz", g.edges3Db.lower, "Hz");
  add("f_high_3db_hz", g.edges3Db.upper, "Hz");
  add("q_loaded", g.loadedQ, "");
  add("ripple_db", g.rippleDb, "dB");
  add("f_low_6db_hz", g.edges6Db.lower, "Hz");
  add("f_high_6db_hz", g.edges6Db.upper, "Hz");
  add("f_low_20db_hz", g.edges20Db.lower, "Hz");
  add("f_high_20db_hz", g.edges20Db.upper, "Hz");
  add("f_low_60db_hz", g.edges60Db.lower, "Hz");
  add("f_high_60db_hz", g.edges60Db.upper, "Hz");
  add("shape_factor_60_6", g.shapeFactor60To6, "");
  add("shape_factor_20_3", g.shapeFactor20To3, "");
  add("delay_center_s", g.delayAtCentreSeconds, "s");
  add("line_delay_s", g.lineDelaySeconds, "s");
  add("phase_deviation_deg", g.phaseDeviationDegrees, "deg");
  return out;
}

}  // namespace

int runAnalyze(const MeasureOptions& o, MeasureSetting& s) {
  const auto failure = [&](MeasureExit status, const std::string& message) { return reportFailure(o, s, status, message); };
  const ReadResult read = readWholeFile(s.directory / *o.input);
  const std::string inName = o.input->string();
  if (!read.bytes) return failure(MeasureExit::BadInput, read.reason);
  const bool twoPortFile = inName.size() >= 3 && (inName.ends_with("s2p") || inName.ends_with("S2P"));
  const SlotRead slot = readSlot({reinterpret_cast<const std::uint8_t*>(read.bytes->data()), read.bytes->size()},
                                 twoPortFile, o.slot);
  if (!slot.slot) return failure(MeasureExit::BadInput, inName + ": " + slot.reason);
  const SlotReading& data = *slot.slot;
  const bool transmission = o.slot == ParameterSlot::s21 || o.slot == ParameterSlot::s12;
  const std::vector<Complex> z = transmission ? std::vector<Complex>{} : impedancesOf(data);
  if (!transmission) {
    if (const std::optional<std::string> problem = sweepProblem(data.frequency, z))
      return failure(MeasureExit::BadInput, inName + ": " + *problem);
  }

  const std::string_view parameter = kSlotNames[static_cast<std::size_t>(o.slot)];
  char heading[256];
  std::snprintf(heading, sizeof heading, "%s: %s%s, %zu points from %sHz to %sHz\n", inName.c_str(),
                std::string(parameter).c_str(), transmission ? "" : (" on " + siText(data.reference, 4) + "ohm").c_str(),
                data.frequency.size(), siText(data.frequency.front(), 6).c_str(),
                siText(data.frequency.back(), 6).c_str());
  AnalysisText result = transmission ? analyzeTransmission(data.frequency, data.s) : analyzeImpedance(o, data.frequency, z);
  Json object{{"file", inName}, {"parameter", parameter}, {"points", data.frequency.size()}};
  if (!transmission) object["reference_ohm"] = data.reference;
  object.update(result.object);
  const std::string text = o.json ? object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                                  : std::string(heading) + result.table;
  std::fputs(text.c_str(), s.out);
  std::fflush(s.out);
  if (!result.answered)
    return failure(MeasureExit::NoAnswer, inName + ": " + (transmission ? "no filter figures" : "no circuit fits") +
                                             " (the table above says why)");
  return 0;
}

}  // namespace vna
