#include "analyzer/instrument_link.h"

#include <algorithm>

#include "analyzer/protocol.h"
#include "analyzer/sweep_plan.h"
#include "display/layout.h"

namespace vna {
namespace {

constexpr double kReplyTimeout = 7.0;  // seconds; covers the longest point (896 samples)
constexpr int kStopX0 = kPanelColumn * 8 + 8, kStopX1 = kPanelColumn * 8 + 136;
constexpr std::size_t kReadChunk = 4096;

}  // namespace

bool Instrument::configureAndOpen() {
  const bool opened = channel_.open();
  if (!opened) {
    screen_.color(0, colour::kText);
    screen_.printAt(10, 20, "USB port could not be opended");
    screen_.color(colour::kText, 0);
  }
  screen_.sleep(1500);
  resetInstrument();
  return opened;
}

void Instrument::resetInstrument() {
  write(resetBytesBeforePause());
  screen_.sleep(10);
  const std::uint8_t final = kResetFinal;
  write({&final, 1});
  screen_.sleep(50);
}

void Instrument::loadFrequency(double frequencyHz) {
  link_.tuningWord = tuningWordFor(frequencyHz, link_.clockHz);
  link_.offsetWord = offsetWordFor(link_.tuningWord);
  const std::uint8_t command = kLoadFrequency;
  write({&command, 1});
  screen_.sleep(1);
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

void Instrument::warnIfLong(std::size_t received) {
  // Warn when more than 50 sample groups are still to come.
  if (link_.sampleCode - static_cast<long>(received) / 7 > 50) {
    screen_.color(0, colour::kTrace1);
    screen_.printAt(31, kPanelColumn + 2, "      Wait      ");
    screen_.color(colour::kText, 0);
  }
}

void Instrument::watchStopButton(const AcquireContext& context) {
  const MouseState mouse = screen_.readMouse();
  context.latch.release(mouse.buttons);
  const bool over = mouse.x > kStopX0 && mouse.x < kStopX1 && mouse.y > 559 && mouse.y < 576;
  if (over && !context.stopHighlighted) {
    context.stopHighlighted = true;
    screen_.color(0, colour::kText);
    screen_.printAt(36, kPanelColumn + 2, context.stopLabel);
    screen_.color(colour::kText, 0);
  } else if (!over && context.stopHighlighted) {
    context.stopHighlighted = false;
    screen_.color(colour::kText, 0);
    screen_.printAt(36, kPanelColumn + 2, context.stopLabel);
    screen_.box(kStopX0, 559, kStopX1, 576, colour::kTrace1);
  }
  if (over && context.latch.take(mouse.buttons & 1) == Click::Left) {
    context.stopRequested = true;
    warnIfLong(link_.rxBuffer.size());
  }
}

void Instrument::acquirePoint(const AcquireContext& context) {
  link_.timedOut = false;
  const double deadline = screen_.timer() + kReplyTimeout;
  const int k = std::max(0, sampleCodeIndex(link_.sampleCode));
  const std::uint8_t command = acquisitionCommand(link_.sampleCode);
  // Bytes still waiting belong to an earlier, oversized reply: taken for
  // this point's samples they would shift every group.
  receiveWaiting();
  link_.rxBuffer.clear();
  write({&command, 1});
  screen_.sleep(30);
  const std::size_t complete = replyLength(link_.sampleCode);
  const int samples = 7 << k;
  long pacing = 1;
  while (true) {
    if (link_.rxBuffer.size() >= complete) {
      decodeSamples(link_.rxBuffer, link_.sampleCode, std::span(link_.sampleR).first(static_cast<std::size_t>(samples)),
                    std::span(link_.sampleA).first(static_cast<std::size_t>(samples)));
      return;
    }
    // Let about 50 more bytes arrive between polls instead of spinning.
    if (static_cast<long>(link_.rxBuffer.size()) > 50 * pacing) {
      screen_.sleep(30);
      ++pacing;
    }
    const std::string key = screen_.readKey();
    // Keys read here are dropped, Esc too; but a closed window must not
    // wait for the instrument's reply (or seven seconds for none).
    if (screen_.closeRequested()) return;
    if (key == " " && context.spaceStops) {
      context.stopRequested = true;
      context.stopHighlighted = false;
      warnIfLong(link_.rxBuffer.size());
    }  // any other key pressed during an acquisition is dropped
    watchStopButton(context);
    // Instead of yielding in a loop, wait for the port or the window to have
    // something for us, at most until the time-out.
    const double remaining = deadline - screen_.timer();
    if (channel_.bytesWaiting() == 0 && remaining > 0)
      screen_.waitForActivity(std::min(remaining, 0.05), channel_.wakeSource());
    receiveWaiting();
    if (channel_.vanished() || screen_.timer() >= deadline) {
      link_.timedOut = true;
      return;
    }
  }
}

}  // namespace vna
