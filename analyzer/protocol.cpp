#include "analyzer/protocol.h"

#include <algorithm>

#include "measurement/sweep_plan.h"

namespace vna {

namespace {

constexpr std::size_t kGroupBytes = 7;

// Gathers bits 6, 4, 2, 0 of a byte into a nibble, bit 6 the most significant.
std::uint32_t evenBitsNibble(std::uint32_t byte) {
  return ((byte >> 3) & 0x8u) | ((byte >> 2) & 0x4u) | ((byte >> 1) & 0x2u) | (byte & 0x1u);
}

}  // namespace

std::vector<std::uint8_t> resetBytesBeforePause() {
  std::vector<std::uint8_t> bytes{0x80, 0x84, 0x80};
  for (int i = 0; i < 8; ++i) {
    bytes.push_back(0x82);
    bytes.push_back(0x80);
  }
  bytes.push_back(0x84);
  bytes.push_back(0x80);
  return bytes;
}

std::uint32_t offsetWordFor(std::uint32_t tuningWord) { return tuningWord + 716u; }

std::array<std::uint8_t, 8> frequencyWordBytes(std::uint32_t tuningWord, std::uint32_t offsetWord) {
  std::array<std::uint8_t, 8> bytes{};
  for (int k = 0; k < 8; ++k) {
    std::uint32_t byte = 0;
    for (int j = 0; j < 4; ++j) {
      byte |= ((tuningWord >> (4 * k + j)) & 1u) << (2 * j);
      byte |= ((offsetWord >> (4 * k + j)) & 1u) << (2 * j + 1);
    }
    bytes[k] = static_cast<std::uint8_t>(byte);
  }
  return bytes;
}

std::uint8_t acquisitionCommand(int sampleCode) {
  const int k = sampleCodeIndex(sampleCode);
  return static_cast<std::uint8_t>(0x40 + std::max(k, 0));
}

std::size_t replyLength(int sampleCode) {
  if (sampleCode < 0) return 0;
  return kGroupBytes * static_cast<std::size_t>(sampleCode) + 8;
}

void decodeSamples(std::span<const std::uint8_t> rx, int sampleCode,
                   std::span<std::int32_t> sampleR, std::span<std::int32_t> sampleA) {
  if (sampleCode < 0) return;
  const std::size_t groups = std::min({static_cast<std::size_t>(sampleCode) + 1,
                                       rx.size() / kGroupBytes, sampleR.size(), sampleA.size()});
  for (std::size_t s = 0; s < groups; ++s) {
    const auto group = rx.subspan(s * kGroupBytes, kGroupBytes);
    std::uint32_t r = 0, a = 0;
    for (std::size_t m = 1; m < kGroupBytes; ++m) {
      r = (r << 4) | evenBitsNibble(group[m] >> 1u);
      a = (a << 4) | evenBitsNibble(group[m]);
    }
    // Shifting on unsigned words and converting at the end keeps the sign bit
    // out of signed arithmetic; the conversion is modular, so bit 31 becomes the sign.
    sampleR[s] = static_cast<std::int32_t>(r << 8);
    sampleA[s] = static_cast<std::int32_t>(a << 8);
  }
}

}  // namespace vna
