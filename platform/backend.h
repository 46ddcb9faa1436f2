// The window system side of the screen services: it shows a page, gathers
// input events and keeps time. Two implementations: an X11 window and a
// headless one with a virtual clock for tests.
#pragma once

#include "platform/framebuffer.h"
#include "platform/input.h"
#include "platform/serial_channel.h"

namespace vna {

class Backend {
 public:
  virtual ~Backend() = default;

  // Puts `shownPage` on the display if it (or the palette) changed since the
  // last call, and gathers pending events into `input` without waiting.
  virtual void pump(Framebuffer& fb, int shownPage, InputState& input) = 0;

  // Waits until `deadline` (a time of now()), gathering events as they come.
  // With `wakeOnActivity`, it returns as soon as an input event arrived or
  // `wake` says bytes are due; otherwise it waits the whole time.
  virtual void waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input,
                         bool wakeOnActivity, const WakeSource& wake) = 0;

  // Seconds from a fixed origin.
  virtual double now() const = 0;

  // Puts the mouse pointer at (x, y) of the window.
  virtual void movePointer(int x, int y, InputState& input) = 0;
};

}  // namespace vna
