// From a report's data to the curves of its plots: |Z| and the phase of Z
// for a one-port, gain, phase and group delay for a two-port. Pure.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "report/axis_ticks.h"
#include "report/report_data.h"

namespace vna {

// One plot against frequency: its heading, the measured values and the
// model's (empty without a model), NaN where a point has no value.
struct PlotSeries {
  std::string heading;  // "|Z|  (Ω)"
  std::vector<double> measured, model;
  Axis yAxis;
  bool phase = false;  // wraps at ±180 degrees: the curve is broken there, not drawn across
};

// The plots of the report's kind, largest first.
std::vector<PlotSeries> plotSeriesOf(const ReportData& data);

// The frequency axis: exactly the sweep, logarithmic when the sweep is.
Axis frequencyAxisOf(const std::vector<double>& frequencyHz);

// Group delay in seconds at every point, from the phase step between the
// points `aperture` before and after it (fewer at the ends); NaN with fewer
// than two points. A report's aperture is half a percent of the sweep on
// each side, 1 % in all (at least one point each side): a log sweep's steps are tiny at its low end,
// where a neighbour's phase noise would swamp the delay.
int delayAperture(std::size_t points);
std::vector<double> groupDelaySeconds(const std::vector<double>& frequencyHz,
                                      const std::vector<std::complex<double>>& s21, int aperture);


// The point whose frequency is nearest to `frequencyHz`; -1 outside the sweep.
int nearestPoint(const std::vector<double>& frequencyHz, double frequencyHz0);

// Why the data cannot be drawn (sizes that do not match, no
// points, a frequency that is not a positive number); empty when it can.
std::string reportDataProblem(const ReportData& data);

}  // namespace vna
