#include "simulator/simulated_channel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/simulator/instrument_exchange.h"

namespace vna {
namespace {

// A program's view of the channel on a fake clock.
class ChannelTest : public ::testing::Test {
 protected:
  ChannelTest() : channel([this] { return now; }, model) {}

  void write(const std::vector<std::uint8_t>& bytes) { channel.write(bytes); }
  void startAt(double hz) {
    ASSERT_TRUE(channel.open());
    write(test::resetBytes());
    now += 0.06;
    write(test::loadFrequency(hz));
    write(test::kStrobe);
    now += 0.05;
  }
  std::vector<std::uint8_t> readAll() {
    std::vector<std::uint8_t> out(channel.bytesWaiting());
    out.resize(channel.read(out));
    return out;
  }
  // Waits on the fake clock as a program would: until the next byte is due
  // or the deadline, whichever comes first.
  std::vector<std::uint8_t> collect(std::size_t wanted, double deadline) {
    std::vector<std::uint8_t> got;
    while (got.size() < wanted && now < deadline) {
      now = std::min(deadline, std::max(now, channel.wakeSource().readyAt));
      const auto bytes = readAll();
      got.insert(got.end(), bytes.begin(), bytes.end());
    }
    return got;
  }

  double now = 100.0;
  InstrumentModel model;
  SimulatedChannel channel;
};

TEST_F(ChannelTest, ASevenSamplePointIsReadableAbout40MsAfterItsCommandAndNotBefore) {
  model.setDevice(Device::resistor(100.0));
  startAt(10e6);
  const double sent = now;
  write({0x40});
  EXPECT_EQ(channel.bytesWaiting(), 0u);
  // The first group leaves one sample period (5.71 ms) after the command
  // arrived, its 7 bytes a byte time (0.174 ms) apart.
  const double period = 4294967296.0 / (7.0 * 716.0 * 150e6);
  const double byteTime = 10.0 / 57600.0;
  EXPECT_NEAR(channel.wakeSource().readyAt - sent, byteTime + period + byteTime, 1e-9);
  EXPECT_EQ(channel.wakeSource().fd, -1);

  now = sent + 0.039;  // six samples taken
  EXPECT_EQ(channel.bytesWaiting(), 42u);
  now = sent + 0.0412;
  EXPECT_LT(channel.bytesWaiting(), 50u);
  now = sent + 0.042;
  EXPECT_EQ(channel.bytesWaiting(), 50u);
  EXPECT_LE(channel.wakeSource().readyAt, now);  // waiting bytes: no need to wait
  const auto bytes = readAll();
  EXPECT_EQ(channel.wakeSource().readyAt, std::numeric_limits<double>::infinity());
  EXPECT_NEAR(test::readPoint(test::decodeReply(bytes, 7)).ratio.real(), 0.5, 0.08);
}

TEST_F(ChannelTest, Bytes896SamplesTakeAbout5Seconds) {
  startAt(1e6);
  const double sent = now;
  write({0x47});
  // Half way, about half the bytes are there: they come as they are taken.
  now = sent + 2.56;
  EXPECT_NEAR(static_cast<double>(channel.bytesWaiting()), 3136.0, 14.0);
  const auto reply = collect(test::replyLength(7), sent + 7.0);
  EXPECT_EQ(reply.size(), 6273u);
  EXPECT_GT(now - sent, 5.1);
  EXPECT_LT(now - sent, 5.15);
}

TEST_F(ChannelTest, FaultsShortenSilenceGarbleAndStallReplies) {
  startAt(1e6);
  model.setFault(FaultPlan::shortReply(1), now);
  write({0x40});
  EXPECT_EQ(collect(50, now + 10.0).size(), 49u);  // 7(n+1): never complete
  write({0x40});
  EXPECT_EQ(collect(50, now + 10.0).size(), 50u);  // the fault wore off

  model.setFault(FaultPlan::silence(), now);
  write({0x40});
  EXPECT_TRUE(collect(50, now + 10.0).empty());
  write({0x41});
  EXPECT_TRUE(collect(99, now + 10.0).empty());

  model.setFault(FaultPlan::garbage(1), now);
  write({0x41});
  const auto garbage = collect(99, now + 10.0);
  ASSERT_EQ(garbage.size(), 99u);
  int sequenceMatches = 0;
  for (int s = 0; s < 14; ++s) sequenceMatches += garbage[static_cast<std::size_t>(7 * s)] == s;
  EXPECT_LT(sequenceMatches, 5);

  model.setFault(FaultPlan::extra(3, 1), now);
  write({0x40});
  const auto extra = collect(53, now + 10.0);
  ASSERT_EQ(extra.size(), 53u);
  EXPECT_EQ(extra[3], 0);  // the real reply starts after the extra bytes
  EXPECT_EQ(extra[10], 1);

  model.setFault(FaultPlan::stall(2.0, 1), now);
  const double sent = now;
  write({0x40});
  now = sent + 1.0;
  EXPECT_EQ(channel.bytesWaiting(), 21u);  // three of seven groups, then the pause
  now = sent + 2.0;
  EXPECT_EQ(channel.bytesWaiting(), 21u);
  now = sent + 2.05;
  EXPECT_EQ(channel.bytesWaiting(), 50u);
}

TEST_F(ChannelTest, AnUnpluggedInstrumentVanishesAndComesBackReset) {
  startAt(1e6);
  write({0x41});
  now += 0.02;
  model.setFault(FaultPlan::unplug(3.0), now);
  EXPECT_TRUE(channel.vanished());
  EXPECT_EQ(channel.bytesWaiting(), 0u);  // the reply in flight is gone
  EXPECT_EQ(channel.wakeSource().readyAt, std::numeric_limits<double>::infinity());
  channel.close();
  EXPECT_FALSE(channel.vanished());
  now += 1.0;
  EXPECT_FALSE(channel.open());  // still away
  now += 2.5;
  ASSERT_TRUE(channel.open());
  EXPECT_FALSE(channel.vanished());
  EXPECT_EQ(channel.openCount(), 2);
  // It was power-cycled: without a new reset it ignores the frequency.
  model.takeDiagnostics();
  write(test::loadFrequency(1e6));
  const auto notes = model.takeDiagnostics();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].text, "frequency words before the reset sequence: the generators ignore them");
  write(test::resetBytes());
  now += 0.06;
  write(test::loadFrequency(1e6));
  write(test::kStrobe);
  now += 0.05;
  write({0x40});
  EXPECT_EQ(collect(50, now + 1.0).size(), 50u);

  // Unplugged for good, until the fault is cleared.
  model.setFault(FaultPlan::unplug(), now);
  channel.close();
  now += 100.0;
  EXPECT_FALSE(channel.open());
  model.setFault(FaultPlan::none(), now);
  EXPECT_TRUE(channel.open());
}

TEST_F(ChannelTest, AClosedPortLosesWhatArrivesAndARefusedOneNeverOpens) {
  startAt(1e6);
  write({0x40});
  channel.close();
  write({0x40});  // dropped: the port is closed
  now += 1.0;
  ASSERT_TRUE(channel.open());
  EXPECT_EQ(channel.bytesWaiting(), 0u);
  EXPECT_EQ(model.acquisitions(), 1);

  SimulatedChannel absent([this] { return now; }, model, "/dev/ttyUSB7");
  absent.refuseOpen(true);
  EXPECT_FALSE(absent.open());
  EXPECT_FALSE(absent.isOpen());
  EXPECT_EQ(absent.name(), "/dev/ttyUSB7");
  absent.write(std::vector<std::uint8_t>{0x40});
  EXPECT_EQ(model.acquisitions(), 1);
}

}  // namespace
}  // namespace vna
