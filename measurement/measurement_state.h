// The state every measurement screen reads and writes: the plan, the scan
// record, the loop flags, the scales and the markers.
#pragma once

#include <string>

#include "measurement/marker_pair.h"
#include "measurement/scale_set.h"
#include "measurement/scan_control.h"
#include "measurement/scan_record.h"
#include "measurement/sweep_plan.h"

namespace vna {

struct MeasurementState {
  SweepPlan plan;
  ScanRecord record;
  ScanControl control;
  ScaleSet scales;
  MarkerPair markers;
  double cableLength = 0;  // "length(m):", metres
  // The base name the Save As dialog offers and keeps, and the title text
  // written into the transmission analyzer's files; both set at start-up.
  std::string fileName;
  std::string titleText;
};

}  // namespace vna
