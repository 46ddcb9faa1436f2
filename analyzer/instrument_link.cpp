#include "analyzer/instrument_link.h"

#include <algorithm>

#include "analyzer/protocol.h"
#include "measurement/sweep_plan.h"

namespace vna {
namespace {

constexpr double kReplyTimeout = 7.0;  // seconds; covers the longest point (896 samples)
constexpr std::size_t kReadChunk = 4096;

}  // namespace

bool Instrument::configureAndOpen() {
  const bool opened = channel_.open();
  host_.sleep(1500);
  resetInstrument();
  return opened;
}

void Instrument::resetInstrument() {
  write(resetBytesBeforePause());
  host_.sleep(10);
  const std::uint8_t final = kResetFinal;
  write({&final, 1});
  host_.sleep(50);
}

void Instrument::loadFrequency(double frequencyHz) {
  link_.tuningWord = tuningWordFor(frequencyHz, link_.clockHz);
  link_.offsetWord = offsetWordFor(link_.tuningWord);
  const std::uint8_t command = kLoadFrequency;
  write({&command, 1});
  host_.sleep(1);
  const auto words = frequencyWordBytes(link_.tuningWord, link_.offsetWord);
  write(words);
}

void Instrument::applyFrequency() { write(kApplyStrobe); }

// An instrument that went away with its converter comes back powered up
// anew and answers nothing until it has been reset; the reset costs 60 ms of
// the 1.6 s the user waits anyway.
bool Instrument::reopen() {
  channel_.close();
  if (!channel_.open()) return false;
  resetInstrument();
  return true;
}

void Instrument::receiveWaiting() {
  std::size_t waiting = channel_.bytesWaiting();
  while (waiting > 0) {
    std::array<std::uint8_t, kReadChunk> chunk;
    const std::size_t got = channel_.read(std::span(chunk).first(std::min(waiting, chunk.size())));
    if (got == 0) break;
    link_.rxBuffer.insert(link_.rxBuffer.end(), chunk.begin(), chunk.begin() + static_cast<long>(got));
    waiting -= std::min(waiting, got);
  }
}

AcquisitionProgress Instrument::progress() const {
  const auto received = link_.rxBuffer.size();
  return {received, link_.sampleCode - static_cast<int>(received / 7)};
}

bool Instrument::acquirePoint(const AcquisitionPacing& style) {
  link_.timedOut = false;
  const double deadline = host_.now() + kReplyTimeout;
  const int k = std::max(0, sampleCodeIndex(link_.sampleCode));
  const std::uint8_t command = acquisitionCommand(link_.sampleCode);
  // Bytes still waiting belong to an earlier, oversized reply: taken for
  // this point's samples they would shift every group.
  receiveWaiting();
  link_.rxBuffer.clear();
  write({&command, 1});
  host_.sleep(30);
  const std::size_t complete = replyLength(link_.sampleCode);
  const int samples = 7 << k;
  long pacing = 1;
  while (true) {
    if (link_.rxBuffer.size() >= complete) {
      decodeSamples(link_.rxBuffer, link_.sampleCode, std::span(link_.sampleR).first(static_cast<std::size_t>(samples)),
                    std::span(link_.sampleA).first(static_cast<std::size_t>(samples)));
      return true;
    }
    // Let about 50 more bytes arrive between polls instead of spinning.
    if (static_cast<long>(link_.rxBuffer.size()) > 50 * pacing) {
      for (int i = 0; i < style.sleeps; ++i) {
        if (style.askBeforeEachSleep && !host_.keepGoing(progress())) return false;
        host_.sleep(style.sleepMs);
      }
      ++pacing;
    }
    if (!host_.keepGoing(progress())) return false;
    // Instead of yielding in a loop, wait for the port or the window to have
    // something for us, at most until the time-out.
    const double remaining = deadline - host_.now();
    if (channel_.bytesWaiting() == 0 && remaining > 0)
      host_.waitForActivity(std::min(remaining, 0.05), channel_.wakeSource());
    receiveWaiting();
    if (channel_.vanished() || host_.now() >= deadline) {
      link_.timedOut = true;
      return true;
    }
  }
}

}  // namespace vna
