// The small equivalent-circuit symbols the C and L display modes show beside
// their title.
#pragma once

#include "platform/screen.h"

namespace vna {

enum class CircuitSymbol { None, SeriesCapacitor, SeriesCoil, ParallelCapacitor, ParallelCoil };

// Draws the symbol in `colour`, its first stroke at (912, 39).
void drawCircuitSymbol(Screen& screen, CircuitSymbol symbol, int colour);

}  // namespace vna
