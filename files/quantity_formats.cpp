#include "files/quantity_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vna {

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// One JSON line. Bytes that are no UTF-8 (a file name from the command line
// may hold any) are replaced rather than thrown on.
std::string jsonLine(const nlohmann::ordered_json& object) {
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

// JSON has no NaN or infinity: null stands for them.
nlohmann::ordered_json jsonNumber(double x) {
  if (!std::isfinite(x)) return nullptr;
  return x;
}

}  // namespace

std::optional<OutputFormat> formatOfName(std::string_view fileName) {
  const std::string name = lower(fileName);
  if (endsWith(name, ".s1p") || endsWith(name, ".s2p")) return OutputFormat::Touchstone;
  if (endsWith(name, ".csv")) return OutputFormat::Csv;
  if (endsWith(name, ".jsonl")) return OutputFormat::JsonLines;
  return std::nullopt;
}

std::optional<OutputFormat> parseFormat(std::string_view word) {
  if (word == "touchstone") return OutputFormat::Touchstone;
  if (word == "csv") return OutputFormat::Csv;
  if (word == "jsonl") return OutputFormat::JsonLines;
  return std::nullopt;
}

std::string numberText(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, x);
  return std::string(text, result.ptr);
}

std::string csvHeader(const ColumnSet& columns) {
  std::string line = "f_hz";
  for (const Quantity* q : columns.quantities) {
    line += ',';
    line += q->name;
    if (columns.withUncertainty) line += "," + std::string(q->name) + "_u";
  }
  return line + '\n';
}

std::string csvLine(const ColumnSet& columns, double frequencyHz, std::span<const double> values,
                    std::span<const double> u) {
  std::string line = numberText(frequencyHz);
  for (std::size_t i = 0; i < columns.quantities.size(); ++i) {
    line += ',' + numberText(values[i]);
    if (columns.withUncertainty) line += ',' + numberText(u[i]);
  }
  return line + '\n';
}

std::string jsonFirstLine(const nlohmann::ordered_json& run, const ColumnSet& columns) {
  nlohmann::ordered_json first = run;
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  list.push_back({{"name", "f_hz"}, {"unit", "Hz"}});
  for (const Quantity* q : columns.quantities) {
    list.push_back({{"name", q->name}, {"unit", q->unit}});
    if (columns.withUncertainty) list.push_back({{"name", std::string(q->name) + "_u"}, {"unit", q->unit}});
  }
  first["quantities"] = std::move(list);
  return jsonLine(first);
}

std::string jsonPointLine(const ColumnSet& columns, double frequencyHz, std::span<const double> values,
                          std::span<const double> u) {
  nlohmann::ordered_json point;
  point["f_hz"] = jsonNumber(frequencyHz);
  for (std::size_t i = 0; i < columns.quantities.size(); ++i) {
    const std::string name(columns.quantities[i]->name);
    point[name] = jsonNumber(values[i]);
    if (columns.withUncertainty) point[name + "_u"] = jsonNumber(u[i]);
  }
  return jsonLine(point);
}

std::string jsonEndLine(int points) {
  return jsonLine({{"end", "done"}, {"points", points}});
}

std::string jsonErrorLine(std::string_view message, int status) {
  return jsonLine({{"end", "failed"}, {"status", status}, {"error", message}});
}

}  // namespace vna
