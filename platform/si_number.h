// Numbers as people type them on a command line or a control line: a
// decimal number, an optional SI prefix and an optional unit that is
// ignored ("100p", "4.7k", "2.5MHz", "10nF", "50ohm"). The prefixes are
// p n u m k M G (and f); the case matters, so "m" is always milli and "M"
// mega, whatever the number stands for. vna-measure and the simulator both
// read their numbers through here, so a value means the same in both.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vna {

// The value, or nothing when `text` is not such a number or not finite.
std::optional<double> parseSiNumber(std::string_view text);

// A whole number, with a prefix if its value stays whole ("2k" is 2000,
// "1.5" is refused); nothing otherwise.
std::optional<long long> parseSiWhole(std::string_view text);

// The power of a thousand that shows |value| from 1 to below 1000, with its
// prefix, from f (1e-15) to T (1e12): value / factor is what is shown before
// the prefix. 0 and values that are not finite take factor 1, no prefix.
struct SiScale {
  double factor = 1;
  std::string_view prefix;  // "f" "p" "n" "u" "m" "" "k" "M" "G" "T"
};
SiScale siScaleOf(double value);

// A value as people read it, with an SI prefix from f to T and `digits`
// significant digits: siText(1.0e-5, 4) is "10.00 u", siText(0) "0 ",
// siText(2.5e7, 3) "25.0 M" (the blank ends the number: a unit follows).
std::string siText(double value, int digits);

// The prefixes as a message names them.
inline constexpr std::string_view kSiPrefixes = "p, n, u, m (milli), k, M (mega) or G";

}  // namespace vna
