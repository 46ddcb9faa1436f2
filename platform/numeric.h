// Numbers shared by every measurement formula and every picture of a number.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vna {

// The instrument's formulas were calibrated with this truncated value of pi;
// using the full-precision constant would shift phases and tuning words.
inline constexpr double kPi = 3.1415926;

// Base-10 logarithms are natural logarithms divided by this constant.
inline constexpr double kLn10 = 2.302585092994046;

inline double log10Of(double x) { return std::log(x) / kLn10; }

// Nearest integer with halves to even, for any double. Converting a
// non-finite or out-of-range double to an integer is undefined in C++, so
// every such conversion in the programs goes through here: NaN gives 0 and
// values beyond the range saturate.
inline std::int64_t roundHalfEven(double x) {
  if (std::isnan(x)) return 0;
  const double r = std::nearbyint(x);  // default rounding mode: halves to even
  if (r >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (r <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(r);
}

// Nearest integer with halves away from zero (pixel coordinates), saturated
// to a range where later integer arithmetic cannot overflow.
inline std::int64_t roundPixel(double x) {
  constexpr double kLimit = 1.0e9;
  if (std::isnan(x)) return 0;
  if (x > kLimit) return static_cast<std::int64_t>(kLimit);
  if (x < -kLimit) return -static_cast<std::int64_t>(kLimit);
  // std::round without the library call (it is not inlined on the base
  // x86-64 target, and every trace segment rounds four coordinates): the
  // integer part and the fraction are both exact below the limit.
  const auto whole = static_cast<std::int64_t>(x);
  const double fraction = x - static_cast<double>(whole);
  return whole + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0);
}

// Truncation toward zero with the same guards (the FIX of the grid formulas).
inline std::int64_t truncateToward0(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (x <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(x);
}

}  // namespace vna
