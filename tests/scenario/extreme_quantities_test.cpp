// Devices whose quantities are infinite or not a number in some display
// modes (an open circuit, a short, a pure capacitance, a load of exactly the
// reference impedance), measured without calibration on a noiseless virtual
// instrument so that the zeros are exact. In every mode the marker readout
// keeps its columns and the traces stay inside the plot box.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "reflection/impedance_modes.h"
#include "scenario_support.h"
#include "simulator/simulated_channel.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::WorkDirectory;

constexpr int P = 101;

using testing::idealInstrument;

// What one readout row must look like: the mode's template with each value
// field holding a right-aligned number of its picture or "overscale".
std::string readoutProblem(const std::string& row, const ReadoutFormat& format, int rowNumber) {
  std::string expected(format.rowTemplate);
  if (rowNumber == 46) expected.replace(0, 11, "marker   2:");
  if (rowNumber == 47) expected.replace(0, 11, "marker 2-1:");
  struct Field {
    int column, width;
    std::regex shape;
  };
  const std::regex value(" *-?[0-9]+\\.[0-9]{3}|  overscale   ?");
  const Field fields[] = {{13, 12, std::regex(" *-?[0-9]+\\.[0-9]{2}")},
                          {format.value1Column, static_cast<int>(format.value1Picture.size()), value},
                          {format.value2Column, static_cast<int>(format.value2Picture.size()), value}};
  std::string rest = row;
  for (const Field& f : fields) {
    const std::string text = row.substr(static_cast<std::size_t>(f.column - 2), static_cast<std::size_t>(f.width));
    if (!std::regex_match(text, f.shape)) return "field at column " + std::to_string(f.column) + ": \"" + text + "\"";
    rest.replace(static_cast<std::size_t>(f.column - 2), static_cast<std::size_t>(f.width),
                 expected.substr(static_cast<std::size_t>(f.column - 2), static_cast<std::size_t>(f.width)));
  }
  const std::string tail = rest.substr(expected.size());
  rest.resize(expected.size());
  if (rest != expected) return "around the values: \"" + rest + "\"";
  if (tail.find_first_not_of(' ') != std::string::npos) return "after the row: \"" + tail + "\"";
  return {};
}

struct ExtremeQuantities : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model{idealInstrument(0.0)};
  ImpedanceAnalyzer program{screen,
                            [this](int) -> std::unique_ptr<SerialChannel> {
                              return std::make_unique<SimulatedChannel>([this] { return backend.now(); }, model);
                            },
                            dir.settings()};
  std::vector<std::string> problems;
  int looks = 0;  // a look the program did not live to see checks nothing

  // Pixels outside the plot box, left of the panel (whose start button
  // outline is at x = 815) and above the readout rows: the cleared screen,
  // whatever the traces hold.
  int pixelsAroundThePlot() const {
    int count = 0;
    for (int y = 0; y < 704; ++y)
      for (int x = 0; x < 812; ++x)
        if ((x < 3 || x > 803 || y < 3 || y > 693) && screen.framebuffer().pixel(kVisiblePage, x, y) != 0) ++count;
    return count;
  }

  void look(const std::string& when) {
    ++looks;
    const int mode = program.control().displayMode;
    const ReadoutFormat& format = impedanceModes()[static_cast<std::size_t>(mode)].readout;
    for (int row = 45; row <= 47; ++row) {
      const std::string problem = readoutProblem(screen.textAt(row, 2, 99), format, row);
      if (!problem.empty())
        problems.push_back(when + ", mode " + std::to_string(mode) + ", row " + std::to_string(row) + ": " + problem);
    }
    if (const int n = pixelsAroundThePlot(); n > 0)
      problems.push_back(when + ", mode " + std::to_string(mode) + ": " + std::to_string(n) +
                         " pixels drawn outside the plot box");
  }

  // A first scan (the program starts it itself) is complete by 40 s; then
  // every display mode in turn, recomputed from the stored points.
  void measureAndStepThroughTheModes(const Device& device) {
    model.setDevice(device);
    backend.actionAt(20.0, [this] { look("while scanning"); });
    backend.keyAt(40.0, " ");
    double t = 41.0;
    backend.actionAt(t, [this] {
      if (!program.control().scanComplete()) problems.push_back("the first scan did not complete");
      look("after the scan");
    });
    for (int m = 1; m <= 11; ++m, t += 0.5) {
      backend.mouseAt(t + 0.1, cellX(P + 10), cellY(2));
      backend.clickAt(t + 0.2, cellX(P + 10), cellY(2));
      backend.mouseAt(t + 0.3, 900, cellY(44));
      backend.actionAt(t + 0.45, [this] { look("stepped"); });
    }
    backend.keyAt(t, "\x1b");
    program.run();
    EXPECT_EQ(looks, 13);  // during and after the scan, and in each of the eleven modes stepped to
    EXPECT_EQ(program.control().displayMode, 0);  // eleven steps: every mode once, and round
    for (const std::string& p : problems) ADD_FAILURE() << p;
  }
};

// No current into A: the ratio is exactly 0 and the impedance 0/0.
TEST_F(ExtremeQuantities, AnOpenCircuit) {
  measureAndStepThroughTheModes(Device::open());
}

// Z = 0: capacitances and resistances divide by zero.
TEST_F(ExtremeQuantities, AShortCircuit) {
  measureAndStepThroughTheModes(Device::shortCircuit());
}

// No resistance: Q is as good as infinite.
TEST_F(ExtremeQuantities, APureCapacitance) {
  measureAndStepThroughTheModes(Device::capacitor(100e-12));
}

// The reference impedance itself: |s11| in dB is the log of (nearly) zero.
TEST_F(ExtremeQuantities, AFiftyOhmLoad) {
  measureAndStepThroughTheModes(Device::resistor(50));
}

}  // namespace
}  // namespace vna
