// Command sequencing of the instrument: reset, frequency loading, strobe and
// the acquisition of one point while the user may ask to stop.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "display/click_latch.h"
#include "platform/screen.h"
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

// What the acquisition needs to know of the program while it waits.
struct AcquireContext {
  bool spaceStops = true;        // false while a calibration or normalization is asked or measured
  std::string_view stopLabel;    // " Stop           " or " Abort calibrate" / " Abort normalize"
  bool& stopRequested;
  bool& stopHighlighted;         // the start/stop button is shown highlighted
  ClickLatch& latch;
};

class Instrument {
 public:
  Instrument(InstrumentLink& link, SerialChannel& channel, Screen& screen)
      : link_(link), channel_(channel), screen_(screen) {}

  // Opens the port (printing the failure message), waits 1.5 s and resets the instrument.
  bool configureAndOpen();
  void resetInstrument();
  void loadFrequency(double frequencyHz);
  void applyFrequency();
  // Samples of one point into sampleR/sampleA, or timedOut; returns early,
  // with neither, when the window is being closed.
  void acquirePoint(const AcquireContext& context);
  bool reopen();

 private:
  void write(std::span<const std::uint8_t> bytes) { channel_.write(bytes); }
  void receiveWaiting();
  void watchStopButton(const AcquireContext& context);
  void warnIfLong(std::size_t received);

  InstrumentLink& link_;
  SerialChannel& channel_;
  Screen& screen_;
};

}  // namespace vna
