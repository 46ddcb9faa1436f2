#include "files/touchstone_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>

namespace vna::touchstone_text {
namespace {

// The common short number at a fraction of the cost of a general parser:
// up to 15 digits are exact in a double, and so are the powers of ten up to
// 1e22, so one multiplication or division rounds the value correctly
// (Clinger's fast path). Anything else is left to the general parser.
std::optional<double> shortDecimal(std::string_view text) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::uint64_t mantissa = 0;
  int digits = 0, scale = 0;
  std::size_t i = 0;
  for (; i < text.size() && isDigit(text[i]); ++i, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && isDigit(text[i]); ++i, ++digits, --scale)
      mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
  }
  if (digits == 0 || digits > 15) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int exponent = 0, exponentDigits = 0;
    for (; i < text.size() && isDigit(text[i]) && exponentDigits < 4; ++i, ++exponentDigits)
      exponent = exponent * 10 + (text[i] - '0');
    if (exponentDigits == 0) return std::nullopt;
    scale += negative ? -exponent : exponent;
  }
  if (i != text.size() || scale < -22 || scale > 22) return std::nullopt;
  const double m = static_cast<double>(mantissa);
  return scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
}

}  // namespace

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(x) == lower(y);
         });
}

// The next blank-separated word of `text`, taken off its front.
std::string_view nextWord(std::string_view& text) {
  std::size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  text.remove_prefix(start);
  std::size_t end = 0;
  while (end < text.size() && !isBlank(text[end])) ++end;
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

// A word of the file as a reason may show it: printable, short.
std::string quoted(std::string_view word) {
  std::string text = "\"";
  for (const char c : word.substr(0, 16)) text += (c >= 32 && c < 127) ? c : '?';
  return text + (word.size() > 16 ? "...\"" : "\"");
}

// A whole decimal number: optional sign, digits with an optional point, an
// optional exponent (".5", "+1.", "1E+09"); no "inf" or "nan". Independent
// of the locale. A value beyond the double range is not a number here;
// one too small for it is 0.
std::optional<double> numberOf(std::string_view word) {
  std::string_view digits = word;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  if (digits.empty() || !(isDigit(digits.front()) || digits.front() == '.')) return std::nullopt;
  if (const std::optional<double> quick = shortDecimal(digits)) return negative ? -*quick : *quick;
  double value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (stop != end) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // strtod tells an underflow (a tiny value, 0) from an overflow; the
    // programs never change the C locale, so its decimal point is ".".
    value = std::strtod(std::string(digits).c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
  } else if (error != std::errc{}) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

// A number the viewer does not need is only checked for its characters:
// converting it would cost more than the rest of the line.
bool looksLikeNumber(std::string_view word) {
  const std::string_view digits = (word.front() == '-' || word.front() == '+') ? word.substr(1) : word;
  if (digits.empty() || !(isDigit(digits.front()) || digits.front() == '.')) return false;
  return std::all_of(digits.begin(), digits.end(), [](char c) {
    return isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
  });
}

std::string_view takeLine(std::string_view& text) {
  const std::size_t lineFeed = text.find('\n');
  const std::size_t length = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
  const std::string_view line = text.substr(0, length);
  text.remove_prefix(length);
  return line;
}

}  // namespace vna::touchstone_text
