// The Help screen: a page of fixed lines and one "Exit Help (Esc)" button.
#pragma once

#include "display/click_latch.h"
#include "display/help_pages.h"
#include "platform/screen.h"

namespace vna {

// Clears the drawing page, writes the page's lines and the button, and
// returns on Esc or on a left or right click on the button. The caller
// redraws its own screen afterwards.
void helpScreen(Screen& screen, ClickLatch& latch, const HelpPage& page);

}  // namespace vna
