// Command sequencing of the instrument: reset, frequency loading, strobe and
// the acquisition of one point. The link draws nothing and reads no input:
// while a reply comes in it reports its progress to the scan session, which
// watches the keyboard and the Stop button and paints what the user sees.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/serial_channel.h"

namespace vna {

inline constexpr int kMaxSamples = 896;

struct InstrumentLink {
  std::int16_t portNumber = 3;
  std::int32_t clockHz = 150000000;
  std::uint32_t tuningWord = 0;
  std::uint32_t offsetWord = 0;
  std::vector<std::uint8_t> rxBuffer;
  std::int32_t sampleCode = 6;
  std::array<std::int32_t, kMaxSamples> sampleR{};
  std::array<std::int32_t, kMaxSamples> sampleA{};
  bool timedOut = false;
};

// How the acquisition paces itself once the reply flows: after every further
// 50 bytes it sleeps `sleeps` times `sleepMs`, with a look at the Stop button
// before each sleep when `watchBeforeEachSleep` is set.
struct AcquisitionPacing {
  int sleeps = 1;
  int sleepMs = 30;
  bool watchBeforeEachSleep = false;
};

// Where an acquisition stands, for the one who watches it.
struct AcquisitionProgress {
  std::size_t received = 0;  // bytes of the reply so far
  int outstandingGroups = 0; // sample groups still to come
};

// What the link needs of the program while it waits for the instrument.
// Once the host has given up (watchKeys says false), its sleeps and waits
// may end at once.
class AcquisitionHost {
 public:
  virtual ~AcquisitionHost() = default;
  virtual double now() = 0;
  virtual void sleep(int ms) = 0;
  // Waits at most `seconds` for bytes from `wake` or for input.
  virtual void waitForActivity(double seconds, const WakeSource& wake) = 0;
  // One look at the keyboard; false abandons the acquisition at once (the
  // window is being closed).
  virtual bool watchKeys(const AcquisitionProgress& progress) = 0;
  // One look at the Stop button.
  virtual void watchButton(const AcquisitionProgress& progress) = 0;
  // Waits plainly until `time` (of now()), for pacing finer than a millisecond.
  virtual void pauseUntil(double time) = 0;
};

class Instrument {
 public:
  Instrument(InstrumentLink& link, SerialChannel& channel, AcquisitionHost& host)
      : link_(link), channel_(channel), host_(host) {}

  // Opens the port, waits 1.5 s and resets the instrument; false when the
  // port could not be opened (the instrument is reset all the same: bytes to
  // a closed port are dropped).
  bool configureAndOpen();
  void resetInstrument();
  void loadFrequency(double frequencyHz);
  void applyFrequency();
  // Samples of one point into sampleR/sampleA, or timedOut; false when the
  // host abandoned it early, with neither.
  bool acquirePoint(const AcquisitionPacing& pacing);
  bool reopen();

 private:
  void write(std::span<const std::uint8_t> bytes) { channel_.write(bytes); }
  void receiveWaiting();
  AcquisitionProgress progress() const;

  InstrumentLink& link_;
  SerialChannel& channel_;
  AcquisitionHost& host_;
};

}  // namespace vna
