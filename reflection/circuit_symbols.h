// The small equivalent-circuit symbols the C and L display modes show beside
// their title.
#pragma once

#include "platform/screen.h"

namespace vna {

// Draws the symbol of `displayMode` (series capacitor or coil for modes 2 and
// 3, the parallel symbols for 5 to 8) in `colour`, its first stroke at
// (912, 39); other modes have none.
void drawCircuitSymbol(Screen& screen, int displayMode, int colour);

}  // namespace vna
