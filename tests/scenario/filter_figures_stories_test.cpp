// Two-ports measured as a script measures them (vna-measure, normalized on a
// through, on the virtual instrument with its path errors and noise), then
// read for their figures: each filter reads as the simulator built it, a
// cable reads as a line with its delay, and what lies beyond the sweep is
// absent rather than guessed.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "simulator/device_models.h"
#include "tests/scenario/measure_bench.h"
#include "transmission/filter_figures.h"

namespace vna::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

class FilterFigureStories : public MeasureBench {
 protected:
  // Normalizes on a through over `plan`, connects `device`, measures it and
  // reads the figures off what vna-measure wrote.
  std::optional<FilterFigures> measured(const Device& device, const std::vector<std::string>& plan) {
    const std::string cal = "thru-" + std::to_string(++plans_) + ".cal";
    model_.setDevice(Device::through());
    std::vector<std::string> normalize{"normalize", "--cal", cal};
    normalize.insert(normalize.end(), plan.begin(), plan.end());
    EXPECT_EQ(measure(normalize).status, 0);
    model_.setDevice(device);
    std::vector<std::string> transmission{"transmission", "--cal", cal, "-o", "-"};
    transmission.insert(transmission.end(), plan.begin(), plan.end());
    const Outcome run = measure(transmission);
    EXPECT_EQ(run.status, 0) << run.message;
    std::vector<double> f;
    std::vector<std::complex<double>> t;
    for (const auto& row : dataLines(run.output)) {
      f.push_back(row.at(0));
      t.push_back(std::polar(std::pow(10.0, row.at(3) / 20), row.at(4) * kPi / 180));
    }
    return filterFigures(f, t);
  }

 private:
  int plans_ = 0;
};

// A fourth-order Butterworth band-pass of 200 kHz at 10.7 MHz, swept 500 kHz
// either side. Its 20 dB edges are 1.778 half-widths out (x^8 = 99), its
// 60 dB edges 5.6 (562 kHz): beyond the sweep. Its delay at the centre is
// twice the prototype's 2.613 over 2 pi B: 4.159 us.
TEST_F(FilterFigureStories, ABandPassReadsItsCentreWidthLossAndDelayAndNothingBeyondTheSweep) {
  const auto figures =
      measured(Device::bandpassLc(10.7e6, 200e3, 4), {"--from", "10.2M", "--to", "11.2M", "--points", "201"});
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->kind, FilterKind::Bandpass);
  EXPECT_NEAR(figures->centreHz.value_or(0), 10.7e6, 0.005 * 10.7e6);
  EXPECT_NEAR(figures->bandwidthHz.value_or(0), 200e3, 0.02 * 200e3);
  EXPECT_NEAR(figures->insertionLossDb, 0.0, 0.05);
  EXPECT_NEAR(figures->shapeFactor20To3.value_or(0), 1.7793, 0.02);
  EXPECT_NEAR(figures->delayAtCentreSeconds.value_or(0), 4.159e-6, 0.02 * 4.159e-6);
  EXPECT_FALSE(figures->edges60Db.lower || figures->edges60Db.upper || figures->shapeFactor60To6);
}

// A fifth-order Butterworth low-pass at 1 MHz, 201 points from 1 kHz to
// 10 MHz on a log axis: 3 dB down at its cut-off (0.9995 of it), 6 dB at
// 1.116, 60 dB at 3.98 times it; no lower edge, no centre.
TEST_F(FilterFigureStories, ALowPassIsThreeDecibelsDownAtItsCutOff) {
  const auto figures = measured(Device::lowpassLc(1e6, 5), {"--from", "1k", "--to", "10M", "--points", "201", "--log"});
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->kind, FilterKind::Lowpass);
  EXPECT_NEAR(figures->edges3Db.upper.value_or(0), 1e6, 0.005 * 1e6);
  EXPECT_NEAR(figures->edges60Db.upper.value_or(0), 3.981e6, 0.02 * 3.981e6);
  EXPECT_NEAR(figures->shapeFactor60To6.value_or(0), 3.981 / 1.1155, 0.05);
  EXPECT_NEAR(figures->insertionLossDb, 0.0, 0.05);
  EXPECT_FALSE(figures->edges3Db.lower || figures->centreHz || figures->loadedQ);
}

TEST_F(FilterFigureStories, ACableReadsAsALineWithItsDelay) {
  const auto figures = measured(Device::delayLine(25e-9), {"--from", "1k", "--to", "10M", "--points", "51", "--log"});
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->kind, FilterKind::Line);
  EXPECT_NEAR(figures->lineDelaySeconds.value_or(0), 25e-9, 0.01 * 25e-9);
  EXPECT_LT(figures->phaseDeviationDegrees.value_or(99), 0.1);
  EXPECT_NEAR(figures->insertionLossDb, 0.0, 0.05);
}

}  // namespace
}  // namespace vna::testing
