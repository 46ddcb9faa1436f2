// The X11 backend on a virtual X server: what it puts on the window (read
// back with xwd), what it makes of real keyboard and mouse events (sent with
// xdotool through XTEST), and how it waits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "platform/screen.h"
#include "platform/x11_backend.h"
#include "tests/e2e/e2e_harness.h"

// Xlib's macros (None, Bool, Status) clash with GoogleTest's names: last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vna::e2e {
namespace {

constexpr Rgb kTeal{0, 76, 76};
constexpr Rgb kRed{252, 84, 84};
constexpr Rgb kGreen{10, 200, 30};

// A 16-bit screen keeps 5 or 6 bits per channel.
bool near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 8 && std::abs(a.g - b.g) <= 8 && std::abs(a.b - b.b) <= 8;
}

std::string show(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

class X11BackendOnXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = missingTools({"Xvfb", "xdotool"});
    if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";
  }

  void start(int depth = 24) {
    display_.emplace(depth);
    ASSERT_TRUE(display_->ok()) << display_->error();
    backend_.emplace("vna backend test", display_->name());
    ASSERT_TRUE(backend_->ok()) << backend_->error();
    window_.emplace(display_->name(), backend_->windowId());
  }

  // Gathers events until `done` holds; false when it still does not after
  // ten seconds (a bound against hanging, not a timing requirement).
  bool gatherUntil(const std::function<bool()>& done) {
    const double giveUp = backend_->now() + 10.0;
    while (!done() && backend_->now() < giveUp)
      backend_->waitUntil(backend_->now() + 0.1, fb_, shown_, input_, true, WakeSource{});
    return done();
  }

  Image screenshot() {
    auto shot = window_->screenshot();
    EXPECT_TRUE(shot) << "xwd could not read the window";
    return shot.value_or(Image{});
  }

  std::optional<VirtualDisplay> display_;
  std::optional<X11Backend> backend_;
  std::optional<WindowDriver> window_;
  Framebuffer fb_;
  InputState input_;
  int shown_ = 0;
};

TEST_F(X11BackendOnXvfb, OpensOneFixedSizeWindowWithItsTitle) {
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(window_->name(), "vna backend test");
  const auto geometry = window_->geometry();
  ASSERT_TRUE(geometry);
  EXPECT_EQ(geometry->width, 1024);
  EXPECT_EQ(geometry->height, 768);

  Display* observer = XOpenDisplay(display_->name().c_str());
  ASSERT_NE(observer, nullptr);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(observer, backend_->windowId(), &hints, &supplied));
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, 1024);
  EXPECT_EQ(hints.max_width, 1024);
  EXPECT_EQ(hints.min_height, 768);
  EXPECT_EQ(hints.max_height, 768);
  XCloseDisplay(observer);

  // Found by process id, as the end-to-end tests find the programs.
  const auto found = runCommand({"xdotool", "search", "--pid", std::to_string(getpid())}, display_->name(), 10.0);
  EXPECT_EQ(std::strtoul(found.output.c_str(), nullptr, 10), backend_->windowId());
}

class X11BackendPresenting : public X11BackendOnXvfb, public ::testing::WithParamInterface<int> {};

TEST_P(X11BackendPresenting, ShowsThePageThroughThePaletteAndKeepsUpWithChanges) {
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  fb_.setPaletteEntry(7, kTeal);
  fb_.setPaletteEntry(12, kRed);
  fb_.fillRect(0, 0, 0, kScreenWidth - 1, kScreenHeight - 1, 7);
  fb_.fillRect(0, 100, 100, 199, 149, 12);
  backend_->pump(fb_, 0, input_);
  Image shot = screenshot();
  ASSERT_EQ(shot.width, 1024);
  EXPECT_TRUE(near(shot.at(400, 300), kTeal)) << show(shot.at(400, 300));
  EXPECT_TRUE(near(shot.at(150, 120), kRed)) << show(shot.at(150, 120));
  EXPECT_TRUE(near(shot.at(99, 99), kTeal)) << show(shot.at(99, 99));
  EXPECT_TRUE(near(shot.at(1023, 767), kTeal)) << show(shot.at(1023, 767));

  // Later drawing reaches the window: the dirty rows are put again.
  fb_.fillRect(0, 500, 600, 509, 609, 12);
  backend_->pump(fb_, 0, input_);
  shot = screenshot();
  EXPECT_TRUE(near(shot.at(505, 605), kRed)) << show(shot.at(505, 605));
  EXPECT_TRUE(near(shot.at(510, 605), kTeal)) << show(shot.at(510, 605));

  // Another page shown: all of it, though nothing on it is marked dirty.
  fb_.fillRect(1, 0, 0, kScreenWidth - 1, kScreenHeight - 1, 12);
  fb_.takeChanges(1);
  backend_->pump(fb_, 1, input_);
  EXPECT_TRUE(near(screenshot().at(400, 300), kRed));

  // A palette change repaints everything in the new colour.
  backend_->pump(fb_, 0, input_);
  fb_.setPaletteEntry(7, kGreen);
  backend_->pump(fb_, 0, input_);
  shot = screenshot();
  EXPECT_TRUE(near(shot.at(400, 300), kGreen)) << show(shot.at(400, 300));
  EXPECT_TRUE(near(shot.at(150, 120), kRed)) << show(shot.at(150, 120));

  // A page copy marks every row; the one row that really changed shows.
  fb_.copy(0, 2);
  fb_.setPixel(2, 700, 700, 12);
  fb_.copy(2, 0);
  backend_->pump(fb_, 0, input_);
  shot = screenshot();
  EXPECT_TRUE(near(shot.at(700, 700), kRed)) << show(shot.at(700, 700));
  EXPECT_TRUE(near(shot.at(701, 700), kGreen)) << show(shot.at(701, 700));

  // Unmapped and mapped again, the window lost its contents; the exposure
  // brings them back.
  ASSERT_TRUE(window_->xdotool({"windowunmap", "--sync", std::to_string(backend_->windowId())}));
  ASSERT_TRUE(window_->xdotool({"windowmap", "--sync", std::to_string(backend_->windowId())}));
  bool restored = false;
  for (int attempt = 0; attempt < 50 && !restored; ++attempt) {
    backend_->waitUntil(backend_->now() + 0.1, fb_, 0, input_, false, WakeSource{});
    shot = screenshot();
    restored = near(shot.at(400, 300), kGreen) && near(shot.at(150, 120), kRed);
  }
  EXPECT_TRUE(restored) << show(shot.at(400, 300));
}

INSTANTIATE_TEST_SUITE_P(Depths, X11BackendPresenting, ::testing::Values(24, 16),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// The window is sent only what changed, found where the pages may differ
// and in bands of columns: after many scan-like points of small changes all
// over the screen it must still show exactly the page, pixel for pixel.
TEST_F(X11BackendOnXvfb, ShowsExactlyThePageAfterManyScanLikeChanges) {
  ASSERT_NO_FATAL_FAILURE(start());
  for (int i = 0; i < 16; ++i)
    fb_.setPaletteEntry(i, Rgb{static_cast<std::uint8_t>(16 * i), static_cast<std::uint8_t>(255 - 13 * i),
                               static_cast<std::uint8_t>(40 + 11 * i)});
  std::mt19937 random(3);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  fb_.fillRect(2, 3, 3, 803, 693, 7);
  for (int round = 0; round < 3; ++round) {
    for (int point = 0; point < 40; ++point) {
      if (below(8) == 0) fb_.fillRect(2, below(1000), below(700), 1010 + below(14), 700 + below(68), 1 + below(15));
      fb_.copy(2, 1);
      const int scanX = 3 + (round * 40 + point) * 5 % 800;
      fb_.fillRect(1, scanX, 3, scanX, 693, 8);
      for (int k = 0; k < 12; ++k) {
        const int x = below(kScreenWidth - 40), y = below(kScreenHeight - 20);
        fb_.fillRect(1, x, y, x + below(40), y + below(20), below(16));
      }
      for (int k = 0; k < 30; ++k) fb_.setPixel(1, below(kScreenWidth), below(kScreenHeight), below(16));
      fb_.fillRect(1, 959, 567 - point, 961, 667, 2);
      fb_.copy(1, 0);
      backend_->pump(fb_, 0, input_);
      // Now and then text straight on the shown page, as hover highlights do.
      if (below(4) == 0) {
        const int top = 16 * below(48);
        fb_.fillRect(0, 816, top, 1015, top + 15, 15);
        backend_->pump(fb_, 0, input_);
      }
    }
    const Image shot = screenshot();
    ASSERT_EQ(shot.width, kScreenWidth);
    int wrong = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        if (shot.at(x, y) == fb_.paletteEntry(fb_.pixel(0, x, y))) continue;
        if (wrong++ == 0) firstX = x, firstY = y;
      }
    }
    EXPECT_EQ(wrong, 0) << "round " << round << ", first at " << firstX << ", " << firstY << ": "
                        << show(shot.at(firstX, firstY)) << " for "
                        << show(fb_.paletteEntry(fb_.pixel(0, firstX, firstY)));
  }
}

TEST_F(X11BackendOnXvfb, TranslatesKeysToTheCodesReadKeyReturns) {
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_TRUE(window_->xdotool({"mousemove", "--window", std::to_string(backend_->windowId()), "500", "300"}));
  ASSERT_TRUE(window_->xdotool({"windowfocus", std::to_string(backend_->windowId()),
                                "key",         "F1",
                                "F2",          "F10",
                                "F11",         "F12",
                                "Home",        "Up",
                                "Prior",       "Left",
                                "Right",       "End",
                                "Down",        "Next",
                                "Insert",      "Delete",
                                "BackSpace",   "Return",
                                "KP_Enter",    "Escape",
                                "space",       "shift",
                                "a",           "A",
                                "ctrl+v",      "minus",
                                "period",      "7"}));
  const std::vector<std::string> expected{extendedKey(59),
                                          extendedKey(60),
                                          extendedKey(68),
                                          extendedKey(87),
                                          extendedKey(88),
                                          extendedKey(71),
                                          extendedKey(72),
                                          extendedKey(73),
                                          extendedKey(75),
                                          extendedKey(77),
                                          extendedKey(79),
                                          extendedKey(80),
                                          extendedKey(81),
                                          extendedKey(82),
                                          extendedKey(83),
                                          "\b",
                                          "\r",
                                          "\r",
                                          "\x1b",
                                          " ",
                                          "a",
                                          "A",
                                          "\x16",
                                          "-",
                                          ".",
                                          "7"};
  gatherUntil([&] { return input_.keys.size() >= expected.size(); });
  const std::vector<std::string> got(input_.keys.begin(), input_.keys.end());
  EXPECT_EQ(got, expected);
}

TEST_F(X11BackendOnXvfb, FollowsThePointerTheButtonsAndTheWheel) {
  ASSERT_NO_FATAL_FAILURE(start());
  const std::string id = std::to_string(backend_->windowId());
  const MouseState& m = input_.mouse;
  ASSERT_TRUE(window_->xdotool({"mousemove", "--window", id, "100", "200"}));
  EXPECT_TRUE(gatherUntil([&] { return m.x == 100 && m.y == 200; })) << m.x << "," << m.y;
  EXPECT_TRUE(m.inside);

  // Left, right and middle are bits 1, 2 and 4; a release clears only its own.
  const std::vector<std::pair<std::vector<std::string>, int>> steps{{{"mousedown", "1"}, 1}, {{"mousedown", "3"}, 3},
                                                                    {{"mouseup", "1"}, 2},   {{"mousedown", "2"}, 6},
                                                                    {{"mouseup", "3"}, 4},   {{"mouseup", "2"}, 0}};
  for (const auto& [command, buttons] : steps) {
    ASSERT_TRUE(window_->xdotool(command));
    EXPECT_TRUE(gatherUntil([&, want = buttons] { return m.buttons == want; }))
        << command[0] << " " << command[1] << " left buttons " << m.buttons;
  }

  // Three notches away from the user, then one towards.
  ASSERT_TRUE(window_->xdotool({"click", "4", "click", "4", "click", "4"}));
  EXPECT_TRUE(gatherUntil([&] { return m.wheel == 3; })) << m.wheel;
  ASSERT_TRUE(window_->xdotool({"click", "5"}));
  EXPECT_TRUE(gatherUntil([&] { return m.wheel == 2; })) << m.wheel;

  // The screen is larger than the window: the pointer can leave it.
  ASSERT_TRUE(window_->xdotool({"mousemove", "1200", "900"}));
  EXPECT_TRUE(gatherUntil([&] { return !m.inside; }));
  ASSERT_TRUE(window_->xdotool({"mousemove", "--window", id, "10", "20"}));
  EXPECT_TRUE(gatherUntil([&] { return m.inside && m.x == 10 && m.y == 20; })) << m.x << "," << m.y;

  backend_->movePointer(300, 400, input_);
  EXPECT_TRUE(m.inside && m.x == 300 && m.y == 400);
  const auto at = runCommand({"xdotool", "getmouselocation", "--shell"}, display_->name(), 10.0).output;
  const auto geometry = window_->geometry();
  ASSERT_TRUE(geometry);
  EXPECT_NE(at.find("X=" + std::to_string(geometry->x + 300) + "\n"), std::string::npos) << at;
  EXPECT_NE(at.find("Y=" + std::to_string(geometry->y + 400) + "\n"), std::string::npos) << at;
}

// A touchpad tap or a quick click: xdotool sends press and release back to
// back, so both are at the server before the program reads the mouse again.
// The read that follows must see the button down once, the next one up.
TEST_F(X11BackendOnXvfb, AQuickClickReadsAsOnePressThenARelease) {
  ASSERT_NO_FATAL_FAILURE(start());
  Screen screen(*backend_);
  ASSERT_TRUE(window_->xdotool({"mousemove", "--window", std::to_string(backend_->windowId()), "500", "300"}));
  const double giveUp = backend_->now() + 10.0;  // a bound against hanging, not a timing requirement
  while (screen.readMouse().x != 500 && backend_->now() < giveUp) screen.sleep(20);
  ASSERT_EQ(screen.readMouse().x, 500);

  for (const auto& [xButton, bit] : {std::pair{"1", 1}, std::pair{"3", 2}}) {
    ASSERT_TRUE(window_->xdotool({"click", xButton}));
    MouseState m = screen.readMouse();
    while (m.buttons == 0 && backend_->now() < giveUp) {
      screen.sleep(20);
      m = screen.readMouse();
    }
    EXPECT_EQ(m.buttons, bit) << "X button " << xButton;
    EXPECT_EQ(screen.readMouse().buttons, 0) << "X button " << xButton;
  }
}

TEST_F(X11BackendOnXvfb, TheCloseButtonAsksTheProgramToEnd) {
  ASSERT_NO_FATAL_FAILURE(start());
  // What a window manager sends when the user clicks the close button.
  Display* wm = XOpenDisplay(display_->name().c_str());
  ASSERT_NE(wm, nullptr);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = backend_->windowId();
  event.xclient.message_type = XInternAtom(wm, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(wm, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(wm, backend_->windowId(), False, NoEventMask, &event);
  XFlush(wm);
  EXPECT_TRUE(gatherUntil([&] { return input_.closeRequested; }));
  XCloseDisplay(wm);
}

TEST_F(X11BackendOnXvfb, WaitsTheWholeTimeOrUntilActivityAsAsked) {
  ASSERT_NO_FATAL_FAILURE(start());
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  ASSERT_EQ(write(pipeFds[1], "x", 1), 1);
  const WakeSource readable{pipeFds[0]};

  // A plain wait ignores the instrument's descriptor.
  double deadline = backend_->now() + 0.2;
  backend_->waitUntil(deadline, fb_, 0, input_, false, readable);
  EXPECT_GE(backend_->now(), deadline);

  // Waiting for activity, bytes from the instrument end it.
  deadline = backend_->now() + 30.0;
  backend_->waitUntil(deadline, fb_, 0, input_, true, readable);
  EXPECT_LT(backend_->now(), deadline);

  // So does the moment the next bytes are due.
  char byte;
  ASSERT_EQ(read(pipeFds[0], &byte, 1), 1);
  const WakeSource due{pipeFds[0], backend_->now() + 0.05};
  deadline = backend_->now() + 30.0;
  backend_->waitUntil(deadline, fb_, 0, input_, true, due);
  EXPECT_GE(backend_->now(), due.readyAt);
  EXPECT_LT(backend_->now(), deadline);

  // And a key press.
  ASSERT_TRUE(window_->xdotool({"mousemove", "--window", std::to_string(backend_->windowId()), "500", "300"}));
  ASSERT_TRUE(window_->key("x"));
  deadline = backend_->now() + 30.0;
  while (input_.keys.empty() && backend_->now() < deadline)
    backend_->waitUntil(deadline, fb_, 0, input_, true, WakeSource{});
  EXPECT_LT(backend_->now(), deadline);
  ASSERT_FALSE(input_.keys.empty());
  EXPECT_EQ(input_.keys.back(), "x");
  close(pipeFds[0]);
  close(pipeFds[1]);
}

}  // namespace
}  // namespace vna::e2e
