#include "simulator/instrument_model.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/numeric.h"
#include "tests/simulator/instrument_exchange.h"

namespace vna {
namespace {

// The model on a hand-turned clock, driven like the program drives it.
struct Bench {
  explicit Bench(InstrumentSettings settings = {}, std::uint64_t seed = 1) : model(settings, seed) {}

  void send(const std::vector<std::uint8_t>& bytes) { model.receive(bytes, t); }
  std::vector<std::uint8_t> takeAll(double until) {
    t = until;
    std::vector<std::uint8_t> out(model.bytesReadyBy(t));
    out.resize(model.takeBytes(t, out));
    return out;
  }
  void start(double hz) {
    send(test::resetBytes());
    t += 0.06;
    tune(hz);
  }
  void tune(double hz) {
    send(test::loadFrequency(hz));
    send(test::kStrobe);
    t += 0.05;
  }
  std::vector<std::uint8_t> acquire(int code) {
    send({static_cast<std::uint8_t>(0x40 + code)});
    return takeAll(t + 10.0);
  }
  test::Reading measure(int code = 0) {
    const auto bytes = acquire(code);
    EXPECT_EQ(bytes.size(), test::replyLength(code));
    return test::readPoint(test::decodeReply(bytes, 7 << code));
  }
  std::vector<std::string> diagnostics() {
    std::vector<std::string> texts;
    for (const auto& note : model.takeDiagnostics()) texts.push_back(note.text);
    return texts;
  }

  InstrumentModel model;
  double t = 0.0;
};

InstrumentSettings ideal() {
  InstrumentSettings s;
  s.arGain = 1.0;
  s.arPhaseDegrees = 0.0;
  s.pathErrors = PathErrors::None;
  return s;
}

InstrumentSettings quiet(InstrumentSettings s) {
  s.noiseCounts = 0.0;
  return s;
}

double degrees(std::complex<double> z) {
  return std::arg(z) * 180.0 / kPi;
}

TEST(InstrumentReply, HasSevenBytesPerSampleAndOneMoreAndCarriesTheSequenceAndChecksum) {
  Bench bench(ideal());
  bench.model.setDevice(Device::resistor(100.0));
  bench.start(1e6);
  for (int code : {0, 1, 4, 7}) {
    const auto bytes = bench.acquire(code);
    const int samples = 7 << code;
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(7 * (samples - 1) + 8)) << "code " << code;
    for (int s = 0; s < samples; ++s) EXPECT_EQ(bytes[static_cast<std::size_t>(7 * s)], s & 0xFF);
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    EXPECT_EQ(bytes.back(), sum & 0xFF);
    // Decoded by the test's own decoder, the samples say what the device is.
    const auto reading = test::readPoint(test::decodeReply(bytes, samples));
    EXPECT_NEAR(reading.ratio.real(), 0.5, 1e-3) << "code " << code;
    EXPECT_NEAR(reading.ratio.imag(), 0.0, 1e-3) << "code " << code;
  }
}

TEST(InstrumentReply, A100OhmResistorReadsAboutOneHalfWithTheInstrumentsOwnErrors) {
  Bench bench;  // default: bridge errors and A/R asymmetry on
  bench.model.setDevice(Device::resistor(100.0));
  for (double f : {100e3, 10e6, 90e6}) {
    bench.start(f);
    const auto reading = bench.measure(1);
    const auto expected = bench.model.ratioAt(bench.model.activeFrequency());
    EXPECT_NEAR(std::abs(reading.ratio - expected), 0.0, 1e-3) << f;
    // Within the error terms of 0.5, but visibly not 0.5: calibration matters.
    EXPECT_LT(std::abs(reading.ratio - 0.5), 0.08) << f;
    EXPECT_GT(std::abs(reading.ratio - 0.5), 0.01) << f;
  }
}

TEST(InstrumentReply, PhasesHaveTheSignsOfTheDevices) {
  Bench bench(ideal());
  // 100 pF at 10 MHz: Z = -j159.15, 100/(Z + 100) leads by 57.86 degrees.
  bench.model.setDevice(Device::capacitor(100e-12));
  bench.start(10e6);
  EXPECT_NEAR(degrees(bench.measure().ratio), 57.86, 0.05);
  // 10 ns of line at 10 MHz lags by 36 degrees.
  bench.model.setDevice(Device::delayLine(10e-9));
  EXPECT_NEAR(degrees(bench.measure().ratio), -36.0, 0.05);
  // An inductor lags: 1 uH at 10 MHz is +j62.8, the ratio turns by -32.1.
  bench.model.setDevice(Device::inductor(1e-6));
  EXPECT_NEAR(degrees(bench.measure().ratio), -32.13, 0.05);
}

TEST(InstrumentReply, ARatioOfPlus2PiOver7MakesAFollowROneSampleLate) {
  Bench bench(quiet(ideal()));
  // A "line" of minus one seventh of a period at 1 MHz leads by 2 pi / 7.
  bench.model.setDevice(Device::delayLine(-1.0 / 7.0e6));
  bench.start(1e6);
  const auto bytes = bench.acquire(1);
  const auto d = test::decodeReply(bytes, 14);
  for (std::size_t j = 1; j < d.a.size(); ++j) EXPECT_NEAR(d.a[j], d.r[j - 1], 4 * 256.0) << j;
  const auto reading = test::readPoint(d);
  EXPECT_NEAR(std::abs(reading.ratio), 1.0, 1e-4);
  EXPECT_NEAR(degrees(reading.ratio), 360.0 / 7.0, 0.01);
}

TEST(InstrumentReply, LevelsAreInDbmAndCompressionIsWhatTheProgramCorrects) {
  Bench bench(quiet(ideal()));
  bench.model.setDevice(Device::through());
  bench.start(1e6);
  auto reading = bench.measure();
  EXPECT_NEAR(20.0 * log10Of(reading.levelR), 0.0, 0.01);  // R at 0 dBm
  EXPECT_NEAR(20.0 * log10Of(reading.levelA), 0.0, 0.01);

  // A 6 dB amplifier drives A to +6 dBm: the detector compresses it by
  // about 0.2 %, and the program's correction must give 6 dB back exactly.
  bench.model.setDevice(Device::amplifier(6.0));
  const auto bytes = bench.acquire(0);
  const auto d = test::decodeReply(bytes, 7);
  reading = test::readPoint(d);
  EXPECT_NEAR(std::abs(reading.ratio), std::pow(10.0, 6.0 / 20.0), 2e-5);
  const double uncorrected = std::abs(test::correlate(d.a) / test::correlate(d.r));
  EXPECT_LT(uncorrected, std::pow(10.0, 6.0 / 20.0) * 0.999);

  // The generators fall by about 1 dB at 100 MHz.
  bench.tune(99e6);
  EXPECT_NEAR(20.0 * log10Of(bench.measure().levelR), -0.98, 0.02);
}

TEST(InstrumentReply, AnOverdrivenInputClipsAtFullScaleWithoutWrappingAround) {
  Bench bench(quiet(ideal()));
  bench.model.setDevice(Device::amplifier(20.0));  // +20 dBm, full scale is about +9
  bench.start(1e6);
  const auto d = test::decodeReply(bench.acquire(1), 14);
  const auto [low, high] = std::minmax_element(d.a.begin(), d.a.end());
  EXPECT_EQ(*high, 0x7FFFFF00);
  EXPECT_EQ(*low, static_cast<std::int32_t>(0x80000000u));
  // Clipping flattens the peaks but keeps the phase.
  EXPECT_NEAR(degrees(test::readPoint(d).ratio), 0.0, 0.5);
}

TEST(InstrumentModel, MeasuresAtTheLastAppliedFrequencyAndSettlesAfterAStrobe) {
  Bench bench(quiet(ideal()));
  bench.model.setDevice(Device::capacitor(100e-12));
  bench.start(1e6);
  bench.send(test::loadFrequency(30e6));  // loaded, not applied
  EXPECT_NEAR(bench.model.activeFrequency(), 1e6, 0.1);
  EXPECT_NEAR(std::abs(bench.measure().ratio - responseAt(Device::capacitor(100e-12), 1e6)), 0.0, 1e-4);

  // Straight after the strobe the first samples still show 1 MHz.
  bench.send(test::kStrobe);
  bench.t += 0.001;
  const auto early = bench.measure();
  const auto at30 = responseAt(Device::capacitor(100e-12), bench.model.activeFrequency());
  EXPECT_GT(std::abs(early.ratio - at30), 0.01);
  const auto late = bench.measure();  // 40 ms and more later
  EXPECT_NEAR(std::abs(late.ratio - at30), 0.0, 1e-4);
}

TEST(InstrumentModel, DiagnosesWhatAProgramGetsWrong) {
  Bench clean;
  clean.start(60e6);
  clean.measure(2);
  EXPECT_TRUE(clean.diagnostics().empty());
  EXPECT_EQ(clean.model.resets(), 1);
  EXPECT_EQ(clean.model.acquisitions(), 1);

  Bench b;
  b.send(test::loadFrequency(1e6));
  b.send(test::kStrobe);
  auto notes = b.diagnostics();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0], "frequency words before the reset sequence: the generators ignore them");
  EXPECT_EQ(notes[1], "strobe before the reset sequence: ignored");

  b.send(test::resetBytes());
  b.acquire(0);
  EXPECT_EQ(b.diagnostics(), std::vector<std::string>{
                                 "acquisition without a frequency applied since the reset: the generators are off"});

  const std::uint32_t tuning = test::tuningWordFor(60e6);
  b.send(test::loadBytes(tuning, tuning + 700));
  EXPECT_EQ(b.diagnostics(), std::vector<std::string>{"offset word 1717987618 is the tuning word 1717986918 + 700, "
                                                      "not + 716"});
  b.t += 0.01;
  b.send(test::kStrobe);
  b.t += 0.005;
  b.send({0x40, 0x40, 0x99});
  // Each byte arrives a byte time (0.17 ms) after the one before it.
  notes = b.diagnostics();
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0], "acquisition 4.8 ms after the strobe: the generators need 37 ms to settle");
  EXPECT_EQ(notes[1], "acquisition 5.0 ms after the strobe: the generators need 37 ms to settle");
  EXPECT_EQ(notes[2], "acquisition while the previous reply is still being sent");
  EXPECT_EQ(notes[3], "unexpected byte 0x99");
  // Both replies are sent, one after the other.
  EXPECT_EQ(b.takeAll(b.t + 10.0).size(), 2 * test::replyLength(0));
}

TEST(InstrumentModel, LogsEveryExchangeWhenAsked) {
  Bench bench;
  bench.model.setLogging(true);
  bench.start(60e6);
  bench.acquire(0);
  std::vector<std::string> lines;
  for (const auto& note : bench.model.takeLog()) lines.push_back(note.text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "reset");
  EXPECT_EQ(lines[1], "load 59999999.986 Hz (tuning word 1717986918, offset word 1717987634)");
  EXPECT_EQ(lines[2], "strobe: generators at 59999999.986 Hz");
  EXPECT_EQ(lines[3].rfind("acquire 7 samples at 59999999.986 Hz: 50 bytes until ", 0), 0u) << lines[3];
}

TEST(InstrumentModel, IsRepeatableForASeedAndNoisyAsConfigured) {
  const auto run = [](std::uint64_t seed, double noise) {
    InstrumentSettings s;
    s.noiseCounts = noise;
    Bench bench(s, seed);
    bench.model.setDevice(Device::capacitor(1e-9));
    bench.start(5e6);
    return bench.acquire(3);
  };
  EXPECT_EQ(run(7, 100.0), run(7, 100.0));
  EXPECT_NE(run(7, 100.0), run(8, 100.0));
  EXPECT_EQ(run(7, 0.0), run(8, 0.0));

  // Noise of 1e5 counts rms spreads the ratio of a 50 ohm load by about
  // 1e5 / 3e6 * sqrt(2 / 56): clearly, but it does not swamp it.
  InstrumentSettings loud = ideal();
  loud.noiseCounts = 1e5;
  Bench bench(loud);
  bench.model.setDevice(Device::resistor(50.0));
  bench.start(1e6);
  double spread = 0.0;
  for (int i = 0; i < 20; ++i) spread = std::max(spread, std::abs(bench.measure(3).ratio - 2.0 / 3.0));
  EXPECT_GT(spread, 1e-3);
  EXPECT_LT(spread, 0.05);
}

}  // namespace
}  // namespace vna
