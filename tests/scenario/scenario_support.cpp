#include "scenario_support.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <unistd.h>

#include <gtest/gtest.h>

#include "display/layout.h"
#include "simulator/simulated_channel.h"

namespace vna::testing {
namespace {

constexpr int P = 101;
constexpr double kPollSeconds = 0.05;

}  // namespace

WorkDirectory::WorkDirectory() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vna-scenario-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

WorkDirectory::~WorkDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ChannelFactory simulatedInstrument(HeadlessBackend& backend, InstrumentModel& model) {
  return [&backend, &model](int) -> std::unique_ptr<SerialChannel> {
    return std::make_unique<SimulatedChannel>([&backend] { return backend.now(); }, model);
  };
}

std::vector<std::string> fileLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    out.push_back(text.substr(start, end - start));
  return out;
}

std::string panelRow(const Screen& screen, int row) { return screen.textAt(row, 101, 28); }

int plotPixels(const Screen& screen, int colour) {
  const int width = static_cast<int>(kPlot.width), height = static_cast<int>(kPlot.height);
  int n = 0;
  for (int y = kPlot.origin; y <= kPlot.origin + height; ++y) {
    for (int x = kPlot.origin; x <= kPlot.origin + width; ++x) {
      n += screen.framebuffer().pixel(kVisiblePage, x, y) == colour;
    }
  }
  return n;
}

double numberIn(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin) return std::numeric_limits<double>::quiet_NaN();
  for (const char* c = end; *c != '\0'; ++c) {
    if (*c != ' ') return std::numeric_limits<double>::quiet_NaN();
  }
  return v;
}

double shownNumber(const Screen& screen, int row, int column, int length) {
  return numberIn(screen.textAt(row, column, length));
}

// ---------------------------------------------------------------- the user

UserStory& UserStory::act(std::function<void()> step, double pause) {
  steps_.push_back({std::move(step), pause, {}, {}, 0.0});
  return *this;
}

UserStory& UserStory::click(int row, int column, int button) {
  return act([this, row, column, button] {
    const double t = backend_.now();
    backend_.mouseAt(t, cellX(column), cellY(row));
    backend_.clickAt(t + 0.1, cellX(column), cellY(row), button);
  }, 0.4);
}

UserStory& UserStory::moveMouse(int x, int y) {
  return act([this, x, y] { backend_.mouseAt(backend_.now(), x, y); }, 0.1);
}

UserStory& UserStory::drag(int x0, int y0, int x1, int y1) {
  return act([this, x0, y0, x1, y1] {
    const double t = backend_.now();
    backend_.mouseAt(t, x0, y0);
    backend_.mouseAt(t + 0.1, x0, y0, 1);
    backend_.mouseAt(t + 0.2, (x0 + x1) / 2, (y0 + y1) / 2, 1);
    backend_.mouseAt(t + 0.3, x1, y1, 1);
    backend_.mouseAt(t + 0.4, x1, y1, 0);
  }, 0.5);
}

UserStory& UserStory::type(std::string_view keys) {
  return act([this, keys = std::string(keys)] {
    const double t = backend_.now();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      backend_.keyAt(t + 0.05 * static_cast<double>(i), std::string(1, keys[i]));
    }
  }, 0.05 * static_cast<double>(keys.size()) + 0.3);
}

UserStory& UserStory::wheel(int notches) {
  return act([this, notches] { backend_.wheelAt(backend_.now(), notches); }, 0.4);
}

UserStory& UserStory::waitFor(std::string what, std::function<bool()> shown, double limit) {
  steps_.push_back({{}, 0.0, std::move(shown), std::move(what), limit});
  return *this;
}

UserStory& UserStory::waitForText(int row, int column, std::string text, double limit) {
  const int length = static_cast<int>(text.size());
  std::string what = "\"" + text + "\" at row " + std::to_string(row) + ", column " + std::to_string(column);
  return waitFor(std::move(what),
                 [this, row, column, length, text = std::move(text)] {
                   return screen_.textAt(row, column, length) == text;
                 },
                 limit);
}

void UserStory::begin(double at) {
  backend_.actionAt(at, [this] { run(0); });
}

void UserStory::run(std::size_t i) {
  if (i == steps_.size()) {
    finished_ = true;
    end();
    return;
  }
  const Step& step = steps_[i];
  if (step.until) {
    poll(i, backend_.now() + step.limit);
    return;
  }
  step.act();
  backend_.actionAt(backend_.now() + step.pause, [this, i] { run(i + 1); });
}

void UserStory::poll(std::size_t i, double deadline) {
  if (steps_[i].until()) {
    run(i + 1);
  } else if (backend_.now() > deadline) {
    ADD_FAILURE() << "the screen never showed " << steps_[i].what << " (step " << i << ", "
                  << backend_.now() << " s)";
    end();
    // A scan drops the Esc while a point comes in; closing the window ends
    // the program whatever it is doing.
    backend_.closeAt(backend_.now() + 1.0);
  } else {
    backend_.actionAt(backend_.now() + kPollSeconds, [this, i, deadline] { poll(i, deadline); });
  }
}

void UserStory::end() { backend_.keyAt(backend_.now(), "\x1b"); }

// ---------------------------------------------------------------- stories

void stopFirstScan(UserStory& user, const Screen& screen) {
  user.waitFor("the first scan", [&screen] { return screen.textAt(36, P + 2, 5) == " Stop"; })
      .type(" ")
      .waitForText(36, P + 2, " Start");
}

void calibrate(UserStory& user, InstrumentModel& model, const Device& reference) {
  const int outOfTheWayX = 600, outOfTheWayY = 730;  // below the plot, left of the panel
  user.click(25, P + 14)
      .waitForText(20, 20, " Replace the device under test with an    ")
      .act([&model] { model.setDevice(Device::open()); })
      .click(36, P + 4)
      .moveMouse(outOfTheWayX, outOfTheWayY)
      .waitForText(20, 20, "Replace the open circuit with a short circuit ")
      .act([&model] { model.setDevice(Device::shortCircuit()); })
      .click(36, P + 4)
      .moveMouse(outOfTheWayX, outOfTheWayY)
      // The prompt runs on in inverse into the load's value and its unit.
      .waitFor("\"Replace the short circuit with a \" and the load's value, one inverse bar",
               [&user] {
                 const Screen& s = user.screen();
                 if (s.textAt(20, 20, 33) != "Replace the short circuit with a ") return false;
                 for (int column = 20; column <= 63; ++column)
                   if (s.framebuffer().cell(0, 20, column).bg != colour::kText) return false;
                 return true;
               })
      .act([&model, reference] { model.setDevice(reference); })
      .click(36, P + 4)
      .moveMouse(outOfTheWayX, outOfTheWayY)
      .waitForText(20, 20, "calibration done, replace the reference load with the");
}

}  // namespace vna::testing
