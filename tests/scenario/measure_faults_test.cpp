// vna-measure in-process against the virtual instrument on a virtual clock:
// replies that are no samples (random bytes, stray bytes ahead of the reply)
// fail the run with its reason and status 4 and leave the file that was
// there; once the instrument answers properly the next run measures the
// device. Whatever stops or restarts a sweep (the next sweep, a reopen, a
// Ctrl+C and a new run), no acquisition comes before the generators settled.
// A two-port file of another plan is refused with status 7 before the
// instrument is touched; one of the same plan takes the new parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "simulator/simulated_channel.h"
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

  // Every reply one byte short: an answer, but an incomplete one, and the
  // message says so rather than that the instrument is silent.
  model_.setFault(FaultPlan::shortReply(), host_.t);
  const Outcome incomplete = measure(reflection_);
  EXPECT_EQ(incomplete.status, 4);
  EXPECT_NE(incomplete.message.find("incomplete replies"), std::string::npos) << incomplete.message;
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

TEST_F(MeasureFaults, AFileOfAnotherPlanIsRefusedBeforeTheSweepAndOneOfTheSamePlanMerges) {
  model_.setDevice(Device::resistor(220));
  // 51 log points from 1 kHz to `to`, as slot `slot` of `name`.
  const auto reflection = [](const char* to, const char* slot, const char* name) {
    return std::vector<std::string>{"reflection", "--from", "1k", "--to", to, "--points", "51", "--log",
                                    "--slot",     slot,     "-o", name,     "--quiet"};
  };
  ASSERT_EQ(measure(reflection("10M", "s11", "dut.s2p")).status, 0);
  const std::string saved = file("dut.s2p");
  const int opens = opened_;

  // s22 over 1 kHz to 20 MHz into the 10 MHz file.
  const Outcome wider = measure(reflection("20M", "s22", "dut.s2p"));
  EXPECT_EQ(wider.status, 7);
  EXPECT_EQ(wider.message,
            "vna-measure: dut.s2p holds another plan than this sweep's (line 9: 1202.264434617413 Hz in the file, "
            "1219.047420694726 Hz in the scan): sweep with the plan it was measured with, or give -o a new name\n");
  EXPECT_EQ(file("dut.s2p"), saved);
  EXPECT_EQ(opened_, opens);  // not swept: the port was never opened
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);  // no temporary file either

  // With --sweeps, every numbered file that is there: the second has 101 points.
  std::ofstream(dir_.path() / "dut-0002.s2p", std::ios::binary)
      << s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, std::vector<TouchstonePoint>(101));
  std::vector<std::string> sweeps = reflection("10M", "s22", "dut.s2p");
  sweeps.insert(sweeps.end(), {"--sweeps", "3"});
  const Outcome numbered = measure(sweeps);
  EXPECT_EQ(numbered.status, 7);
  EXPECT_NE(numbered.message.find("dut-0002.s2p holds another plan than this sweep's (101 points in the file, 51 "
                                  "in the scan)"),
            std::string::npos)
      << numbered.message;
  EXPECT_EQ(opened_, opens);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "dut-0001.s2p"));

  // A file the merge could not fill at all (one-port data under the name):
  // refused before the sweep as well, as a file that cannot be written.
  std::ofstream(dir_.path() / "one.s2p", std::ios::binary) << "# HZ S DB R 50\r\n1000 -1 10\r\n";
  const Outcome onePort = measure(reflection("10M", "s22", "one.s2p"));
  EXPECT_EQ(onePort.status, 5);
  EXPECT_NE(onePort.message.find("one.s2p is not compatible"), std::string::npos) << onePort.message;
  EXPECT_EQ(opened_, opens);

  // s22 over the file's own plan: every data line stays as it was, byte for
  // byte, up to the s22 pair, which holds the 220 ohm: |s22| = 170/270; the
  // notes of s11 stay, those of s22 join them.
  const Outcome merged = measure(reflection("10M", "s22", "dut.s2p"));
  ASSERT_EQ(merged.status, 0) << merged.message;
  std::istringstream was(saved), now(file("dut.s2p"));
  int points = 0;
  const std::string notes = file("dut.s2p").substr(0, file("dut.s2p").find("# HZ"));
  EXPECT_EQ(notes.substr(0, saved.find("! slots")), saved.substr(0, saved.find("! slots")));
  EXPECT_NE(notes.find("\r\n! s22 measured "), std::string::npos) << notes;
  EXPECT_NE(notes.find("\r\n! slots measured: s11 and s22; s21 and s12 hold"), std::string::npos) << notes;
  for (std::string line, after; std::getline(was, line) && std::getline(now, after);) {
    if (line[0] == '!') continue;  // the notes, above
    if (line[0] == '#') {
      while (after[0] == '!') std::getline(now, after);  // s22's notes, above
      EXPECT_EQ(after, line);
      continue;
    }
    ++points;
    const std::string kept = line.substr(0, line.size() - 9);  // less "0.0 0.0 \r"
    ASSERT_EQ(after.substr(0, kept.size()), kept);
    double db = 0, angle = 0;
    std::istringstream(after.substr(kept.size())) >> db >> angle;
    EXPECT_NEAR(db, 20 * std::log10(170.0 / 270), 1e-4) << line;
    EXPECT_NEAR(angle, 0, 1e-3) << line;
    EXPECT_EQ(after.substr(after.size() - 2), " \r");
  }
  EXPECT_EQ(points, 51);
  EXPECT_TRUE(now.peek() == EOF);
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

// The virtual instrument, losing the reply to its acquisition command number `silentAt` (counted from 1).
class SilentOnceAt : public SimulatedChannel {
 public:
  SilentOnceAt(std::function<double()> clock, InstrumentModel& model, int& commands, int silentAt)
      : SimulatedChannel(clock, model), clock_(std::move(clock)), commands_(commands), silentAt_(silentAt) {}
  void write(std::span<const std::uint8_t> bytes) override {
    if (bytes.size() == 1 && (bytes[0] & 0xF8) == 0x40 && ++commands_ == silentAt_)
      model().setFault(FaultPlan::silence(1), clock_());
    SimulatedChannel::write(bytes);
  }

 private:
  std::function<double()> clock_;
  int& commands_;
  int silentAt_;
};

TEST_F(MeasureFaults, ATimeOutInAnAverageMeasuresOnlyTheSweepUnderWayAgain) {
  model_.setDevice(Device::resistor(220));
  // Point 10 of the third of four sweeps gets no reply.
  int commands = 0;
  channel_ = [&](int) -> std::unique_ptr<SerialChannel> {
    return std::make_unique<SilentOnceAt>([this] { return host_.t; }, model_, commands, 2 * 51 + 11);
  };
  std::vector<std::string> args = reflection_;
  args.insert(args.end(), {"--average", "4"});
  const Outcome run = measure(args);
  ASSERT_EQ(run.status, 0) << run.message;
  // Four whole sweeps, and the 11 points the lost sweep had come to.
  EXPECT_EQ(commands, 4 * 51 + 11);
  for (const double z : impedances("part.s1p")) EXPECT_NEAR(z, 220, 0.5);
}

TEST_F(MeasureFaults, NoAcquisitionComesBeforeTheGeneratorsSettledWhereverASweepStopsOrStartsAgain) {
  model_.setDevice(Device::resistor(220));
  // Sweeps back to back: the look-ahead runs on from one into the next.
  std::vector<std::string> three = reflection_;
  three.insert(three.end(), {"--sweeps", "3"});
  EXPECT_EQ(measure(three).status, 0);
  // A time-out, then a damaged reply: each time the port is reopened and
  // the sweep started anew.
  model_.setFault(FaultPlan::silence(1), host_.t);
  EXPECT_EQ(measure(reflection_).status, 0);
  model_.setFault(FaultPlan::garbage(1), host_.t);
  EXPECT_EQ(measure(reflection_).status, 0);

  // Ctrl+C at every moment of the first points: while the converter gets its
  // 1.5 s, during the start, an acquisition or the pacing after a strobe;
  // and the next run starts again on the same instrument.
  const auto interruptedAfter = [&](double seconds) {
    host_.ctrlCAt = host_.t + seconds;
    const Outcome run = measure(reflection_);
    host_.ctrlCAt = std::numeric_limits<double>::infinity();
    return run.status;
  };
  for (double at = 1.45; at < 1.85; at += 0.0023) EXPECT_EQ(interruptedAfter(at), 130) << at;
  // ... and while the port is reset after a time-out (from about 8.6 s on).
  for (double at = 8.5; at < 11.6; at += 0.1) {
    model_.setFault(FaultPlan::silence(1), host_.t);
    EXPECT_EQ(interruptedAfter(at), 130) << at;
  }
  model_.setFault(FaultPlan::none(), host_.t);
  EXPECT_EQ(measure(reflection_).status, 0);

  const std::vector<ModelNote> notes = model_.diagnostics();
  EXPECT_TRUE(notes.empty()) << notes.size() << " complaints, the first: " << notes.front().text;
}

}  // namespace
}  // namespace vna::testing
