// vna-measure in-process against the virtual instrument on a virtual clock:
// replies that are no samples (random bytes, stray bytes ahead of the reply)
// fail the run with its reason and status 4 and leave the file that was
// there; once the instrument answers properly the next run measures the
// device.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <string>
#include <vector>

#include "tests/scenario/measure_bench.h"

namespace vna::testing {
namespace {

class MeasureFaults : public MeasureBench {
 protected:
  MeasureFaults() : MeasureBench(idealInstrument(0)) {}

  // |z| of every point of a one-port file, from its dB and angle.
  std::vector<double> impedances(const std::string& name) const {
    std::vector<double> z;
    for (const std::vector<double>& row : dataLines(file(name))) {
      const std::complex<double> s = std::polar(std::pow(10.0, row.at(1) / 20), row.at(2) * std::acos(-1.0) / 180);
      z.push_back(std::abs(50.0 * (1.0 + s) / (1.0 - s)));
    }
    return z;
  }

  const std::vector<std::string> reflection_{"reflection", "--from", "1k",    "--to", "10M",
                                             "--points",   "51",     "--log", "-o",   "part.s1p"};
};

TEST_F(MeasureFaults, RepliesThatAreNoSamplesFailTheRunAndKeepTheOldFile) {
  model_.setDevice(Device::resistor(220));
  std::ofstream(dir_.path() / "part.s1p") << "kept";

  // Every reply random bytes of the right length.
  model_.setFault(FaultPlan::garbage(), host_.t);
  const Outcome garbage = measure(reflection_);
  EXPECT_EQ(garbage.status, 4);
  EXPECT_NE(garbage.message.find("damaged replies"), std::string::npos) << garbage.message;
  EXPECT_EQ(file("part.s1p"), "kept");

  // Stray bytes ahead of every reply shift its groups.
  model_.setFault(FaultPlan::extra(30), host_.t);
  const Outcome stray = measure(reflection_);
  EXPECT_EQ(stray.status, 4) << stray.message;
  EXPECT_EQ(file("part.s1p"), "kept");

  // One damaged reply, a burst of noise on the line: the retry after the
  // reopen measures the whole sweep anew, and the file holds the resistor.
  model_.setFault(FaultPlan::garbage(1), host_.t);
  const Outcome retried = measure(reflection_);
  EXPECT_EQ(retried.status, 0) << retried.message;
  const std::vector<double> z = impedances("part.s1p");
  ASSERT_EQ(z.size(), 51u);
  for (const double ohms : z) EXPECT_NEAR(ohms, 220, 0.22);
}

TEST_F(MeasureFaults, AnInstrumentAnsweringProperlyIsNeverRefused) {
  // The noisiest instrument the simulator offers, with its path errors, its
  // compression and a weak reference, at every sample count.
  InstrumentSettings noisy;
  noisy.noiseCounts = 2000;
  noisy.referenceLevelDbm = -30;
  model_.settings() = noisy;
  model_.setDevice(Device::open());
  for (const char* ms : {"40", "80", "160"}) {
    std::vector<std::string> args = reflection_;
    args.insert(args.end(), {"--ms", ms});
    const Outcome run = measure(args);
    EXPECT_EQ(run.status, 0) << ms << " ms: " << run.message;
  }
}

}  // namespace
}  // namespace vna::testing
