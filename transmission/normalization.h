// The transmission analyzer's normalization against a through connection,
// as a calibration procedure of one standard.
#pragma once

#include "measurement/calibration_procedure.h"

namespace vna {

// NormalizeState values.
enum class NormalizeState : int { Off = 0, Asked = 1, Running = 2, On = 3, Warning = 4 };

const CalibrationProcedure& normalizationProcedure();

}  // namespace vna
