// The screen services on a real X11 window: the shown page is converted
// through the palette and put on the window when it changed, input events are
// gathered whenever the program reads input or sleeps, and sleeping waits on
// the X connection with poll() instead of spinning.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace vna {

// The key text readKey returns for an X key symbol; `lookedUp` is what
// XLookupString made of the press. Keys that give no text (Shift alone,
// unmapped keys) give an empty string.
std::string keyTextFor(unsigned long keysym, std::string_view lookedUp);

// The pixel value of a colour on a TrueColor visual with the given channel
// masks (any width and position, 5-6-5 up to 10-10-10).
std::uint32_t trueColorPixel(Rgb colour, unsigned long redMask, unsigned long greenMask, unsigned long blueMask);

class X11Backend : public Backend {
 public:
  // Opens a 1024 x 768 window of fixed size titled `windowTitle` on
  // `displayName` (empty: the display named by $DISPLAY). When that fails,
  // ok() is false and error() says why; the object must then not be used.
  explicit X11Backend(const std::string& windowTitle, const std::string& displayName = "");
  ~X11Backend() override;
  X11Backend(const X11Backend&) = delete;
  X11Backend& operator=(const X11Backend&) = delete;

  bool ok() const { return x_ != nullptr; }
  const std::string& error() const { return error_; }
  // The X window id (tests look the window up with it).
  unsigned long windowId() const;

  void pump(Framebuffer& fb, int shownPage, InputState& input) override;
  void waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                 const WakeSource& wake) override;
  double now() const override;
  void movePointer(int x, int y, InputState& input) override;

 private:
  struct Connection;  // keeps Xlib's headers (and their macros) out of here

  // Whether gathering reads the X connection or takes only what Xlib has
  // already read (a read that finds nothing still costs a system call).
  enum class SocketRead { Now, IfDue, No };
  int gatherEvents(InputState& input, SocketRead read);  // returns the number of events handled
  void present(Framebuffer& fb, int shownPage);
  // Sends the rectangle of rows top..bottom and columns left..right.
  void putRows(const Framebuffer& fb, int shownPage, int top, int bottom, int left = 0, int right = kScreenWidth - 1);

  std::unique_ptr<Connection> x_;
  std::string error_;
  double origin_ = 0.0;
  double lastSocketRead_ = -1.0;
};

}  // namespace vna
