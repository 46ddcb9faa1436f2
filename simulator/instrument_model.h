// The virtual instrument: it takes the program's bytes at the times they
// arrive, acts on them as the real firmware would (reset, frequency words,
// strobe, acquisition) and queues its reply bytes at the times the real one
// would send them: one sample every 1/(7 x 25.006 Hz) = 5.71 ms, each 7-byte
// group as soon as its sample is taken, never faster than 57600 baud allows.
// A 7-sample point is complete about 41 ms after its command, an 896-sample
// point after 5.1 s.
//
// It checks what it gets: unknown bytes, broken sequences, a wrong offset
// word, an acquisition too soon after a strobe or without a frequency are
// noted as diagnostics. Time is whatever clock the owner uses, in seconds;
// it must not run backwards.
#pragma once

#include <complex>
#include <cstdint>
#include <deque>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "simulator/device_models.h"
#include "simulator/fault_plan.h"
#include "simulator/measurement_path.h"
#include "simulator/noise_source.h"
#include "simulator/protocol_parser.h"
#include "simulator/transmit_line.h"

namespace vna {

struct InstrumentSettings {
  double clockHz = 150000000.0;    // the generators' reference clock
  double arGain = 1.02;            // input A's gain relative to input R
  double arPhaseDegrees = 1.5;     // input A's phase relative to input R
  double noiseCounts = 100.0;      // rms converter noise per sample, 24-bit counts
  double referenceLevelDbm = 0.0;  // level at input R at low frequencies
  bool compression = true;         // the detector compresses as the program expects
  PathErrors pathErrors = PathErrors::Realistic;
  // How much shorter than the 37 ms the generators need a strobe-to-
  // acquisition time may look before it is diagnosed. On the real clock the
  // pseudo-terminal and the scheduler blur both times by a few milliseconds;
  // on a virtual clock only the byte times of the wire remain (the
  // acquisition's byte arrives one byte time after the program wrote it, the
  // strobe's last byte two), and a test can ask for the full 37 ms.
  double settleSlackSeconds = 0.007;
};

// A diagnostic or log line with the instrument time it refers to.
struct ModelNote {
  double time = 0.0;
  std::string text;
};

class InstrumentModel {
 public:
  explicit InstrumentModel(InstrumentSettings settings = {}, std::uint64_t seed = 1);

  // What is connected, and how the instrument misbehaves. Both may change at
  // any time; a change applies from the next acquisition on. An Unplug
  // fault takes the port away at `now`; "none" brings it back.
  void setDevice(const Device& device) { device_ = device; }
  const Device& device() const { return device_; }
  void setFault(const FaultPlan& fault, double now);
  const FaultPlan& fault() const { return fault_; }
  InstrumentSettings& settings() { return settings_; }
  const InstrumentSettings& settings() const { return settings_; }

  // Bytes the program wrote at `now`; they reach the firmware one byte time
  // apart. Bytes to an unplugged instrument are lost.
  void receive(std::span<const std::uint8_t> bytes, double now);

  // The reply side: see TransmitLine.
  double nextByteTime() const { return line_.nextTime(); }
  std::size_t bytesReadyBy(double t) const { return line_.readyBy(t); }
  std::size_t takeBytes(double t, std::span<std::uint8_t> out) { return line_.take(t, out); }
  void discardBytesUntil(double t) { line_.discardUntil(t); }

  // The port: gone while unplugged. Every unplugging counts up the
  // generation, so a channel opened before it knows its device is gone.
  bool present(double now) const { return now < unpluggedAt_ || now >= pluggedAgainAt_; }
  int plugGeneration() const { return plugGeneration_; }

  // Diagnostics are always kept (the last 1000); the log of every exchange
  // only while logging is on.
  std::vector<ModelNote> diagnostics() const { return {notes_.begin(), notes_.end()}; }
  std::vector<ModelNote> takeDiagnostics();
  void setLogging(bool on) { logging_ = on; }
  bool logging() const { return logging_; }
  std::vector<ModelNote> takeLog();

  // The firmware's state.
  FrequencyWords activeWords() const { return gen_.active; }
  double activeFrequency() const;  // Hz of the applied tuning word
  int resets() const { return resets_; }
  int acquisitions() const { return acquisitions_; }

  // What the program should read as A/R at this frequency with the present
  // device and settings (path errors and input asymmetry included), and the
  // amplitude at input R (level units: 1 is 0 dBm).
  std::complex<double> ratioAt(double frequencyHz) const;
  double referenceAmplitudeAt(double frequencyHz) const;
  // Time between two samples: 1 / (7 x the generators' offset frequency).
  double samplePeriod() const;

 private:
  struct Generators {
    bool serialMode = false;  // the reset sequence has been seen
    bool wordsLoaded = false;
    bool applied = false;  // a strobe since the reset
    bool appliedBefore = false;
    FrequencyWords loaded, active, previous;
    double strobeTime = -std::numeric_limits<double>::infinity();
  };

  void handle(const ParsedItem& item, double t);
  void load(const FrequencyWords& words, double t);
  void strobe(double t);
  void acquire(int sampleCode, double t);
  void checkAcquisition(double t);
  std::vector<std::uint8_t> reply(int samples, double firstSample);
  void send(const std::vector<std::uint8_t>& bytes, double firstSample, int samples, double stallSeconds);
  void wearOffFault();
  void powerCycle();
  double frequencyOf(std::uint32_t tuningWord) const;
  double clockHz() const;
  void diagnose(double t, std::string text);
  void log(double t, std::string text);

  InstrumentSettings settings_;
  Device device_ = Device::open();
  FaultPlan fault_;
  NoiseSource noise_;
  ProtocolParser parser_;
  TransmitLine line_;
  Generators gen_;
  double inputFreeAt_ = -std::numeric_limits<double>::infinity();
  double lastTime_ = -std::numeric_limits<double>::infinity();
  double unpluggedAt_ = std::numeric_limits<double>::infinity();
  double pluggedAgainAt_ = std::numeric_limits<double>::infinity();
  int plugGeneration_ = 0;
  int resets_ = 0;
  int acquisitions_ = 0;
  bool logging_ = false;
  std::deque<ModelNote> notes_;
  std::deque<ModelNote> log_;
};

}  // namespace vna
