// The instrument's wire protocol: pure encoding and decoding, no port access.
//
// Exchanges (57600 baud, 8N1, raw bytes, no line terminators):
//
//   reset       --> 80 84 80 82 80 82 80 82 80 82 80 82 80 82 80 82 80 82 80 84 80
//               (pause 10 ms)
//               --> A0
//               (pause 50 ms)
//   load word   --> C0
//               (pause 1 ms)
//               --> b0 .. b7   tuning word and offset word, nibbles interleaved, lowest
//                              first; 60 MHz with the 150 MHz clock (words 0x66666666 and
//                              0x66666932): 1C 1E 96 3C 3C 3C 3C 3C
//   apply       --> 84 80      the loaded words become active; the next acquisition
//                              must wait at least 37 ms after this strobe
//   acquire     --> 40  (code 6,     7 samples)  <-- 50 bytes
//               --> 41  (code 13,   14 samples)  <-- 99 bytes
//               --> 42  (code 27,   28 samples)  <-- 197 bytes
//               --> 43  (code 55,   56 samples)  <-- 393 bytes
//               --> 44  (code 111, 112 samples)  <-- 785 bytes
//               --> 45  (code 223, 224 samples)  <-- 1569 bytes
//               --> 46  (code 447, 448 samples)  <-- 3137 bytes
//               --> 47  (code 895, 896 samples)  <-- 6273 bytes
//               A point with code n is complete at 7n + 8 bytes. The first 7(n + 1)
//               bytes are n + 1 groups of 7, one per sample pair; the rest is dropped.
//
// A sample group: byte 0 is ignored; bytes 1..6 carry one nibble of each channel,
// most significant first, R in bits 7 5 3 1 and A in bits 6 4 2 0. Each channel thus
// gets a 24-bit two's-complement value, kept in bits 31..8 of an int32 (bits 7..0 zero).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vna {

// The reset bytes written before the 10 ms pause: 80 84 80, 8 x (82 80), 84 80.
std::vector<std::uint8_t> resetBytesBeforePause();
inline constexpr std::uint8_t kResetFinal = 0xA0;     // written after the 10 ms pause
inline constexpr std::uint8_t kLoadFrequency = 0xC0;  // followed, after 1 ms, by the 8 word bytes
inline constexpr std::array<std::uint8_t, 2> kApplyStrobe{0x84, 0x80};

// The second generator runs 716 steps (about 25 Hz at 150 MHz) above the first.
std::uint32_t offsetWordFor(std::uint32_t tuningWord);

// Byte k holds nibble k of both words: bit 2j is bit 4k+j of the tuning word,
// bit 2j+1 is bit 4k+j of the offset word.
std::array<std::uint8_t, 8> frequencyWordBytes(std::uint32_t tuningWord, std::uint32_t offsetWord);

// 0x40 + k for the k-th sample code; a code off the list gets 0x40.
std::uint8_t acquisitionCommand(int sampleCode);

// Bytes that complete a point: 7n + 8 (0 for a negative code).
std::size_t replyLength(int sampleCode);

// Decodes the first 7(n+1) bytes into n+1 samples per channel. Only the groups
// that fit in rx and in both spans are decoded; nothing else is touched.
void decodeSamples(std::span<const std::uint8_t> rx, int sampleCode,
                   std::span<std::int32_t> sampleR, std::span<std::int32_t> sampleA);

}  // namespace vna
