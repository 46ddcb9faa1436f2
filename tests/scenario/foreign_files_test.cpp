// Files of other tools in the viewers, as a user meets them: a simulator's
// coaxial line in RI, a component measured in GHz on 75 ohm, a 100,001-point
// sweep with a narrow resonance, two merged bands, an odd point count, and
// a broken file that is refused with its reason while the viewer stays usable.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <string>

#include "display/layout.h"
#include "platform/numeric.h"
#include "scenario_support.h"
#include "viewers/impedance_viewer.h"
#include "viewers/transmission_viewer.h"

namespace vna {
namespace {

using testing::plotPixels;
using testing::shownNumber;
using testing::UserStory;
using testing::WorkDirectory;

constexpr int P = 101;

struct ForeignFile : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  UserStory user{backend, screen};

  void write(const std::string& name, const std::string& content) {
    std::ofstream(dir.path() / name, std::ios::binary) << content;
  }
  void pickFirstFile() {
    user.waitForText(20, 8, "   Choose the file to be displayed")
        .moveMouse(600, 24)
        .act([this] { backend.clickAt(backend.now(), 600, 24); }, 0.5)
        .moveMouse(600, 730);
  }
  template <typename Viewer>
  void play(Viewer& viewer) {
    user.begin(0.0);
    viewer.run();
    ASSERT_TRUE(user.finished());
  }
  double readout(int row, int column, int length = 12) const { return shownNumber(screen, row, column, length); }
};

// s21 of a lossy line: the phase turns 0.35 degrees a megahertz.
std::complex<double> lineS21(double hz) { return std::polar(0.99 - 1e-10 * hz, -0.35e-6 * hz * kPi / 180); }

TEST_F(ForeignFile, ASimulatorsLineInRealAndImaginaryPartsReadsItsGainAndPhase) {
  std::string file = "! coaxial line from a circuit simulator\n# HZ S RI R 50\n";
  for (int i = 0; i < 101; ++i) {
    const double f = 40e6 + 0.6e6 * i;
    const auto s21 = lineS21(f);
    char line[200];
    std::snprintf(line, sizeof line, "%.6e %.9e %.9e %.9e %.9e %.9e %.9e %.9e %.9e\n", f, 0.01, 0.0, s21.real(),
                  s21.imag(), s21.real(), s21.imag(), 0.01, 0.0);
    file += line;
  }
  write("coax.s2p", file);
  TransmissionViewer viewer(screen, dir.path());
  pickFirstFile();
  double frequency = 0, gain = 0, phase = 0;
  user.waitForText(24, P + 2, "Parameter:").act([&] {
    frequency = readout(45, 13);
    gain = readout(45, 31, 11);
    phase = readout(45, 46, 10);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  const double f = 40e6 + 0.6e6 * 12;  // marker 1 at 100 of 800: point 12 of 0..100
  EXPECT_NEAR(frequency, f, 0.01);
  EXPECT_NEAR(gain, 20 * std::log10(std::abs(lineS21(f))), 0.001);
  EXPECT_NEAR(phase, std::arg(lineS21(f)) * 180 / kPi, 0.01);
}

// A 30 ohm part measured by an instrument that writes GHz, MA and R 75.
TEST_F(ForeignFile, AFileInGigahertzOn75OhmShowsItsFrequenciesAndImpedance) {
  std::string file = "# ghz ma s r 75 ! lower case, a comment after the options\n";
  const double s = (30.0 - 75) / (30 + 75);
  for (int i = 0; i < 51; ++i) file += std::to_string(1.0 + 0.05 * i) + "\t" + std::to_string(-s) + "\t180\n";
  write("part.s1p", file);
  ImpedanceViewer viewer(screen, dir.path());
  pickFirstFile();
  double frequency = 0, magnitude = 0;
  std::string freqMax;
  user.waitForText(24, P + 2, "Parameter:").act([&] {
    frequency = readout(45, 13);
    magnitude = readout(45, 29);
    freqMax = screen.textAt(14, P + 13, 12);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_NEAR(frequency, 1.3e9, 0.5);  // point 6: "1300000000.0", one decimal given up to fit
  EXPECT_EQ(freqMax, "3500000000.0");
  EXPECT_NEAR(magnitude, 30, 0.001);
}

// A 100,001-point sweep whose only feature is a one-point notch: every
// pixel column shows the least and greatest of its points, so the notch is
// drawn down to its depth.
TEST_F(ForeignFile, AHundredThousandPointsAreAllDrawnAndANarrowNotchStaysVisible) {
  std::string file = "# MHZ S DB R 50\n";
  file.reserve(4'000'000);
  for (int i = 0; i <= 100'000; ++i) {
    const double db = i == 61'234 ? -60.0 : -1.0;
    file += std::to_string(1 + i * 0.0009) + " 0 0 " + std::to_string(db) + " 0 0 0 0 0\n";
  }
  write("sweep.s2p", file);
  TransmissionViewer viewer(screen, dir.path());
  pickFirstFile();
  std::string points;
  int notchPixels = -1;
  user.waitForText(24, P + 2, "Parameter:").act([&] {
    points = screen.textAt(21, P + 2, 17);
    // The default gain scale reaches -80 dB: the notch's stroke crosses
    // the rows well below the -1 dB trace, in the columns around point 61234.
    notchPixels = 0;
    const int x = static_cast<int>(kPlot.origin + kPlot.width * 61'234 / 100'000.0 + 0.5);
    for (int y = 200; y < 700; ++y)
      for (int dx = -1; dx <= 1; ++dx) notchPixels += screen.framebuffer().pixel(kVisiblePage, x + dx, y) == colour::kTrace1;
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(points, "meas/scan: 100001");
  EXPECT_EQ(viewer.plan().points, 100'001);
  EXPECT_GT(notchPixels, 20);
  EXPECT_EQ(viewer.plan().markerIndex1, 12'500);
}

// Two bands merged into one file (1-2 MHz and 50-60 MHz): each point is
// drawn at its own frequency, and the marker reads the file's frequency.
TEST_F(ForeignFile, MergedBandsAreDrawnAtTheirOwnFrequencies) {
  std::string file = "# HZ S DB R 50\n";
  std::vector<double> f;
  for (int i = 0; i < 51; ++i) f.push_back(1e6 + 2e4 * i);
  for (int i = 0; i < 50; ++i) f.push_back(50e6 + 2e5 * i);
  for (const double hz : f) file += std::to_string(hz) + " -6 0 -3 45 0 0 0 0\n";
  write("bands.s2p", file);
  TransmissionViewer viewer(screen, dir.path());
  pickFirstFile();
  double marker1 = 0, marker2 = 0;
  user.waitForText(24, P + 2, "Parameter:").act([&] {
    marker1 = readout(45, 13);
    marker2 = readout(46, 13);
  });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_FALSE(viewer.plan().evenSpacing);
  EXPECT_EQ(marker1, f[12]);  // point 12 of 0..100, at its frequency in the file
  EXPECT_EQ(marker2, f[25]);
}

// 57 points: the delay aperture steps 2, 4, 8 and round again to 2, and the
// delay of an even aperture lands on its middle point.
TEST_F(ForeignFile, AnOddPointCountKeepsTheDelayApertureEven) {
  std::string file = "# HZ S DB R 50\n";
  for (int i = 0; i < 57; ++i) file += std::to_string(1e6 + 1e5 * i) + " 0 0 -1 " + std::to_string(-3.6 * i) + " 0 0 0 0\n";
  write("filter.s2p", file);
  TransmissionViewer viewer(screen, dir.path());
  pickFirstFile();
  std::vector<int> apertures;
  double delayAtMiddle = 0;
  user.waitForText(24, P + 2, "Parameter:");
  user.click(2, P + 10).click(2, P + 10).moveMouse(600, 730);  // gain & delay
  for (int click = 0; click < 4; ++click) {
    user.act([&] { apertures.push_back(viewer.hooks().delayAperture()); });
    user.click(22, P + 14).moveMouse(600, 730);
  }
  user.act([&] { delayAtMiddle = viewer.record().trace2[28]; });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(apertures, (std::vector<int>{2, 4, 8, 2}));
  // 3.6 degrees a 100 kHz: 0.1 us, at every point the aperture reaches.
  EXPECT_NEAR(delayAtMiddle, 0.1, 1e-4);
}

// A phase that turns a quarter every point steps exactly +180 or -180
// degrees over the aperture of 2: each is taken as it stands, half a period
// late or early, not folded to the other side.
TEST_F(ForeignFile, PhaseStepsOfExactlyHalfATurnKeepTheirSign) {
  const double angles[] = {0, 90, 180, -90};
  std::string file = "# HZ S DB R 50\n";
  for (int i = 0; i < 51; ++i)
    file += std::to_string(1e6 + 1e5 * i) + " 0 0 -1 " + std::to_string(angles[i % 4]) + " 0 0 0 0\n";
  write("halfturn.s2p", file);
  TransmissionViewer viewer(screen, dir.path());
  pickFirstFile();
  std::vector<double> delay;
  user.waitForText(24, P + 2, "Parameter:");
  user.click(2, P + 10).click(2, P + 10).moveMouse(600, 730);  // gain & delay
  user.act([&] { delay.assign(viewer.record().trace2.begin(), viewer.record().trace2.begin() + 51); });
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  ASSERT_EQ(viewer.hooks().delayAperture(), 2);
  // The delay of points m - 1 .. m + 1 (200 kHz apart) lands on point m.
  for (int m = 1; m < 50; ++m) {
    const double step = angles[(m + 1) % 4] - angles[(m - 1) % 4];  // +180 or -180
    EXPECT_EQ(std::fabs(step), 180);
    EXPECT_NEAR(delay[static_cast<std::size_t>(m)], -1e6 * (step / 360) / 2e5, 1e-9) << "point " << m;
  }
}

// A broken file says why it cannot be shown; the list comes back, the next
// file opens, File Access and Exit work.
TEST_F(ForeignFile, ABrokenFileIsRefusedWithItsReasonAndTheViewerStaysUsable) {
  write("broken.s1p", "# HZ S DB R 50\n1000 -3 20\n2000 -3\n3000 -3 20\n");
  std::string good = "# HZ S DB R 50\n";
  for (int i = 0; i < 51; ++i) good += std::to_string(1000 + 100 * i) + " -9.5424250943932 0\n";
  ImpedanceViewer viewer(screen, dir.path());
  std::string error, reason;
  double magnitude = 0;
  user.waitForText(20, 8, "   Choose the file to be displayed")
      .moveMouse(600, 24)
      .act([this] { backend.clickAt(backend.now(), 600, 24); }, 0.5)
      .act([&] {
        error = screen.textAt(5, 5, 38);
        reason = screen.textAt(6, 5, 48);
        // The user mends the file while the message stands.
        write("broken.s1p", good);
      }, 3.5);
  user.waitForText(20, 8, "   Choose the file to be displayed")
      .moveMouse(600, 24)
      .act([this] { backend.clickAt(backend.now(), 600, 24); }, 0.5)
      .moveMouse(600, 730)
      .waitForText(24, P + 2, "Parameter:")
      .act([&] { magnitude = readout(45, 29); });
  user.click(40, P + 4).waitForText(20, 8, "   Choose the file to be displayed");  // File Access; Esc then ends it
  ASSERT_NO_FATAL_FAILURE(play(viewer));
  EXPECT_EQ(error, " error : the file is not compatible   ");
  EXPECT_EQ(reason, " line 3: 2 numbers where a one-port line has 3  ");
  EXPECT_NEAR(magnitude, 100, 0.01);
}

}  // namespace
}  // namespace vna
