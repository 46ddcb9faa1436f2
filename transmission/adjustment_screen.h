// The Adjustment screen, opened from the transmission analyzer's panel:
// shows the A/R gain, the A/R phase and the clock frequency kept in
// "configu", lets the user type new ones or restore the defaults, and saves
// them or not.
#pragma once

#include <cstdint>
#include <filesystem>

#include "display/click_latch.h"
#include "platform/screen.h"
#include "transmission/ar_adjustment.h"

namespace vna {

// Clears the drawing page, shows the values held in `settingsFile` (those of
// `inUse` when the file cannot be read), and runs its own loop until the
// user leaves:
//  - Esc (also during a typed number) or Exit: nothing is written and
//    `inUse` stays as it was;
//  - F4 or Save and Exit: the three values are written to the file (only
//    their bytes change) and then become `inUse`. When the file cannot be
//    written the screen says so and stays open with the edited values;
//    `inUse` keeps its old values.
// Always clears the drawing page before returning; the caller redraws.
void adjustmentScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                      ArAdjustment& inUse);

// The clock kept for a typed frequency: the nearest whole hertz, halves to
// even.
std::int32_t typedClockHz(double typed);

}  // namespace vna
