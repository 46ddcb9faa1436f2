// A backend without a window: a virtual clock that sleeping advances at
// once, and a script of input events at virtual times. A whole program run
// with its splash and its time-outs takes milliseconds.
#pragma once

#include <functional>
#include <string>
#include <deque>

#include "platform/backend.h"

namespace vna {

// Virtual time for tests; real time for benchmarks against a real port.
enum class HeadlessClock { Virtual, Real };

class HeadlessBackend : public Backend {
 public:
  // After `giveUpAt` seconds the window is closed, so a test that forgets to
  // end its program cannot hang.
  explicit HeadlessBackend(double giveUpAt = 3600.0, HeadlessClock clock = HeadlessClock::Virtual);

  // Script, in virtual seconds. Events at equal times keep their order.
  void keyAt(double t, std::string key);
  void keysAt(double t, std::string_view text);  // one key per character
  void mouseAt(double t, int x, int y, int buttons = 0);
  void buttonsAt(double t, int buttons);
  void wheelAt(double t, int notches);
  void closeAt(double t);
  void actionAt(double t, std::function<void()> action);  // runs test code then
  // A left click: press at t, release 50 ms later, at the current pointer.
  void clickAt(double t, int x, int y, int button = 1);
  // A touchpad tap: press and release at the same time t, so that no pump
  // sees the button held.
  void quickClickAt(double t, int x, int y, int button = 1);

  void pump(Framebuffer& fb, int shownPage, InputState& input) override;
  void waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                 const WakeSource& wake) override;
  double now() const override;
  void movePointer(int x, int y, InputState& input) override;

  int presentCount() const { return presents_; }

 private:
  struct Event {
    double t;
    long seq;
    std::function<void(InputState&)> apply;
  };
  void add(double t, std::function<void(InputState&)> apply);
  double nextEventTime() const;
  void waitReal(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                const WakeSource& wake);

  std::deque<Event> events_;  // kept sorted by (t, seq)
  long seq_ = 0;
  double now_ = 0.0;
  double giveUpAt_;
  int presents_ = 0;
  int lastShown_ = -1;
  HeadlessClock clock_;
  double origin_ = 0.0;
};

}  // namespace vna
