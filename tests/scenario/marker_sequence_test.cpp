// A user who drags the markers about (past the plot's edges and out of the
// window), zooms on them, types and scrolls frequencies, changes the number
// of points and starts and stops scans, in an order drawn at random with a
// fixed seed. After every gesture each marker's index lies on a point of the
// current plan and follows from the marker's position.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "scenario_support.h"
#include "simulator/simulated_channel.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::WorkDirectory;

constexpr int P = 101;
constexpr double kStep = 0.7;  // seconds per gesture, checks included

struct MarkerSequence : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model;
  ImpedanceAnalyzer program{screen,
                            [this](int) -> std::unique_ptr<SerialChannel> {
                              return std::make_unique<SimulatedChannel>([this] { return backend.now(); }, model);
                            },
                            dir.settings()};
  std::mt19937 random{20240611};
  std::vector<std::string> problems;
  std::string history;

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }

  void checkMarkers() {
    const SweepPlan& plan = program.plan();
    const int n = plan.points;
    const int offsets[] = {plan.markerOffset1, plan.markerOffset2};
    const int indices[] = {plan.markerIndex1, plan.markerIndex2};
    for (int m = 0; m < 2; ++m) {
      const bool onAPoint = indices[m] >= 0 && indices[m] <= n - 1;
      const bool inThePlot = offsets[m] >= 0 && offsets[m] <= 800;
      const bool followsOffset = indices[m] == static_cast<int>(std::nearbyint((n - 1.0) * offsets[m] / 800));
      if (!(onAPoint && inThePlot && followsOffset) && problems.size() < 5)
        problems.push_back("marker " + std::to_string(m + 1) + ": offset " + std::to_string(offsets[m]) + ", index " +
                           std::to_string(indices[m]) + " of " + std::to_string(n) + " points after" + history);
    }
  }

  // Hover the marker's line, press, move about with the button held, let go.
  void drag(double t, int marker) {
    const SweepPlan& plan = program.plan();
    const int x = 3 + (marker == 1 ? plan.markerOffset1 : plan.markerOffset2);
    const int y = uniform(10, 680);
    backend.mouseAt(t, x + uniform(-6, 6), y);
    backend.mouseAt(t + 0.05, x, y, 1);
    int tx = x, ty = y;
    for (int k = 0, moves = uniform(1, 4); k < moves; ++k) {
      // Often right at an edge of the plot, where the pointer's last
      // position inside it decides; never onto the panel, where a held
      // button would act.
      static constexpr int kEdges[] = {2, 3, 4, 802, 803, 804};
      tx = uniform(0, 2) == 0 ? kEdges[uniform(0, 5)] : uniform(-40, 811);
      ty = uniform(-20, 767);
      backend.mouseAt(t + 0.1 + 0.05 * k, tx, ty, 1);
    }
    backend.mouseAt(t + 0.35, tx, ty, 0);
    history += " drag" + std::to_string(marker) + "->" + std::to_string(tx);
  }

  void typeFrequency(double t) {
    static const char* const values[] = {"1k", "250k", "3m", "45m", "99m", "12\r", "7000\r", "85m", "1.5m", "640k"};
    const int row = uniform(14, 15);  // Freq Max, Freq Min
    const std::string keys = values[uniform(0, 9)];
    backend.mouseAt(t, cellX(P + 14), cellY(row));
    for (std::size_t i = 0; i < keys.size(); ++i)
      backend.keyAt(t + 0.1 + 0.03 * static_cast<double>(i), std::string(1, keys[i]));
    backend.mouseAt(t + 0.45, 400, 740);  // off the panel, below the plot
    history += " type" + std::to_string(row) + ":" + (keys.back() == '\r' ? keys.substr(0, keys.size() - 1) : keys);
  }

  void scrollFrequency(double t) {
    const int row = uniform(14, 15);
    backend.mouseAt(t, cellX(P + uniform(14, 24)), cellY(row));
    backend.wheelAt(t + 0.1, uniform(0, 1) ? 1 : -1);
    backend.mouseAt(t + 0.4, 400, 740);
    history += " wheel" + std::to_string(row);
  }

  void stepPointsPerScan(double t) {
    const int button = uniform(1, 2);
    backend.mouseAt(t, cellX(P + 14), cellY(21));
    backend.clickAt(t + 0.1, cellX(P + 14), cellY(21), button);
    backend.mouseAt(t + 0.3, 400, 740);
    history += button == 1 ? " points+" : " points-";
  }

  void gesture(double t, int left) {
    if (left == 0) {
      backend.keyAt(t, "\x1b");
      return;
    }
    switch (uniform(0, 6)) {
      case 0: drag(t, 1); break;
      case 1: drag(t, 2); break;
      case 2:
        backend.keyAt(t, "\x16");  // Ctrl+V: zoom on the markers
        history += " zoom";
        break;
      case 3: typeFrequency(t); break;
      case 4: scrollFrequency(t); break;
      case 5: stepPointsPerScan(t); break;
      case 6:  // a short scan, stopped again (the stop waits for the point)
        backend.keyAt(t, " ");
        backend.keyAt(t + 0.3, " ");
        history += " scan";
        break;
    }
    backend.actionAt(t + kStep - 0.05, [this] { checkMarkers(); });
    backend.actionAt(t + kStep, [this, t, left] { gesture(t + kStep, left - 1); });
  }
};

TEST_F(MarkerSequence, MarkerIndicesStayOnThePlanWhateverTheOrderOfGestures) {
  model.setDevice(Device::resistor(100));
  backend.keyAt(6.0, " ");  // stop the scan the program starts by itself
  backend.actionAt(7.0, [this] { gesture(7.0, 150); });
  program.run();
  EXPECT_GT(screen.timer(), 7.0 + 150 * kStep);  // every gesture was made: the program did not end early
  for (const std::string& p : problems) ADD_FAILURE() << p;
}

}  // namespace
}  // namespace vna
