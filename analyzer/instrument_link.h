// Command sequencing of the instrument: reset, frequency loading, strobe and
// the acquisition of one point. The link draws nothing and reads no input:
// while a reply comes in it tells its host how far it is and asks whether to
// go on; what the host looks at to answer (keys, a Stop button, a signal)
// and what it shows of it is the host's affair.
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
// 50 bytes it sleeps `sleeps` times `sleepMs`, asking the host whether to go
// on before each sleep when `askBeforeEachSleep` is set.
struct AcquisitionPacing {
  int sleeps = 1;
  int sleepMs = 30;
  bool askBeforeEachSleep = false;
};

// Where an acquisition stands, for the one who watches it.
struct AcquisitionProgress {
  std::size_t received = 0;  // bytes of the reply so far
  int outstandingGroups = 0; // sample groups still to come
};

// What the link needs of the program while it waits for the instrument.
// Once the host has given up (keepGoing says false), its sleeps and waits
// may end at once.
class AcquisitionHost {
 public:
  virtual ~AcquisitionHost() = default;
  virtual double now() = 0;
  virtual void sleep(int ms) = 0;
  // Waits at most `seconds` for bytes from `wake` or for input.
  virtual void waitForActivity(double seconds, const WakeSource& wake) = 0;
  // Asked again and again while a reply comes in: false abandons the
  // acquisition at once. A wish to stop after this point is the host's to
  // keep; the link goes on.
  virtual bool keepGoing(const AcquisitionProgress& progress) = 0;
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
