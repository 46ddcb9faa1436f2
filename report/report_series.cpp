#include "report/report_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

using Values = std::vector<double>;
using Complexes = std::vector<std::complex<double>>;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

template <typename Function>
Values valuesOf(const Complexes& points, Function quantity) {
  Values values;
  values.reserve(points.size());
  for (const auto& point : points) {
    const double value = quantity(point);
    values.push_back(std::isfinite(value) ? value : kNoValue);
  }
  return values;
}

// The finite values of both curves (positive ones on a logarithmic scale).
std::pair<double, double> extentOf(const Values& a, const Values& b, AxisScale scale) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const Values* values : {&a, &b})
    for (const double v : *values)
      if (std::isfinite(v) && (scale == AxisScale::Linear || v > 0)) {
        low = std::min(low, v);
        high = std::max(high, v);
      }
  return {low, high};
}

PlotSeries plotOf(std::string heading, Values measured, Values model, AxisScale scale) {
  const auto [low, high] = extentOf(measured, model, scale);
  return {std::move(heading), std::move(measured), std::move(model), makeAxis(low, high, scale, AxisFit::Rounded)};
}

PlotSeries phasePlotOf(std::string heading, const Complexes& measured, const Complexes& model) {
  PlotSeries plot{std::move(heading), valuesOf(measured, phaseDegrees), valuesOf(model, phaseDegrees), {}, true};
  const auto [low, high] = extentOf(plot.measured, plot.model, AxisScale::Linear);
  plot.yAxis = phaseAxis(low, high);
  return plot;
}

double magnitudeOf(std::complex<double> z) {
  return std::abs(z);
}

std::string delayHeading(int aperture, std::size_t points) {
  const double percent = 100.0 * 2 * aperture / static_cast<double>(std::max<std::size_t>(points - 1, 1));
  char heading[96];
  std::snprintf(heading, sizeof heading, "group delay  (s),  aperture %.3g %% of the sweep", percent);
  return heading;
}

}  // namespace

std::vector<PlotSeries> plotSeriesOf(const ReportData& data) {
  const Complexes& m = data.measured;
  const Complexes& model = data.model;
  if (data.kind == ReportKind::OnePort)
    return {plotOf("|Z|  (Ω)", valuesOf(m, magnitudeOf), valuesOf(model, magnitudeOf), AxisScale::Logarithmic),
            phasePlotOf("phase of Z  (°)", m, model)};
  const int aperture = delayAperture(data.frequencyHz.size());
  return {plotOf("gain  (dB)", valuesOf(m, gainDb), valuesOf(model, gainDb), AxisScale::Linear),
          phasePlotOf("phase of s21  (°)", m, model),
          plotOf(delayHeading(aperture, data.frequencyHz.size()), groupDelaySeconds(data.frequencyHz, m, aperture),
                 model.empty() ? Values{} : groupDelaySeconds(data.frequencyHz, model, aperture), AxisScale::Linear)};
}

Axis frequencyAxisOf(const std::vector<double>& frequencyHz) {
  if (frequencyHz.empty()) return makeAxis(0, 1, AxisScale::Linear, AxisFit::Exact);
  const auto [low, high] = std::minmax_element(frequencyHz.begin(), frequencyHz.end());
  return makeAxis(*low, *high, isLogarithmicSweep(frequencyHz) ? AxisScale::Logarithmic : AxisScale::Linear,
                  AxisFit::Exact);
}

int delayAperture(std::size_t points) {
  return static_cast<int>(std::max<std::size_t>(1, (points - 1) / 200));
}

Values groupDelaySeconds(const std::vector<double>& frequencyHz, const Complexes& s21, int aperture) {
  const std::size_t n = std::min(frequencyHz.size(), s21.size());
  if (n < 2) return Values(n, kNoValue);
  const std::size_t reach = static_cast<std::size_t>(std::clamp(aperture, 1, static_cast<int>(n - 1)));
  Values delay(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t before = i < reach ? 0 : i - reach, after = std::min(n - 1, i + reach);
    const double microseconds =
        groupDelayMicroseconds(s21[after], s21[before], frequencyHz[after], frequencyHz[before]);
    delay[i] = std::isfinite(microseconds) ? microseconds * 1e-6 : kNoValue;
  }
  return delay;
}

int nearestPoint(const std::vector<double>& frequencyHz, double frequencyHz0) {
  if (frequencyHz.empty() || !std::isfinite(frequencyHz0)) return -1;
  const auto [low, high] = std::minmax_element(frequencyHz.begin(), frequencyHz.end());
  if (frequencyHz0 < *low || frequencyHz0 > *high) return -1;
  std::size_t best = 0;
  for (std::size_t i = 1; i < frequencyHz.size(); ++i)
    if (std::fabs(frequencyHz[i] - frequencyHz0) < std::fabs(frequencyHz[best] - frequencyHz0)) best = i;
  return static_cast<int>(best);
}

std::string reportDataProblem(const ReportData& data) {
  const std::size_t n = data.frequencyHz.size();
  if (n == 0) return "there are no points to draw";
  if (data.measured.size() != n)
    return std::to_string(n) + " frequencies but " + std::to_string(data.measured.size()) + " measured values";
  if (!data.model.empty() && data.model.size() != n)
    return std::to_string(n) + " frequencies but " + std::to_string(data.model.size()) + " model values";
  for (const double f : data.frequencyHz)
    if (!(f > 0) || !std::isfinite(f)) return "a frequency is not a positive number";
  if (data.kind == ReportKind::OnePort && !(data.referenceOhms > 0 && std::isfinite(data.referenceOhms)))
    return "the reference impedance is not a positive number";
  return {};
}

}  // namespace vna
