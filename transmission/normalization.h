// The transmission analyzer's normalization against a through connection,
// as a calibration procedure of one standard, and the way its scan loop
// differs from the impedance analyzer's.
#pragma once

#include "analyzer/scan_session.h"
#include "measurement/calibration_procedure.h"

namespace vna {

// NormalizeState values.
enum class NormalizeState : int { Off = 0, Asked = 1, Running = 2, On = 3, Warning = 4 };

const CalibrationProcedure& normalizationProcedure();

// While a point comes in, the Stop button is watched before each of two
// 14 ms sleeps; the time-out texts are one character shorter.
const ScanStyle& transmissionScanStyle();

}  // namespace vna
