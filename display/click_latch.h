// Mouse clicks act on the press, once: a latch per button is set when a click
// has been handled and released only when no button is held.
#pragma once

namespace vna {

enum class Click { None, Left, Right };

struct ClickLatch {
  bool left = false;
  bool right = false;

  // Releases the latches when no button is held (call once per pass with the
  // button mask read from the mouse).
  void release(int buttons) {
    if (buttons <= 0) left = right = false;
  }
  // A new press of the left (or right) button, as take() would report it.
  Click peek(int buttons) const {
    if (buttons > 0 && (buttons & 1) && !left) return Click::Left;
    if (buttons > 0 && (buttons & 2) && !right) return Click::Right;
    return Click::None;
  }
  // A new press of the left (or right) button, latching it; None otherwise.
  Click take(int buttons) {
    const Click click = peek(buttons);
    if (click == Click::Left) left = true;
    if (click == Click::Right) right = true;
    return click;
  }
};

}  // namespace vna
