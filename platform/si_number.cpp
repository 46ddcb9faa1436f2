#include "platform/si_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>

namespace vna {
namespace {

struct Prefix {
  std::string_view symbol;
  int exponent;
};

// "meg" (as circuit simulators write mega) before "m", so that the longer
// symbol wins.
constexpr std::array<Prefix, 9> kPrefixes{
    {{"meg", 6}, {"f", -15}, {"p", -12}, {"n", -9}, {"u", -6}, {"m", -3}, {"k", 3}, {"M", 6}, {"G", 9}}};

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

std::optional<double> parseSiNumber(std::string_view text) {
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

std::optional<long long> parseSiWhole(std::string_view text) {
  // Digits alone are read exactly, also beyond the 53 bits of a double.
  long long whole = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
  if (error == std::errc{} && end == text.data() + text.size()) return whole;
  const std::optional<double> value = parseSiNumber(text);
  constexpr double kExactLimit = 9007199254740992.0;  // 2^53: every whole double below it is exact
  if (!value || std::fabs(*value) >= kExactLimit || *value != std::trunc(*value)) return std::nullopt;
  return static_cast<long long>(*value);
}

SiScale siScaleOf(double value) {
  static constexpr std::array<std::string_view, 10> kPrefixes{"f", "p", "n", "u", "m", "", "k", "M", "G", "T"};
  constexpr int kLowest = -5;
  if (!std::isfinite(value) || value == 0) return {};
  // A hair above the exact power, so that 1000 is "1 k" despite rounding.
  const int thousands = std::clamp(static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3 + 1e-9)), kLowest, 4);
  return {std::pow(1000.0, thousands), kPrefixes[static_cast<std::size_t>(thousands - kLowest)]};
}

std::string siText(double value, int digits) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan " : value > 0 ? "inf " : "-inf ";
  SiScale scale = siScaleOf(value);
  for (;;) {
    const double scaled = value / scale.factor;
    const int whole = std::fabs(scaled) < 1 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(scaled)))) + 1;
    const int decimals = std::max(0, digits - whole);
    // 999.96 shown with four digits is 1.000 k, not 1000.0.
    const double shown = std::round(scaled * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
    if (std::fabs(shown) >= 1000 && scale.prefix != "T") {
      scale = siScaleOf(shown * scale.factor);
      continue;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, scaled, std::string(scale.prefix).c_str());
    return text;
  }
}

}  // namespace vna
