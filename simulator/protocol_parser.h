// The instrument's side of the serial protocol: what its firmware makes of
// the bytes the program sends. Every byte either belongs to a command or is
// complained about; the parser keeps its state between calls, so a byte's
// meaning depends on what came before (a data byte 0x84 is not a strobe).
//
//   --> 80 84 80 (82 80)x8 84 80 ... A0   reset: serial mode on, then A0
//   --> C0 b0 b1 b2 b3 b4 b5 b6 b7         load both frequency words
//   --> 84 80                              strobe: the loaded words go live
//   --> 40+k                               acquire 7*2^k samples (k = 0..7)
//   <-- 7*2^k groups of 7 bytes, then one more byte
//
// In the 8 data bytes, byte k bit 2j is bit 4k+j of the tuning word and bit
// 2j+1 is bit 4k+j of the offset word: b0 holds the lowest nibbles.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vna {

struct FrequencyWords {
  std::uint32_t tuning = 0;  // measuring generator
  std::uint32_t offset = 0;  // second generator, normally tuning + 716

  bool operator==(const FrequencyWords&) const = default;
};

FrequencyWords decodeFrequencyWords(std::span<const std::uint8_t, 8> data);

enum class ParsedKind { Reset, LoadWords, Strobe, Acquire, Complaint };

struct ParsedItem {
  ParsedKind kind = ParsedKind::Complaint;
  FrequencyWords words;   // LoadWords
  int sampleCode = 0;     // Acquire: k, for 7 * 2^k samples
  std::string complaint;  // Complaint
};

class ProtocolParser {
 public:
  // Takes one byte; appends the commands it completes and any complaint.
  void feed(std::uint8_t byte, std::vector<ParsedItem>& out);
  // Power cycle: forgets any half-received command.
  void clear();
  // True when no command is half received.
  bool idle() const { return state_ == State::Idle && matched_ == 0; }

 private:
  enum class State { Idle, StrobeHigh, ClockHigh, LoadData };

  void step(std::uint8_t byte, std::vector<ParsedItem>& out, bool quiet);
  void stepIdle(std::uint8_t byte, std::vector<ParsedItem>& out, bool quiet);
  void breakOffReset(std::vector<ParsedItem>& out);

  State state_ = State::Idle;
  std::size_t matched_ = 0;  // bytes of the reset sequence seen so far
  std::array<std::uint8_t, 8> data_{};
  std::size_t dataCount_ = 0;
};

}  // namespace vna
