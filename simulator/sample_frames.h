// How the instrument puts its samples on the wire. Each sample pair goes out
// as a group of 7 bytes as soon as it is taken:
//   byte 0     the group's sequence number (low 8 bits), so a trace shows
//              at a glance where a byte went missing
//   bytes 1-6  four bits of each channel, most significant first: in byte m
//              bits 7,5,3,1 are bits 35-4m..32-4m of R, bits 6,4,2,0 the
//              same bits of A
// After the last group one more byte follows: the sum of all reply bytes
// before it, modulo 256.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vna {

// One sample of each channel as the instrument's 24-bit converter gives it,
// placed in bits 31..8 of a 32-bit word (bits 7..0 zero).
struct SamplePair {
  std::int32_t r = 0;
  std::int32_t a = 0;
};

// A converter reading (24-bit counts, rounded and clipped to the converter's
// range) as the 32-bit word the reply carries.
std::int32_t sampleWord(double counts);

std::array<std::uint8_t, 7> encodeSampleGroup(const SamplePair& sample, int sequence);

// The whole reply to an acquisition: 7 bytes per sample and the checksum.
std::vector<std::uint8_t> encodeReply(std::span<const SamplePair> samples);

}  // namespace vna
