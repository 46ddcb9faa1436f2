#include "analyzer/measure_file_options.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <optional>

#include "reflection/equivalent_circuits.h"

namespace vna {

std::string slotName(ParameterSlot slot) {
  constexpr std::array<std::string_view, 4> kNames{"s11", "s21", "s12", "s22"};
  return std::string(kNames[static_cast<std::size_t>(slot)]);
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i]) return false;
  return true;
}

std::string convertOutputOption(MeasureOptions& o, std::string_view value) {
  if (value.empty()) return "-o: the output file's name is empty";
  o.output = std::string(value);
  return {};
}

std::string fileSlotOption(MeasureOptions& o, std::string_view command, std::string_view value) {
  for (ParameterSlot chosen : {ParameterSlot::s11, ParameterSlot::s21, ParameterSlot::s12, ParameterSlot::s22}) {
    if (value == slotName(chosen)) {
      o.slot = chosen;
      return {};
    }
  }
  return "--slot " + std::string(value) + ": " + std::string(command) + " reads s11, s21, s12 or s22";
}

std::string analyzeAsOption(MeasureOptions& o, const std::string& named, std::string_view value) {
  if (value != "auto" && value != "filter" && !parseCircuitModel(value))
    return named +
           ": the choices are auto, resistor, capacitor, inductor, rlc-series, rlc-parallel, crystal "
           "and filter";
  o.analyzeAs = std::string(value);
  return {};
}

std::string analyzeReportOption(MeasureOptions& o, const std::string& named, std::string_view value) {
  if (!(endsWithNoCase(value, ".png") || endsWithNoCase(value, ".svg") || endsWithNoCase(value, ".pdf")) ||
      value.size() <= 4)
    return named + ": the report is a page named OUT.png, OUT.svg or OUT.pdf";
  o.report = std::filesystem::path(value);
  return {};
}

// analyze FILE: a one-port file's s11, a two-port file's s21 (a filter)
// unless a circuit is asked for (then s11), or the slot given; circuits
// are fitted to s11 or s22, filters measured on s21 or s12.
std::string finishAnalyze(MeasureOptions& o, bool slotGiven) {
  if (!o.input) return "analyze needs the Touchstone file to read: analyze FILE";
  const std::string in = o.input->string();
  const bool twoPortFile = endsWithNoCase(in, "s2p");
  const bool circuit = o.analyzeAs != "auto" && o.analyzeAs != "filter";
  if (!slotGiven) o.slot = twoPortFile && !circuit ? ParameterSlot::s21 : ParameterSlot::s11;
  if (!twoPortFile && o.slot != ParameterSlot::s11) return in + " is a one-port file: it holds s11 only";
  const bool transmissionSlot = o.slot == ParameterSlot::s21 || o.slot == ParameterSlot::s12;
  if (circuit && transmissionSlot)
    return "--as " + o.analyzeAs + ": a circuit is fitted to a reflection, s11 or s22, not " + slotName(o.slot);
  if (o.analyzeAs == "filter" && !transmissionSlot)
    return "--as filter: a filter is measured on a transmission, s21 or s12, not " + slotName(o.slot);
  return {};
}

// convert IN -o OUT: the format by --format or OUT's extension, the kind
// of quantities by --quantities or --slot, the slot by the kind; a file
// named .s1p holds s11 only, and no file holds the input levels.
std::string finishConvert(MeasureOptions& o, bool slotGiven) {
  if (!o.input) return "convert needs the Touchstone file to read: convert IN -o OUT";
  if (!o.output) return "convert needs -o NAME.csv, -o NAME.jsonl, or -o - with --format";
  if (*o.output == "-" && !o.format) return "-o -: standard output needs --format csv or --format jsonl";
  const std::optional<OutputFormat> byName = formatOfName(*o.output);
  if (!o.format && !byName)
    return "-o " + *o.output + ": name a .csv or .jsonl file, or give --format csv or --format jsonl";
  if (!o.format) o.format = byName;
  if (*o.format == OutputFormat::Touchstone) return "convert writes csv or jsonl, not touchstone";
  const bool transmissionSlot = o.slot == ParameterSlot::s21 || o.slot == ParameterSlot::s12;
  if (!o.quantities)
    o.quantities = defaultQuantities(transmissionSlot ? QuantityKind::Transmission : QuantityKind::Reflection);
  const QuantityKind kind = o.quantities->kind;
  if (!slotGiven && kind == QuantityKind::Transmission) o.slot = ParameterSlot::s21;
  const bool transmission = kind == QuantityKind::Transmission;
  if (transmission != (o.slot == ParameterSlot::s21 || o.slot == ParameterSlot::s12))
    return "--slot " + slotName(o.slot) + ": " + std::string(kindName(kind)) + " quantities come from " +
           (transmission ? "s21 or s12" : "s11 or s22");
  const std::string in = o.input->string();
  if (!endsWithNoCase(in, "s2p") && o.slot != ParameterSlot::s11) return in + " is a one-port file: it holds s11 only";
  for (const Quantity* q : chosenQuantities(*o.quantities))
    if (q->name.starts_with("level_"))
      return "--quantities: " + std::string(q->name) +
             " cannot come from a file, which holds no input levels; transmission measures them";
  return {};
}

}  // namespace vna
