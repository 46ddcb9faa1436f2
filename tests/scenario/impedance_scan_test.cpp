// The impedance analyzer measuring through the virtual instrument, on the
// headless backend's virtual clock.
#include <gtest/gtest.h>

#include <cmath>

#include "scenario_support.h"
#include "simulator/simulated_channel.h"

namespace vna {
namespace {

using testing::cellX;
using testing::cellY;
using testing::WorkDirectory;

constexpr int P = 101;

using testing::idealInstrument;

struct ScanScenario : ::testing::Test {
  explicit ScanScenario(InstrumentSettings settings = {}) : model(settings) {}

  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model;
  SimulatedChannel* channel = nullptr;
  ImpedanceAnalyzer program{screen,
                            [this](int) -> std::unique_ptr<SerialChannel> {
                              auto c = std::make_unique<SimulatedChannel>([this] { return backend.now(); }, model);
                              channel = c.get();
                              return c;
                            },
                            dir.settings()};

  void at(double t, std::function<void()> action) { backend.actionAt(t, std::move(action)); }
  std::string text(int row, int column, int length) const { return screen.textAt(row, column, length); }
};

struct IdealScan : ScanScenario {
  IdealScan() : ScanScenario(idealInstrument(20.0)) {}
};

TEST_F(IdealScan, AFullSweepOfA100OhmResistorReadsTheBridgeRatioAtEveryPoint) {
  model.setDevice(Device::resistor(100));
  bool completeAt = false;
  // 401 points of 40 ms each, 37 ms apart: the first sweep ends after about 35 s.
  at(45.0, [&] { completeAt = program.control().scanComplete(); });
  backend.keyAt(45.1, " ");  // stops after the point being measured
  backend.keyAt(46.0, "\x1b");
  program.run();
  ASSERT_TRUE(completeAt);
  const ScanRecord& r = program.record();
  for (int i = 0; i < 401; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    EXPECT_NEAR(r.rawRatio[i].real(), 100.0 / (100.0 + 100.0), 0.002);
    EXPECT_NEAR(r.rawRatio[i].imag(), 0.0, 0.002);
    EXPECT_NEAR(20 * r.levelR[i], 0.0, 0.5);  // the reference input sits at 0 dBm
    EXPECT_NEAR(r.trace1[i], 100.0, 1.0);      // |z| in ohms
    EXPECT_NEAR(r.trace2[i], 0.0, 0.5);        // arg z in degrees
  }
  EXPECT_NEAR(r.frequency[400], 60e6, 1e-3);
  EXPECT_TRUE(model.diagnostics().empty()) << model.diagnostics().front().text;
}

TEST_F(IdealScan, StoppingInTheMiddleAndStartingAgainMeasuresTheLastPointAgain) {
  model.setDevice(Device::resistor(50));
  int stoppedAt = -1, resumedAt = -1, acquisitionsWhenStopped = 0;
  bool scanningAfterStop = true;
  backend.keyAt(10.0, " ");
  at(11.0, [&] {
    scanningAfterStop = program.control().scanning();
    stoppedAt = program.control().resumePoint();
    acquisitionsWhenStopped = model.acquisitions();
  });
  backend.keyAt(12.0, " ");
  at(12.06, [&] { resumedAt = program.control().currentPoint(); });
  int acquisitionsAfter = 0;
  at(12.5, [&] { acquisitionsAfter = model.acquisitions(); });
  backend.keyAt(12.55, " ");
  backend.keyAt(13.0, "\x1b");
  program.run();
  EXPECT_FALSE(scanningAfterStop);
  EXPECT_GT(stoppedAt, 20);
  EXPECT_EQ(resumedAt, stoppedAt);  // the last completed point is measured again
  EXPECT_GT(acquisitionsAfter, acquisitionsWhenStopped);
  EXPECT_GT(program.control().resumePoint(), stoppedAt);
  // The start after the stop, too, gives the generators their 37 ms.
  EXPECT_TRUE(model.diagnostics().empty()) << model.diagnostics().front().text;
}

TEST_F(ScanScenario, ASilentInstrumentTimesOutAndThePortIsOpenedAgain) {
  model.setFault(FaultPlan::silence(), 0.0);
  std::string error31, error32, retry31, retry32, retry33;
  // Start-up reaches the first acquisition at about 4.2 s; 7 s later the
  // time-out, 1.2 s more the reopen, 1.6 s more the advice.
  at(11.5, [&] {
    error31 = text(31, P + 2, 23);
    error32 = text(32, P + 2, 23);
  });
  at(15.0, [&] {
    retry31 = text(31, P + 2, 23);
    retry32 = text(32, P + 2, 23);
    retry33 = text(33, P + 2, 23);
  });
  // When the port opened, the instrument was reset, asked for its first
  // point and the time-out was shown: the first look, every 5 ms, that saw it.
  double opened = -1, reset = -1, asked = -1, timedOut = -1;
  for (int step = 0; step < 2600; ++step) {
    at(0.005 * step, [&] {
      const double now = backend.now();
      if (opened < 0 && channel && channel->openCount() > 0) opened = now;
      if (reset < 0 && model.resets() > 0) reset = now;
      if (asked < 0 && model.acquisitions() > 0) asked = now;
      if (timedOut < 0 && text(31, P + 2, 23) == " Error: USB timeout    ") timedOut = now;
    });
  }
  backend.keyAt(15.5, "\x1b");
  program.run();
  // The converter is given 1.5 s after opening before the reset, and the
  // instrument 7 s for its reply.
  EXPECT_NEAR(reset - opened, 1.5, 0.011);
  EXPECT_NEAR(timedOut - asked, 7.0, 0.011);
  EXPECT_EQ(error31, " Error: USB timeout    ");
  EXPECT_EQ(error32, " USB Reset : wait (3s) ");
  EXPECT_EQ(retry31, " Try to scan again     ");
  EXPECT_EQ(retry32, " if it fails :         ");
  EXPECT_EQ(retry33, " try to restart the PC ");
  EXPECT_EQ(channel->openCount(), 2);
  EXPECT_FALSE(program.control().scanning());
}

TEST_F(ScanScenario, AReplyOneByteShortIsATimeOut) {
  model.setFault(FaultPlan::shortReply(), 0.0);
  std::size_t received = 0;
  at(11.0, [&] { received = program.link().rxBuffer.size(); });
  std::string error31;
  at(11.5, [&] { error31 = text(31, P + 2, 23); });
  backend.keyAt(15.5, "\x1b");
  program.run();
  EXPECT_EQ(received, 7u * 6 + 7);  // 7(n + 1) bytes: one short of complete
  EXPECT_EQ(error31, " Error: USB timeout    ");
  EXPECT_EQ(program.control().resumePoint(), 0);
}

TEST_F(ScanScenario, GarbageAndOversizedRepliesEndInDecodedValuesNotInACrash) {
  // Three replies of random bytes, later three with 5000 bytes too many.
  model.setFault(FaultPlan::garbage(3), 0.0);
  at(10.0, [&] { model.setFault(FaultPlan::extra(5000, 3), backend.now()); });
  int acquisitionsBefore = 0;
  bool scanning = false;
  at(20.0, [&] {
    acquisitionsBefore = model.acquisitions();
    scanning = program.control().scanning();
  });
  backend.keyAt(20.1, " ");
  backend.keyAt(21.0, "\x1b");
  program.run();
  // Complete replies are decoded whatever they hold; the scan went on.
  EXPECT_TRUE(scanning);
  EXPECT_GT(acquisitionsBefore, 150);
  EXPECT_LE(program.link().rxBuffer.capacity(), 16384u);
}

TEST_F(ScanScenario, SpaceDuringALongPointAsksToStopAndSaysWait) {
  model.setDevice(Device::resistor(100));
  backend.keyAt(5.0, " ");  // stop the scan that starts by itself
  // Right click on ms/meas: 40 ms -> 5120 ms per measurement.
  backend.mouseAt(6.0, cellX(P + 14), cellY(22));
  backend.clickAt(6.1, cellX(P + 14), cellY(22), 2);
  backend.keyAt(7.0, " ");   // start
  backend.keyAt(8.0, " ");   // about 0.9 s into the first 5.1 s point
  std::string wait;
  bool stopRequested = false, scanningDuringPoint = false;
  at(8.1, [&] {
    wait = text(31, P + 2, 16);
    stopRequested = program.control().stopRequested();
    scanningDuringPoint = program.control().scanning();
  });
  bool scanningAfter = true;
  at(14.0, [&] { scanningAfter = program.control().scanning(); });
  backend.keyAt(14.5, "\x1b");
  program.run();
  EXPECT_EQ(program.plan().sampleCode, 895);
  EXPECT_EQ(wait, "      Wait      ");
  EXPECT_TRUE(stopRequested);
  EXPECT_TRUE(scanningDuringPoint);
  EXPECT_FALSE(scanningAfter);  // the point was completed, then the scan stopped
}

// At 320 ms a point (sample code 55) the instrument sends 56 groups of 7
// bytes, and the program first looks at them 30 ms after asking, when 5 have
// come: a space then leaves 55 - 5 = 50 outstanding, and "Wait" needs more
// than 50. The stop is taken all the same.
TEST_F(ScanScenario, WaitIsNotShownWithFiftyGroupsOutstanding) {
  model.setDevice(Device::resistor(100));
  backend.keyAt(5.0, " ");  // stop the scan that starts by itself
  backend.mouseAt(6.0, cellX(P + 14), cellY(22));
  for (int click = 0; click < 3; ++click) backend.clickAt(6.1 + 0.2 * click, cellX(P + 14), cellY(22));  // 40 -> 320 ms
  backend.keyAt(7.0, " ");  // start
  std::string note;
  std::size_t received = 0;
  bool pressed = false, stopRequested = false, scanningAfter = true;
  // Looks at the bytes of the point under way every half millisecond and
  // presses the space when they hold 5 groups; the note is read 2 ms later.
  std::function<void()> watch = [&] {
    if (program.control().scanning() && program.link().sampleCode == 55 && program.link().rxBuffer.size() / 7 == 5) {
      pressed = true;
      backend.keyAt(backend.now(), " ");
      at(backend.now() + 0.002, [&] {
        note = text(31, P + 2, 16);
        received = program.link().rxBuffer.size();
        stopRequested = program.control().stopRequested();
      });
      return;
    }
    if (backend.now() < 9.0) at(backend.now() + 0.0005, watch);
  };
  at(7.0, watch);
  at(9.5, [&] { scanningAfter = program.control().scanning(); });
  backend.keyAt(10.0, "\x1b");
  program.run();
  ASSERT_TRUE(pressed);
  EXPECT_EQ(received / 7, 5u);
  EXPECT_TRUE(stopRequested);
  EXPECT_EQ(note, std::string(16, ' '));
  EXPECT_FALSE(scanningAfter);
}

}  // namespace
}  // namespace vna

namespace vna {
namespace {

TEST_F(ScanScenario, AnUnpluggedConverterEndsThePointAtOnceLikeATimeOut) {
  model.setDevice(Device::resistor(100));
  at(8.0, [&] { model.setFault(FaultPlan::unplug(), backend.now()); });
  std::string error31, reopen32;
  at(8.3, [&] { error31 = text(31, P + 2, 23); });  // not 7 s later: at once
  at(10.0, [&] { reopen32 = text(32, P + 2, 23); });
  backend.keyAt(10.5, "\x1b");
  program.run();
  EXPECT_EQ(error31, " Error: USB timeout    ");
  EXPECT_EQ(reopen32, " could not be opended  ");  // still away when the port is opened again
  EXPECT_FALSE(program.control().scanning());
}

struct DeadReference : ScanScenario {
  static InstrumentSettings silentReference() {
    InstrumentSettings s = idealInstrument(20.0);
    s.noiseCounts = 0;
    s.referenceLevelDbm = -400;  // below one count: every sample of both inputs is 0
    return s;
  }
  DeadReference() : ScanScenario(silentReference()) {}
};

// With nothing at the reference input the ratio is 0/0. The point is kept as
// not-a-number: the readout says "overscale", the trace lies on the plot's
// edge, the level bars show their floor, and the scan goes on.
TEST_F(DeadReference, AZeroReferenceReadsOverscaleAndTheScanGoesOn) {
  std::string readout;
  at(20.0, [&] { readout = text(45, 29, 14); });
  backend.keyAt(20.1, " ");
  backend.keyAt(21.0, "\x1b");
  program.run();
  const ScanRecord& r = program.record();
  EXPECT_TRUE(std::isnan(r.rawRatio[50].real()));
  EXPECT_TRUE(std::isnan(r.trace1[50]));
  EXPECT_EQ(readout, "  overscale   ");
  EXPECT_GT(program.control().resumePoint(), 100);
}

}  // namespace
}  // namespace vna
