// Small pieces of the simulator's command language (options, control lines):
// words, numbers with SI prefixes ("100p", "1.5k", "10nF", "2MHz") and a
// parse result that carries either a value or the reason it failed.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vna {

template <class T>
struct ParseResult {
  std::optional<T> value;
  std::string error;  // set when value is empty

  static ParseResult failure(std::string why) { return {std::nullopt, std::move(why)}; }
};

// Words separated by blanks or tabs.
std::vector<std::string_view> splitWords(std::string_view text);

// A decimal number, an optional SI prefix (f p n u m k M G; "meg" too) and
// an optional unit that is ignored (ohm, F, H, Hz, s, dB). Case matters:
// "m" is milli, "M" mega. Non-finite values are refused. The same reading
// as vna-measure's (platform/si_number.h).
std::optional<double> parseSiValue(std::string_view text);

// A whole number, with a prefix when it stays whole ("2k").
std::optional<long long> parseWholeNumber(std::string_view text);

// Shortest readable form with an SI prefix: 1e-10 -> "100p", 1500 -> "1.5k".
std::string formatSiValue(double value);

// printf into a string, for messages and log lines.
template <class... Args>
std::string formatted(const char* format, Args... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace vna
