// Running a whole program on the headless backend with a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/impedance_analyzer.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "platform/serial_port.h"
#include "simulator/instrument_model.h"
#include "analyzer/transmission_analyzer.h"

namespace vna::testing {

// A fresh working directory per test, removed afterwards.
class WorkDirectory {
 public:
  WorkDirectory();
  ~WorkDirectory();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path settings() const { return path_ / "configu"; }

 private:
  std::filesystem::path path_;
};

// A port that is not there: the real serial port on a device path that does
// not exist.
inline ChannelFactory noInstrument() {
  return [](int) -> std::unique_ptr<SerialChannel> {
    return std::make_unique<SerialPort>("/nonexistent/ttyUSB3");
  };
}

// The virtual instrument on the backend's clock, as the program's port.
ChannelFactory simulatedInstrument(HeadlessBackend& backend, InstrumentModel& model);

// An instrument without bridge errors or input asymmetry: it reads the
// bridge's nominal ratio, with `noiseCounts` of converter noise.
inline InstrumentSettings idealInstrument(double noiseCounts) {
  InstrumentSettings s;
  s.arGain = 1.0;
  s.arPhaseDegrees = 0.0;
  s.noiseCounts = noiseCounts;
  s.pathErrors = PathErrors::None;
  // The virtual clock blurs nothing: the instrument holds the program to the
  // full 37 ms from strobe to acquisition, give or take its own byte times.
  s.settleSlackSeconds = 2 * kByteSeconds;
  return s;
}

// Panel cells from column 101 to 128 of a row, as shown.
std::string panelRow(const Screen& screen, int row);

// Pixels of one palette colour inside the plot frame, as shown.
int plotPixels(const Screen& screen, int colour);

// The lines of a file written with CR LF, without their ends; a last line
// without an end is left out.
std::vector<std::string> fileLines(const std::filesystem::path& file);

// Pixel coordinates of the middle of a text cell.
inline int cellX(int column) { return (column - 1) * 8 + 4; }
inline int cellY(int row) { return (row - 1) * 16 + 8; }

// The number a readout or panel field shows; not-a-number for blanks,
// "overscale" or anything else that is not a number.
double numberIn(const std::string& text);
double shownNumber(const Screen& screen, int row, int column, int length);

// A user at the screen who does one thing after another and, where a person
// would wait for the instrument, waits until the screen shows the expected
// text rather than for a fixed time. Steps run on the virtual clock from
// begin() on; after the last one the user presses Esc. A wait that runs out
// fails the test and ends the program the same way.
class UserStory {
 public:
  UserStory(HeadlessBackend& backend, const Screen& screen) : backend_(backend), screen_(screen) {}

  // Does `step`, then leaves the program `pause` seconds before the next.
  UserStory& act(std::function<void()> step, double pause = 0.3);
  // Points at a text cell and presses a mouse button there.
  UserStory& click(int row, int column, int button = 1);
  UserStory& moveMouse(int x, int y);
  // Drags from one pixel to another with the left button held.
  UserStory& drag(int x0, int y0, int x1, int y1);
  UserStory& type(std::string_view keys);
  // Turns the scroll wheel where the pointer is: up for positive notches.
  UserStory& wheel(int notches);
  UserStory& waitFor(std::string what, std::function<bool()> shown, double limit = 60.0);
  UserStory& waitForText(int row, int column, std::string text, double limit = 60.0);

  const Screen& screen() const { return screen_; }

  void begin(double at);
  // Every step ran (no wait ran out).
  bool finished() const { return finished_; }

 private:
  struct Step {
    std::function<void()> act;
    double pause = 0.0;
    std::function<bool()> until;
    std::string what;
    double limit = 0.0;
  };
  void run(std::size_t i);
  void poll(std::size_t i, double deadline);
  void end();

  HeadlessBackend& backend_;
  const Screen& screen_;
  std::vector<Step> steps_;
  bool finished_ = false;
};

// Stops the scan the program starts by itself, as the user does before
// touching the panel.
void stopFirstScan(UserStory& user, const Screen& screen);

// Calibrates through the panel as the prompts ask: the calibrate item, then
// Start with the open circuit, the short circuit and `reference` connected in
// turn. Starts and ends in the idle loop.
void calibrate(UserStory& user, InstrumentModel& model, const Device& reference);

// Readout columns of rows 45 (marker 1) and 46 (marker 2).
inline constexpr int kFrequencyColumn = 13, kTrace1Column = 29, kTrace2Column = 46;

// An analyzer on the virtual instrument with the bridge and path errors,
// the input asymmetry and the noise of a real one, and a user at it.
template <typename Analyzer>
struct AnalyzerBench : ::testing::Test {
  static constexpr int P = 101;
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model;
  Analyzer program{screen, simulatedInstrument(backend, model), dir.settings()};
  UserStory user{backend, screen};

  // 401 -> 801 -> 51 points: a sweep of a few virtual seconds.
  void fiftyOnePoints() { user.click(21, P + 14).click(21, P + 14); }

  // Starts the scan and stops it once the instrument has measured every
  // point of the range again.
  void sweep() {
    user.act([this] { acquisitionsAtStart = model.acquisitions(); })
        .click(36, P + 4)
        .moveMouse(600, 730)
        .waitFor("a sweep over the whole range",
                 [this] { return model.acquisitions() > acquisitionsAtStart + program.plan().points; })
        .type(" ")
        .waitForText(36, P + 2, " Start");
  }
  int acquisitionsAtStart = 0;

  void play() {
    user.begin(0.0);
    program.run();
    ASSERT_TRUE(user.finished());
  }

  double shown(int row, int column) const {
    return shownNumber(screen, row, column, column == kFrequencyColumn ? 12 : 14);
  }
};

using InstrumentBench = AnalyzerBench<ImpedanceAnalyzer>;
using TransmissionBench = AnalyzerBench<TransmissionAnalyzer>;

}  // namespace vna::testing
