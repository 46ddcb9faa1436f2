#include "report/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <utility>

#include "platform/numeric.h"
#include "platform/si_number.h"

namespace vna {
namespace {

constexpr int kWantedTicks = 6;

double powerOf10(double exponent) {
  return std::pow(10.0, exponent);
}

// The smallest of 1, 2 and 5 times a power of ten that is at least `raw`.
double roundStep(double raw) {
  const double decade = powerOf10(std::floor(log10Of(raw)));
  for (const double multiple : {1.0, 2.0, 5.0, 10.0})
    if (multiple * decade >= raw * (1 - 1e-9)) return multiple * decade;
  return 10 * decade;
}

// The round step just below `step` (itself 1, 2 or 5 times a power of ten).
double finerRoundStep(double step) {
  const double decade = powerOf10(std::floor(log10Of(step) + 1e-9));
  const double mantissa = step / decade;
  return mantissa < 1.5 ? decade / 2 : mantissa < 3 ? decade : 2 * decade;
}

// Labelled ticks every `step` from the first multiple at or above `low`;
// values are whole multiples of the step, so 0.1 + 0.2 never shows up.
std::vector<Tick> linearTicks(double low, double high, double step) {
  std::vector<Tick> ticks;
  const double first = std::ceil(low / step - 1e-9);
  for (double k = first; k * step <= high + step * 1e-9; ++k) ticks.push_back({k * step, siLabel(k * step, step)});
  return ticks;
}

Axis linearAxis(double low, double high, AxisFit fit) {
  if (!(high > low)) {
    const double half = low == 0 ? 1 : std::fabs(low) * 0.1;
    low -= half;
    high += half;
  }
  double step = roundStep((high - low) / (kWantedTicks - 1));
  if (fit == AxisFit::Rounded) {
    // The next finer round step when it wastes less of the frame and still
    // gives at most nine ticks: -60.3 to 0.05 dB becomes -70 to 10 by 10,
    // not -80 to 20 by 20.
    const auto rounded = [&](double by) {
      return std::pair{std::floor(low / by + 1e-9) * by, std::ceil(high / by - 1e-9) * by};
    };
    const double finer = finerRoundStep(step);
    const auto [finerLow, finerHigh] = rounded(finer);
    const auto [coarseLow, coarseHigh] = rounded(step);
    if ((finerHigh - finerLow) / finer <= 8.5 && finerHigh - finerLow < coarseHigh - coarseLow) step = finer;
    std::tie(low, high) = rounded(step);
  }
  return {low, high, AxisScale::Linear, linearTicks(low, high, step)};
}

// Decades labelled (every second or third when there are many), the 2 to 9
// between them as grid lines.
std::vector<Tick> decadeTicks(double low, double high) {
  std::vector<Tick> ticks;
  const int first = static_cast<int>(truncateToward0(std::floor(log10Of(low) + 1e-9)));
  const int last = static_cast<int>(truncateToward0(std::ceil(log10Of(high) - 1e-9)));
  const int labelEvery = std::max(1, (last - first + kWantedTicks) / (kWantedTicks + 2));
  for (int e = first; e <= last; ++e) {
    const double decade = powerOf10(e);
    for (int m = 1; m <= 9; ++m) {
      const double value = m * decade;
      if (value < low * (1 - 1e-9) || value > high * (1 + 1e-9)) continue;
      const bool labelled = m == 1 && (e - first) % labelEvery == 0;
      ticks.push_back({value, labelled ? siLabel(value, value) : std::string()});
    }
  }
  return ticks;
}

// Less than a decade or so: 1, 2 and 5 times powers of ten when enough of
// them fall inside, else round linear steps.
std::vector<Tick> narrowLogTicks(double low, double high) {
  std::vector<Tick> ticks;
  const int first = static_cast<int>(truncateToward0(std::floor(log10Of(low))));
  for (int e = first; powerOf10(e) <= high; ++e)
    for (const double m : {1.0, 2.0, 5.0}) {
      const double value = m * powerOf10(e);
      if (value >= low * (1 - 1e-9) && value <= high * (1 + 1e-9)) ticks.push_back({value, siLabel(value, value)});
    }
  if (ticks.size() >= 3) return ticks;
  return linearTicks(low, high, roundStep((high - low) / (kWantedTicks - 1)));
}

Axis logarithmicAxis(double low, double high, AxisFit fit) {
  if (!(low > 0) || !(high > 0)) return linearAxis(low, high, fit);
  if (!(high > low)) {
    low /= 2;
    high *= 2;
  }
  if (fit == AxisFit::Rounded) {
    low = powerOf10(std::floor(log10Of(low) + 1e-9));
    high = powerOf10(std::ceil(log10Of(high) - 1e-9));
  }
  const bool decadesInside = std::floor(log10Of(high) + 1e-9) - std::ceil(log10Of(low) - 1e-9) >= 1;
  return {low, high, AxisScale::Logarithmic, decadesInside ? decadeTicks(low, high) : narrowLogTicks(low, high)};
}

}  // namespace

Axis makeAxis(double minValue, double maxValue, AxisScale scale, AxisFit fit) {
  if (!std::isfinite(minValue) || !std::isfinite(maxValue)) minValue = maxValue = scale == AxisScale::Linear ? 0 : 1;
  return scale == AxisScale::Logarithmic ? logarithmicAxis(minValue, maxValue, fit)
                                         : linearAxis(minValue, maxValue, fit);
}

Axis phaseAxis(double minDegrees, double maxDegrees) {
  // A few degrees beyond a quarter turn is noise on a reactance, not a
  // reason for a scale twice as coarse; the frame leaves room for it.
  constexpr double kNoise = 6;
  if (minDegrees >= -90 - kNoise && maxDegrees <= 90 + kNoise)
    return {-90 - kNoise, 90 + kNoise, AxisScale::Linear, linearTicks(-90, 90, 30)};
  return {-180, 180, AxisScale::Linear, linearTicks(-180, 180, 90)};
}

double axisFraction(const Axis& axis, double value) {
  if (axis.scale == AxisScale::Logarithmic)
    return value > 0 ? std::log(value / axis.low) / std::log(axis.high / axis.low) : std::nan("");
  return (value - axis.low) / (axis.high - axis.low);
}

std::string siLabel(double value, double step) {
  if (!std::isfinite(value)) return "?";
  if (std::fabs(value) < std::fabs(step) * 1e-6 || value == 0) return "0";
  const SiScale scale = siScaleOf(value);
  const int decimals =
      std::clamp(static_cast<int>(truncateToward0(std::ceil(-log10Of(std::fabs(step) / scale.factor) - 1e-9))), 0, 9);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value / scale.factor);
  std::string label = text;
  if (label.find('.') != std::string::npos) {
    label.erase(label.find_last_not_of('0') + 1);
    if (label.back() == '.') label.pop_back();
  }
  // The page has the micro sign the terminal's text spells "u".
  const std::string prefix = scale.prefix == "u" ? "µ" : std::string(scale.prefix);
  return prefix.empty() ? label : label + " " + prefix;
}

bool isLogarithmicSweep(const std::vector<double>& frequencyHz) {
  if (frequencyHz.size() < 3 || frequencyHz.front() <= 0) return false;
  const double firstStep = frequencyHz[1] - frequencyHz[0], firstRatio = frequencyHz[1] / frequencyHz[0];
  double stepSpread = 0, ratioSpread = 0;
  for (std::size_t i = 2; i < frequencyHz.size(); ++i) {
    stepSpread = std::max(stepSpread, std::fabs((frequencyHz[i] - frequencyHz[i - 1]) / firstStep - 1));
    ratioSpread =
        std::max(ratioSpread, std::fabs(std::log(frequencyHz[i] / frequencyHz[i - 1]) / std::log(firstRatio) - 1));
  }
  return ratioSpread < stepSpread;
}

}  // namespace vna
