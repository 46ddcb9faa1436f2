// The real impedance-analyzer on a virtual X server, without an instrument:
// the window comes up at its fixed size, shows the main screen, and ends
// through the user's own ways out.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/settings_for_port.h"

namespace vna::e2e {
namespace {

constexpr Rgb kPlotBackground{0, 76, 76};  // palette colour 7
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kErrorBackground{168, 84, 0};  // palette colour 6

// The port the program is told to use: no converter has this number, so the
// run is without an instrument even while a simulator serves /dev/ttyUSB3.
constexpr std::int16_t kPortWithoutInstrument = 250;

// Takes screenshots every half second until `shows` holds for one, for at
// most `seconds`; returns the last screenshot.
template <typename Predicate>
std::optional<Image> screenshotWhen(const WindowDriver& window, double seconds, Predicate shows) {
  std::optional<Image> shot;
  for (double waited = 0; waited <= seconds; waited += 0.5) {
    shot = window.screenshot();
    if (shot && shows(*shot)) break;
    pause(0.5);
  }
  return shot;
}

// Pixels of panel rows 31 and 32, where the USB error lines stand.
std::vector<Rgb> errorLines(const Image& image) {
  std::vector<Rgb> pixels;
  for (int y = 16 * 30; y < 16 * 32; ++y)
    for (int x = 816; x < 1000; ++x) pixels.push_back(image.at(x, y));
  return pixels;
}

// Without an instrument the first acquisition times out after 7 s: the
// program shows " Error: USB timeout" / " USB Reset : wait (3s) " (colour 6),
// waits 1.2 s, fails to reopen the port, replaces the lines by " USB port" /
// " could not be opended " and only then serves the idle loop. Keys and
// clicks before that are lost (an acquisition discards them), so the tests
// wait for the second pair of lines. Returns the screenshot showing them.
std::optional<Image> waitForIdleAfterTimeout(const WindowDriver& window) {
  const auto first =
      screenshotWhen(window, 40.0, [](const Image& image) { return image.at(819, 16 * 30 + 8) == kErrorBackground; });
  if (!first || first->at(819, 16 * 30 + 8) != kErrorBackground) return std::nullopt;
  const std::vector<Rgb> resetLines = errorLines(*first);
  auto last = screenshotWhen(window, 20.0, [&](const Image& image) {
    return image.at(819, 16 * 30 + 8) == kErrorBackground && errorLines(image) != resetLines;
  });
  if (!last || errorLines(*last) == resetLines) return std::nullopt;
  pause(0.5);  // the idle loop starts right after these lines are printed
  return last;
}

// The meas/scan value as the window shows it: the cells right of the label
// (row 21, columns 113 to 118), spaces trimmed.
std::string pointsShown(const Image& image) { return trimmed(textAt(image, 21, 113, 6)); }

class ImpedanceAnalyzerE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = missingTools({"Xvfb", "xdotool"});
    if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs them)";
    ASSERT_TRUE(std::filesystem::exists(program_)) << program_ << " has not been built";
    display_.emplace();
    ASSERT_TRUE(display_->ok()) << display_->error();
    run_.emplace(*display_, program_, settingsForPort(kPortWithoutInstrument));
    ASSERT_TRUE(run_->started());
    window_ = run_->findWindow(20.0);
    ASSERT_TRUE(window_) << "no window appeared; the program said:\n" << run_->output();
  }

  const std::string program_ = programPath("impedance-analyzer");
  std::optional<VirtualDisplay> display_;
  std::optional<ProgramRun> run_;
  std::optional<WindowDriver> window_;
};

TEST_F(ImpedanceAnalyzerE2e, ShowsTheMainScreenAndEndsOnEscape) {
  const auto geometry = window_->geometry();
  ASSERT_TRUE(geometry);
  EXPECT_EQ(geometry->width, 1024);
  EXPECT_EQ(geometry->height, 768);

  // The splash takes 81 x 30 ms and the instrument reset waits 1.5 s; on a
  // busy machine it may take longer, so look again until the plot shows.
  pause(5.0);
  const auto shot = screenshotWhen(*window_, 15.0, [](const Image& image) {
    return image.at(400, 300) == kPlotBackground && image.anyOtherThan(816, 0, 1016, 47, kBlack);
  });
  ASSERT_TRUE(shot) << "no screenshot of the window";
  shot->savePpm(screenshotPath("impedance_analyzer_main_screen"));
  ASSERT_EQ(shot->width, 1024);
  ASSERT_EQ(shot->height, 768);
  const Rgb plot = shot->at(400, 300);
  EXPECT_EQ(plot, kPlotBackground) << "plot background is (" << int{plot.r} << ", " << int{plot.g} << ", "
                                   << int{plot.b} << ")";
  EXPECT_TRUE(shot->anyOtherThan(816, 0, 1016, 47, kBlack))
      << "the display mode text at the top of the panel is missing";

  // Escape during an acquisition is lost by design; from the idle loop it
  // ends the program.
  ASSERT_TRUE(waitForIdleAfterTimeout(*window_)) << "the program never got idle; it said:\n" << run_->output();
  ASSERT_TRUE(window_->key("Escape"));
  const auto status = run_->waitForExit(10.0);
  ASSERT_TRUE(status) << "the program did not end on Escape";
  EXPECT_EQ(*status, 0) << run_->output();
}

TEST_F(ImpedanceAnalyzerE2e, ExitButtonEndsTheProgramOnceTheScanHasTimedOut) {
  const auto shot = waitForIdleAfterTimeout(*window_);
  ASSERT_TRUE(shot) << "no USB error shown; the program said:\n" << run_->output();
  shot->savePpm(screenshotPath("impedance_analyzer_usb_error"));

  // Exit is panel row 42, x from 824 to 968.
  ASSERT_TRUE(window_->click(850, 16 * 41 + 8, 1));
  const auto status = run_->waitForExit(10.0);
  ASSERT_TRUE(status) << "the program did not end on the Exit button";
  EXPECT_EQ(*status, 0) << run_->output();
}

// A touchpad tap or a quick click: press and release sent back to back, both
// over before the program's next look at the mouse. Each one must act.
TEST_F(ImpedanceAnalyzerE2e, QuickClicksStepMeasPerScan) {
  ASSERT_TRUE(waitForIdleAfterTimeout(*window_)) << "the program never got idle; it said:\n" << run_->output();
  // Clicks act on the field under the pointer once the program has seen it
  // there, which it shows by highlighting the field.
  ASSERT_TRUE(window_->moveMouse(900, 16 * 21 - 8));
  const auto hovered = screenshotWhen(*window_, 10.0, [](const Image& image) { return image.at(896, 320) != kBlack; });
  ASSERT_TRUE(hovered && hovered->at(896, 320) != kBlack) << "meas/scan is not highlighted under the pointer";
  ASSERT_EQ(pointsShown(*hovered), "401");

  const std::vector<std::pair<std::string, std::string>> clicks{
      {"1", "801"}, {"1", "51"}, {"1", "101"}, {"3", "51"}};  // left steps up and wraps, right steps down
  for (const auto& [button, expected] : clicks) {
    ASSERT_TRUE(window_->xdotool({"click", button}));
    const auto shot =
        screenshotWhen(*window_, 5.0, [&, want = expected](const Image& image) { return pointsShown(image) == want; });
    ASSERT_TRUE(shot) << "no screenshot of the window";
    ASSERT_EQ(pointsShown(*shot), expected) << "after a quick click of button " << button;
  }
}

}  // namespace
}  // namespace vna::e2e
