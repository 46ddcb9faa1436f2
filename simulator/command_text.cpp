#include "simulator/command_text.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "platform/si_number.h"

namespace vna {
namespace {

struct Prefix {
  std::string_view symbol;
  int exponent;
};

// What formatSiValue writes, largest first.
constexpr std::array<Prefix, 9> kSteps{
    {{"G", 9}, {"M", 6}, {"k", 3}, {"", 0}, {"m", -3}, {"u", -6}, {"n", -9}, {"p", -12}, {"f", -15}}};

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
  return parseSiNumber(text);
}

std::optional<long long> parseWholeNumber(std::string_view text) {
  return parseSiWhole(text);
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
