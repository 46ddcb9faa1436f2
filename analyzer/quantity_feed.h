// The derived quantities of a measuring command's points, fed to their
// output (CSV or JSON lines) as each point becomes final, and the
// description of the run a JSON feed begins with.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/measure_options.h"
#include "analyzer/point_inputs.h"
#include "analyzer/quantity_output.h"
#include "analyzer/sweep_average.h"

namespace vna {

// The inputs of point i of a measuring command's sweep, its mean ratio and
// levels given.
PointInputs pointInputs(const MeasureOptions& o, const std::optional<Calibration>& cal,
                        std::span<const double> frequency, std::size_t i, const UncertainComplex& ratio,
                        const UncertainComplex& levels);

// Every point of an averaged sweep.
std::vector<PointInputs> sweepInputs(const MeasureOptions& o, const std::optional<Calibration>& cal,
                                     std::span<const double> frequency, const SweepAverage& average);

// The derived quantities of one output's points, each written as soon as it
// is final: in the last sweep of an average a point is final once it is
// measured, and once the points its group delay takes are. A last sweep
// measured again after a time-out leaves the points already written as
// they were.
class QuantityFeed {
 public:
  QuantityFeed(const MeasureOptions& o, const std::optional<Calibration>& cal, std::span<const double> frequency,
               QuantityOutput& output)
      : o_(o),
        cal_(cal),
        frequency_(frequency),
        output_(output),
        points_(frequency.size()),
        lag_(quantityLag(*o.quantities)) {}

  // Point i of the last sweep, just measured; `before` holds the sweeps before it.
  void measured(const SweepAverage& before, int index, const ConvertedPoint& point) {
    const auto i = static_cast<std::size_t>(index);
    if (i < arrived_) return;
    const SweepAverage::Point mean = before.with(index, point);
    points_[i] = pointInputs(o_, cal_, frequency_, i, mean.ratio, mean.levels);
    arrived_ = i + 1;
    while (written_ + lag_ < arrived_) writeNext();
  }

  // Every sweep is in: the points not written yet, then the end.
  SaveResult finish(const SweepAverage& all) {
    const std::vector<UncertainComplex> ratios = all.ratios();
    for (std::size_t i = arrived_; i < points_.size(); ++i)
      points_[i] = pointInputs(o_, cal_, frequency_, i, ratios[i], all.levels(static_cast<int>(i)));
    arrived_ = points_.size();
    while (written_ < points_.size()) writeNext();
    return result_ ? output_.finish() : result_;
  }

 private:
  void writeNext() {
    if (result_) {
      const Propagated q = pointQuantities(*o_.quantities, points_, written_);
      result_ = output_.point(frequency_[written_], q.value, q.u);
    }
    ++written_;
  }

  const MeasureOptions& o_;
  const std::optional<Calibration>& cal_;
  std::span<const double> frequency_;
  QuantityOutput& output_;
  std::vector<PointInputs> points_;
  std::size_t lag_, arrived_ = 0, written_ = 0;
  SaveResult result_ = SaveResult::success();  // the first failure to write
};

// What the first JSON line says of a measuring run: the command, when and
// by what, the plan, the calibration and the averaging.
nlohmann::ordered_json runDescription(const MeasureOptions& o, const std::optional<Calibration>& cal,
                                      const std::string& when);

}  // namespace vna
