// Screen texts of the impedance programs that depend on the display mode.
// Byte 0xEA is the ohm sign and 0xB3 the bar of the screen font.
#pragma once

#include <array>
#include <string_view>

namespace vna {

inline constexpr int kImpedanceModes = 11;  // displayMode 0..10

struct ImpedanceModeTexts {
  std::string_view title1, title2;
  std::string_view trace1Name, trace1Unit, trace2Name, trace2Unit;
  // "display:" texts for DisplayChoice 0 (both), 1 (trace 1), 2 (both + memory), 3 (trace 1 + memory).
  std::array<std::string_view, 4> displayChoice;
  std::string_view readoutUnit1;  // re-coloured at column 44 of the readout rows
  std::string_view readoutUnit2;  // re-coloured from column 61
};

const ImpedanceModeTexts& impedanceModeTexts(int displayMode);

// The readout row template of marker 1 (row 45); rows 46 and 47 replace
// "marker   1:" by "marker   2:" and "marker 2-1:".
std::string_view impedanceReadoutTemplate(int displayMode);

// "calibrate:" texts of the nine calibration states, 13 characters each.
std::string_view calibrationStateText(int calibrationState);

}  // namespace vna
