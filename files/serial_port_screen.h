// The Serial Port Setting screen, reached with F2 during the analyzers'
// start-up splash: edits the n of /dev/ttyUSBn and saves it in "configu".
#pragma once

#include <cstdint>
#include <filesystem>

#include "display/click_latch.h"
#include "platform/screen.h"

namespace vna {

// Clears the screen, shows the device number held in `settingsFile`, and
// returns on Esc or Exit (nothing changes) or on F4 or Save and Exit (the
// number is written to the file and becomes `portNumberInUse`).
void serialPortScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                      std::int16_t& portNumberInUse);

}  // namespace vna
