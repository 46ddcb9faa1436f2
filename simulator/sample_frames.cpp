#include "simulator/sample_frames.h"

#include <algorithm>

#include "platform/numeric.h"

namespace vna {
namespace {

constexpr std::int64_t kLargestCount = (1 << 23) - 1;
constexpr std::int64_t kSmallestCount = -(1 << 23);

// Four bits of a word, taken from bit `top` downwards.
unsigned nibble(std::int32_t word, int top) {
  return (static_cast<std::uint32_t>(word) >> (top - 3)) & 0x0Fu;
}

}  // namespace

std::int32_t sampleWord(double counts) {
  const std::int64_t clipped = std::clamp(roundHalfEven(counts), kSmallestCount, kLargestCount);
  return static_cast<std::int32_t>(clipped * 256);
}

std::array<std::uint8_t, 7> encodeSampleGroup(const SamplePair& sample, int sequence) {
  std::array<std::uint8_t, 7> group{};
  group[0] = static_cast<std::uint8_t>(sequence & 0xFF);
  for (int m = 1; m <= 6; ++m) {
    const unsigned r = nibble(sample.r, 35 - 4 * m);
    const unsigned a = nibble(sample.a, 35 - 4 * m);
    unsigned byte = 0;
    for (int i = 0; i < 4; ++i) {
      // Bit 3-i of the nibble goes to bit 7-2i (R) and 6-2i (A).
      byte |= ((r >> (3 - i)) & 1u) << (7 - 2 * i);
      byte |= ((a >> (3 - i)) & 1u) << (6 - 2 * i);
    }
    group[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(byte);
  }
  return group;
}

std::vector<std::uint8_t> encodeReply(std::span<const SamplePair> samples) {
  std::vector<std::uint8_t> reply;
  reply.reserve(samples.size() * 7 + 1);
  unsigned sum = 0;
  for (std::size_t s = 0; s < samples.size(); ++s) {
    for (std::uint8_t byte : encodeSampleGroup(samples[s], static_cast<int>(s))) {
      reply.push_back(byte);
      sum += byte;
    }
  }
  reply.push_back(static_cast<std::uint8_t>(sum & 0xFFu));
  return reply;
}

}  // namespace vna
