#include "simulator/protocol_parser.h"

#include <cstdio>

namespace vna {
namespace {

constexpr std::uint8_t kIdle = 0x80;
constexpr std::uint8_t kClockHigh = 0x82;
constexpr std::uint8_t kStrobeHigh = 0x84;
constexpr std::uint8_t kSerialMode = 0xA0;
constexpr std::uint8_t kLoad = 0xC0;
constexpr std::uint8_t kAcquire = 0x40;
constexpr int kLargestSampleCode = 7;

// What puts both generators into serial loading after power-up.
// clang-format off
constexpr std::array<std::uint8_t, 22> kResetSequence{
    kIdle, kStrobeHigh, kIdle,                                          // lines low, strobe pulse
    kClockHigh, kIdle, kClockHigh, kIdle, kClockHigh, kIdle, kClockHigh, kIdle,
    kClockHigh, kIdle, kClockHigh, kIdle, kClockHigh, kIdle, kClockHigh, kIdle,  // eight clock pulses
    kStrobeHigh, kIdle,                                                 // strobe pulse
    kSerialMode};
// clang-format on

std::string hexByte(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

ParsedItem complaint(std::string text) {
  ParsedItem item;
  item.kind = ParsedKind::Complaint;
  item.complaint = std::move(text);
  return item;
}

ParsedItem command(ParsedKind kind) {
  ParsedItem item;
  item.kind = kind;
  return item;
}

}  // namespace

FrequencyWords decodeFrequencyWords(std::span<const std::uint8_t, 8> data) {
  FrequencyWords words;
  for (unsigned k = 0; k < 8; ++k) {
    for (unsigned j = 0; j < 4; ++j) {
      const std::uint32_t bit = 4 * k + j;
      words.tuning |= static_cast<std::uint32_t>((data[k] >> (2 * j)) & 1u) << bit;
      words.offset |= static_cast<std::uint32_t>((data[k] >> (2 * j + 1)) & 1u) << bit;
    }
  }
  return words;
}

void ProtocolParser::clear() {
  state_ = State::Idle;
  matched_ = 0;
  dataCount_ = 0;
}

void ProtocolParser::feed(std::uint8_t byte, std::vector<ParsedItem>& out) {
  if (matched_ > 0) {
    if (byte == kResetSequence[matched_]) {
      if (++matched_ == kResetSequence.size()) {
        matched_ = 0;
        out.push_back(command(ParsedKind::Reset));
      }
      return;
    }
    breakOffReset(out);
  }
  // A lone 0x80 between commands may open the reset sequence: hold the
  // bytes until it is clear whether they are one.
  if (state_ == State::Idle && byte == kIdle) {
    matched_ = 1;
    return;
  }
  step(byte, out, false);
}

// The held bytes were not a reset after all: the firmware has acted on them
// one by one, so they count as the commands they spell.
void ProtocolParser::breakOffReset(std::vector<ParsedItem>& out) {
  const std::size_t held = matched_;
  matched_ = 0;
  if (held > 3) out.push_back(complaint("reset sequence broken off after " + std::to_string(held) + " of 22 bytes"));
  for (std::size_t i = 0; i < held; ++i) step(kResetSequence[i], out, held > 3);
}

void ProtocolParser::step(std::uint8_t byte, std::vector<ParsedItem>& out, bool quiet) {
  switch (state_) {
    case State::LoadData:
      data_[dataCount_++] = byte;
      if (dataCount_ == data_.size()) {
        ParsedItem item = command(ParsedKind::LoadWords);
        item.words = decodeFrequencyWords(data_);
        out.push_back(item);
        state_ = State::Idle;
      }
      return;
    case State::StrobeHigh:
    case State::ClockHigh: {
      const bool strobe = state_ == State::StrobeHigh;
      state_ = State::Idle;
      if (byte == kIdle) {
        if (strobe) out.push_back(command(ParsedKind::Strobe));
        if (!strobe && !quiet) out.push_back(complaint("clock pulse 0x82 0x80 outside the reset sequence"));
        return;
      }
      out.push_back(
          complaint(hexByte(strobe ? kStrobeHigh : kClockHigh) + " not followed by 0x80 but by " + hexByte(byte)));
      stepIdle(byte, out, quiet);
      return;
    }
    case State::Idle: stepIdle(byte, out, quiet); return;
  }
}

void ProtocolParser::stepIdle(std::uint8_t byte, std::vector<ParsedItem>& out, bool quiet) {
  if (byte == kIdle) return;  // lines low: nothing to do
  if (byte == kStrobeHigh) {
    state_ = State::StrobeHigh;
  } else if (byte == kClockHigh) {
    state_ = State::ClockHigh;
  } else if (byte == kLoad) {
    state_ = State::LoadData;
    dataCount_ = 0;
  } else if (byte >= kAcquire && byte <= kAcquire + kLargestSampleCode) {
    ParsedItem item = command(ParsedKind::Acquire);
    item.sampleCode = byte - kAcquire;
    out.push_back(item);
  } else if (byte == kSerialMode) {
    if (!quiet) out.push_back(complaint("0xA0 without the reset sequence before it"));
  } else {
    out.push_back(complaint("unexpected byte " + hexByte(byte)));
  }
}

}  // namespace vna
