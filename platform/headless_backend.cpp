#include "platform/headless_backend.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include <poll.h>

namespace vna {
namespace {

double monotonicSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void pressAt(InputState& in, int x, int y, int button) {
  in.mouse.inside = true;
  in.mouse.x = x;
  in.mouse.y = y;
  in.setButtons(button);
}

}  // namespace

HeadlessBackend::HeadlessBackend(double giveUpAt, HeadlessClock clock) : giveUpAt_(giveUpAt), clock_(clock) {
  if (clock_ == HeadlessClock::Real) origin_ = monotonicSeconds();
}

double HeadlessBackend::now() const {
  return clock_ == HeadlessClock::Real ? monotonicSeconds() - origin_ : now_;
}

void HeadlessBackend::add(double t, std::function<void(InputState&)> apply) {
  Event event{t, seq_++, std::move(apply)};
  const auto at = std::upper_bound(events_.begin(), events_.end(), event, [](const Event& a, const Event& b) {
    return a.t < b.t || (a.t == b.t && a.seq < b.seq);
  });
  events_.insert(at, std::move(event));
}

void HeadlessBackend::keyAt(double t, std::string key) {
  add(t, [key = std::move(key)](InputState& in) { in.pushKey(key); });
}

void HeadlessBackend::keysAt(double t, std::string_view text) {
  for (const char ch : text) keyAt(t, std::string(1, ch));
}

void HeadlessBackend::mouseAt(double t, int x, int y, int buttons) {
  add(t, [x, y, buttons](InputState& in) {
    in.mouse.inside = x >= 0 && y >= 0 && x < kScreenWidth && y < kScreenHeight;
    in.mouse.x = x;
    in.mouse.y = y;
    in.setButtons(buttons);
  });
}

void HeadlessBackend::buttonsAt(double t, int buttons) {
  add(t, [buttons](InputState& in) { in.setButtons(buttons); });
}

void HeadlessBackend::wheelAt(double t, int notches) {
  add(t, [notches](InputState& in) { in.mouse.wheel += notches; });
}

void HeadlessBackend::closeAt(double t) {
  add(t, [](InputState& in) { in.closeRequested = true; });
}

void HeadlessBackend::actionAt(double t, std::function<void()> action) {
  add(t, [action = std::move(action)](InputState&) { action(); });
}

void HeadlessBackend::clickAt(double t, int x, int y, int button) {
  add(t, [x, y, button](InputState& in) { pressAt(in, x, y, button); });
  buttonsAt(t + 0.05, 0);
}

void HeadlessBackend::quickClickAt(double t, int x, int y, int button) {
  add(t, [x, y, button](InputState& in) { pressAt(in, x, y, button); });
  buttonsAt(t, 0);
}

void HeadlessBackend::movePointer(int x, int y, InputState& input) {
  input.mouse.inside = true;
  input.mouse.x = x;
  input.mouse.y = y;
}

double HeadlessBackend::nextEventTime() const {
  return events_.empty() ? std::numeric_limits<double>::infinity() : events_.front().t;
}

void HeadlessBackend::pump(Framebuffer& fb, int shownPage, InputState& input) {
  if (clock_ == HeadlessClock::Real) now_ = now();
  while (!events_.empty() && events_.front().t <= now_) {
    Event event = std::move(events_.front());
    events_.pop_front();
    event.apply(input);
  }
  if (now_ >= giveUpAt_) input.closeRequested = true;
  const bool changed = !fb.takeChanges(shownPage).empty();
  if (shownPage != lastShown_ || changed) ++presents_;
  lastShown_ = shownPage;
}

void HeadlessBackend::waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input,
                                bool wakeOnActivity, const WakeSource& wake) {
  if (clock_ == HeadlessClock::Real) {
    waitReal(deadline, fb, shownPage, input, wakeOnActivity, wake);
    return;
  }
  if (wakeOnActivity) deadline = std::min(deadline, std::max(now_, wake.readyAt));
  deadline = std::min(deadline, std::max(now_, giveUpAt_));
  pump(fb, shownPage, input);
  while (now_ < deadline) {
    const double next = nextEventTime();
    if (next >= deadline) {
      now_ = deadline;
      pump(fb, shownPage, input);
      return;
    }
    now_ = std::max(now_, next);
    pump(fb, shownPage, input);
    if (wakeOnActivity) return;
  }
}

// Real time: sleep in poll() on the channel's descriptor until the deadline,
// the next scripted event or, when asked, the channel having bytes.
void HeadlessBackend::waitReal(double deadline, Framebuffer& fb, int shownPage, InputState& input,
                               bool wakeOnActivity, const WakeSource& wake) {
  if (wakeOnActivity) deadline = std::min(deadline, std::max(now(), wake.readyAt));
  while (true) {
    pump(fb, shownPage, input);
    const double t = now();
    if (t >= deadline) return;
    const double until = std::min(deadline, nextEventTime());
    pollfd p{wakeOnActivity ? wake.fd : -1, POLLIN, 0};
    const double wait = std::min(std::max(0.0, until - t), 3600.0);
    timespec timeout{static_cast<time_t>(wait), static_cast<long>((wait - std::floor(wait)) * 1e9)};
    if (::ppoll(&p, 1, &timeout, nullptr) > 0 && wakeOnActivity) {
      pump(fb, shownPage, input);
      return;
    }
  }
}

}  // namespace vna
