// Keyboard and mouse state as the window system leaves it between queries.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace vna {

// Key codes as readKey returns them.
namespace key {
inline constexpr int kBackspace = 8;
inline constexpr int kEnter = 13;
inline constexpr int kCtrlV = 22;
inline constexpr int kEsc = 27;
inline constexpr int kSpace = 32;
inline constexpr int kExtended = 255;  // first byte of an extended key
inline constexpr int kF2 = 60;         // scan codes, second byte
inline constexpr int kF4 = 62;
inline constexpr int kF5 = 63;
}  // namespace key

inline std::string extendedKey(int scanCode) {
  return std::string{static_cast<char>(key::kExtended), static_cast<char>(scanCode)};
}

struct MouseState {
  int x = -1, y = -1;
  int wheel = 0;    // notches away from the user minus notches towards
  int buttons = 0;  // 1 left, 2 right, 4 middle
  bool inside = false;
};

struct InputState {
  static constexpr std::size_t kKeyQueueSize = 64;

  std::deque<std::string> keys;
  MouseState mouse;
  // Buttons pressed since the program last read the mouse, released or not.
  // A quick click or a touchpad tap is over before the next read; that read
  // still reports the button held, and the one after it the release.
  int pressedSinceRead = 0;
  bool closeRequested = false;  // the window's close button

  void pushKey(std::string k) {
    if (keys.size() < kKeyQueueSize) keys.push_back(std::move(k));
  }
  // Backends set the held buttons only through here, so that no press is
  // missed, whichever way their window system reports it.
  void setButtons(int buttons) {
    pressedSinceRead |= buttons & ~mouse.buttons;
    mouse.buttons = buttons;
  }
};

}  // namespace vna
