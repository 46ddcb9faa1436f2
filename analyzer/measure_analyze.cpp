#include "analyzer/measure_analyze.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "analyzer/measure_convert.h"
#include "analyzer/measure_notes.h"
#include "files/atomic_file.h"
#include "platform/program_version.h"
#include "platform/si_number.h"
#include "reflection/equivalent_circuits.h"
#include "reflection/resonances.h"
#include "report/report_writer.h"
#include "transmission/filter_figures.h"

namespace vna {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 4> kSlotNames{"s11", "s21", "s12", "s22"};

// A value and its uncertainty in the value's SI prefix, the value to the
// second digit of the uncertainty (six digits without one), and the unit
// with the prefix: {"10.00037", "0.00036", "mH"}.
struct ValueTexts {
  std::string value, u, unit;
};
ValueTexts valueTexts(double value, std::optional<double> u, std::string_view unit) {
  // Decibels, degrees and plain numbers (a Q, a shape factor) take no prefix.
  const bool prefixed = unit != "dB" && unit != "deg" && !unit.empty();
  const SiScale scale = prefixed ? siScaleOf(value) : SiScale{};
  const double scaled = value / scale.factor;
  int decimals = 0;
  if (u && *u > 0 && std::isfinite(*u)) {
    decimals = static_cast<int>(1 - std::floor(std::log10(*u / scale.factor)));
  } else if (std::isfinite(scaled) && scaled != 0) {
    decimals = 5 - static_cast<int>(std::floor(std::log10(std::fabs(scaled))));
  }
  decimals = std::clamp(decimals, 0, 12);
  const auto text = [&](double x) {
    if (!std::isfinite(x)) return std::string(std::isnan(x) ? "nan" : x > 0 ? "inf" : "-inf");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x / scale.factor);
    return std::string(buffer);
  };
  return {text(value), u ? text(*u) : std::string(), std::string(scale.prefix) + std::string(unit)};
}

// "  l1_h          10.00037 +- 0.00036 mH"
std::string valueLine(std::string_view name, double value, std::optional<double> u, std::string_view unit) {
  const ValueTexts t = valueTexts(value, u, unit);
  char line[200];
  std::snprintf(line, sizeof line, "  %-20s %16s%s %s\n", std::string(name).c_str(), t.value.c_str(),
                t.u.empty() ? "" : (" +- " + t.u).c_str(), t.unit.c_str());
  return line;
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

// A row of the page's results table.
ReportRow pageRow(std::string_view name, double value, std::optional<double> u, std::string_view unit) {
  const ValueTexts t = valueTexts(value, u, unit);
  return {std::string(name), t.value, t.u, t.unit};
}

void describeResonances(const std::vector<Resonance>& found, AnalysisText& out) {
  Json list = Json::array();
  int seriesCount = 0, parallelCount = 0;
  out.table += found.empty() ? "Resonances: none in the sweep\n" : "Resonances:\n";
  for (const Resonance& r : found) {
    const bool series = r.kind == Resonance::Kind::Series;
    char line[160];
    std::snprintf(line, sizeof line, "  %-9s %sHz   Q %s%s   |Z| %sohm\n", series ? "series" : "parallel",
                  siText(r.frequencyHz, 9).c_str(), siText(r.q, 4).c_str(),
                  r.q3dB ? (" (3 dB width: " + siText(*r.q3dB, 4) + ")").c_str() : "",
                  siText(r.impedanceOhms, 4).c_str());
    out.table += line;
    const int n = series ? ++seriesCount : ++parallelCount;  // fs, fs2, ... fp, fp2, ...
    out.page.markers.push_back({r.frequencyHz, std::string(series ? "fs" : "fp") + (n > 1 ? std::to_string(n) : "")});
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
    out.page.table.push_back(pageRow(v.name, v.value, v.u, v.unit));
    out.object[std::string(v.name)] = valueObject(v.value, v.u, v.unit);
  }
  out.table += "  rms residual of s11 on 50 ohm: " + percent(fit.rmsResidual) + "\n";
  out.object["rms_residual"] = fit.rmsResidual;
  out.page.model = fit.curve;
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
    out.page.lines.push_back("model " + std::string(name) + ": no fit: " + fit->failure);
    out.object["failure"] = fit->failure;
  } else {
    out.table += "Model: " + std::string(name) + (reason.empty() ? "" : " (" + reason + ")") + "\n";
    out.page.lines.push_back(reason.empty() ? "model " + std::string(name) + ", as asked" : "model " + reason);
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
  out.page.lines.push_back(std::string(kindName(figures->kind)));
  for (const auto& [edge, label] : {std::pair{figures->edges3Db.lower, "-3 dB"}, {figures->edges3Db.upper, "-3 dB"},
                                    {figures->centreHz, "fc"}})
    if (edge) out.page.markers.push_back({*edge, label});
  // The figures the sweep reaches, in the order a data sheet lists them.
  const auto add = [&](std::string_view name, const std::optional<double>& value, std::string_view unit) {
    if (!value) return;
    out.table += valueLine(name, *value, std::nullopt, unit);
    out.page.table.push_back(pageRow(name, *value, std::nullopt, unit));
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
  // "s11 on 50.00 ohm, 801 points from 9.99000 MHz to 10.0400 MHz"
  const std::string about = std::string(parameter) + (transmission ? "" : " on " + siText(data.reference, 4) + "ohm") +
                            ", " + std::to_string(data.frequency.size()) + " points from " +
                            siText(data.frequency.front(), 6) + "Hz to " + siText(data.frequency.back(), 6) + "Hz";
  AnalysisText result = transmission ? analyzeTransmission(data.frequency, data.s) : analyzeImpedance(o, data.frequency, z);
  Json object{{"file", inName}, {"parameter", parameter}, {"points", data.frequency.size()}};
  if (!transmission) object["reference_ohm"] = data.reference;
  object.update(result.object);
  const std::string text = o.json ? object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                                  : inName + ": " + about + "\n" + result.table;
  std::fputs(text.c_str(), s.out);
  std::fflush(s.out);
  if (o.report) {
    ReportData& page = result.page;
    page.title = o.input->filename().string();
    page.lines.insert(page.lines.begin(), about + "; analyzed " + isoLocalTime(std::time(nullptr)) + " by vna-measure " +
                                              std::string(softwareVersion()));
    page.kind = transmission ? ReportKind::TwoPort : ReportKind::OnePort;
    page.referenceOhms = data.reference;
    page.frequencyHz = data.frequency;
    page.measured = transmission ? data.s : z;
    if (const SaveResult saved = writeReport(s.directory / *o.report, page); !saved)
      return failure(MeasureExit::CannotWrite, o.report->string() + ": " + saved.reason());
  }
  if (!result.answered)
    return failure(MeasureExit::NoAnswer, inName + ": " + (transmission ? "no filter figures" : "no circuit fits") +
                                             " (the table above says why)");
  return 0;
}

}  // namespace vna
