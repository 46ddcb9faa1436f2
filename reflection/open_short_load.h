// The impedance analyzer's calibration against an open circuit, a short
// circuit and a reference load: its states and texts as a procedure table.
#pragma once

#include "measurement/calibration_procedure.h"

namespace vna {

// CalibrationState values.
enum class CalibrationState : int {
  Off = 0,
  Asked = 1,
  MeasuringOpen = 2,
  AwaitingShort = 3,
  MeasuringShort = 4,
  AwaitingReference = 5,
  MeasuringReference = 6,
  On = 7,
  Warning = 8,
};
inline constexpr int operator+(CalibrationState s) { return static_cast<int>(s); }

// The standards in the order they are measured.
enum class Standard : int { Open = 0, Short = 1, Load = 2 };

const CalibrationProcedure& openShortLoadProcedure();

}  // namespace vna
