// The Reference Load screen, opened from the impedance analyzer's panel:
// shows the R, L and C of the calibration load kept in "configu", lets the
// user type new ones or restore the defaults, and saves them or not.
#pragma once

#include <filesystem>

#include "display/click_latch.h"
#include "platform/screen.h"
#include "reflection/reference_load.h"

namespace vna {

// Clears the drawing page, shows the values held in `settingsFile` (those of
// `inUse` when the file cannot be read), and runs its own loop until the
// user leaves:
//  - Esc (also during a typed number) or Exit: nothing is written and
//    `inUse` stays as it was;
//  - F4 or Save and Exit: R, L and C are written to the file (only their
//    bytes change) and then become `inUse`. When the file cannot be written
//    the screen says so and stays open with the edited values; `inUse` keeps
//    its old values.
// Always clears the drawing page before returning; the caller redraws.
void referenceLoadScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                         ReferenceLoad& inUse);

}  // namespace vna
