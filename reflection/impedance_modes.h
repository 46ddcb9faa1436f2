// The eleven display modes of the impedance programs: their texts, units,
// unit letters, readout and start-up scales. Byte 0xEA is the ohm sign and
// 0xB3 the bar of the screen font.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "display/measurement_profile.h"
#include "reflection/circuit_symbols.h"

namespace vna {

inline constexpr int kImpedanceModes = 11;  // displayMode 0..10

std::span<const ModeSpec> impedanceModes();

// The equivalent circuit drawn beside the title of the C and L modes.
CircuitSymbol impedanceCircuitSymbol(int displayMode);

// "display:" steps through both traces and trace 1 only, with the memory
// variants only while a memory is stored.
int stepImpedanceDisplayChoice(int choice, bool forward, int displayMode, bool memoryValid);

// The scale pictures, limits and digit steps of the impedance programs.
ScaleFormat impedanceScaleFormat();

}  // namespace vna
