// The impedance analyzer's own per-point arrays: the calibration standards
// and the corrected impedances of the scan and of the memory.
#pragma once

#include "measurement/scan_record.h"

namespace vna {

struct ReflectionRecord {
  PointArray<Complex> impedance{};
  PointArray<Complex> memoryImpedance{};
  // The raw ratios measured on each standard, by point index; never cleared,
  // a new calibration overwrites them.
  PointArray<Complex> openStd{}, shortStd{}, loadStd{};
};

}  // namespace vna
