#include "simulator/command_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vna {
namespace {

struct Prefix {
  std::string_view symbol;
  int exponent;
};

// "meg" before "m" so that the longer symbol wins.
constexpr std::array<Prefix, 9> kPrefixes{
    {{"meg", 6}, {"f", -15}, {"p", -12}, {"n", -9}, {"u", -6}, {"m", -3}, {"k", 3}, {"M", 6}, {"G", 9}}};

// What formatSiValue writes, largest first.
constexpr std::array<Prefix, 9> kSteps{
    {{"G", 9}, {"M", 6}, {"k", 3}, {"", 0}, {"m", -3}, {"u", -6}, {"n", -9}, {"p", -12}, {"f", -15}}};

constexpr std::array<std::string_view, 8> kUnits{"", "ohm", "Ohm", "F", "H", "Hz", "s", "dB"};

bool isUnit(std::string_view text) {
  for (std::string_view unit : kUnits)
    if (text == unit) return true;
  return false;
}

// Reads "4.7" with prefix exponent 3 as the literal "4.7e3", so that "100p"
// is exactly the double 100e-12 (100 * 1e-12 is not always).
std::optional<double> scaled(std::string_view number, int exponent) {
  std::string text(number);
  const bool hasExponent = text.find_first_of("eE") != std::string::npos;
  if (!hasExponent) text += "e" + std::to_string(exponent);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (hasExponent) value *= std::pow(10.0, exponent);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::optional<double> parseSiValue(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double number = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc{} || !std::isfinite(number)) return std::nullopt;
  const std::size_t length = static_cast<std::size_t>(end - text.data());
  const std::string_view rest = text.substr(length);
  if (isUnit(rest)) return number;
  for (const Prefix& prefix : kPrefixes) {
    if (rest.substr(0, prefix.symbol.size()) != prefix.symbol) continue;
    if (!isUnit(rest.substr(prefix.symbol.size()))) continue;
    return scaled(text.substr(0, length), prefix.exponent);
  }
  return std::nullopt;
}

std::optional<long long> parseWholeNumber(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string formatSiValue(double value) {
  if (!std::isfinite(value)) return "nan";
  const double magnitude = std::fabs(value);
  Prefix chosen = magnitude == 0.0 ? kSteps[3] : kSteps.back();
  for (const Prefix& step : kSteps) {
    if (magnitude == 0.0 || magnitude < std::pow(10.0, step.exponent) * 0.9999999995) continue;
    chosen = step;
    break;
  }
  // Nine digits: what was typed comes back, and it reads as typed.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9g", value / std::pow(10.0, chosen.exponent));
  return std::string(buffer) + std::string(chosen.symbol);
}

}  // namespace vna
