#include "analyzer/protocol.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "measurement/sweep_plan.h"

namespace vna {
namespace {

// Spreads the four bits of a nibble onto the even bit positions 0, 2, 4, 6.
std::uint8_t spreadNibble(std::uint32_t nibble) {
  return static_cast<std::uint8_t>(((nibble & 8) << 3) | ((nibble & 4) << 2) |
                                   ((nibble & 2) << 1) | (nibble & 1));
}

// Instrument-side encoder of one sample group, built nibble by nibble:
// R on the odd bits, A on the even bits, most significant nibble in byte 1.
void appendGroup(std::vector<std::uint8_t>& rx, std::uint8_t first, std::int32_t r24,
                 std::int32_t a24) {
  rx.push_back(first);
  for (int shift = 20; shift >= 0; shift -= 4) {
    const auto r = (static_cast<std::uint32_t>(r24) >> shift) & 0xF;
    const auto a = (static_cast<std::uint32_t>(a24) >> shift) & 0xF;
    rx.push_back(static_cast<std::uint8_t>((spreadNibble(r) << 1) | spreadNibble(a)));
  }
}

TEST(ProtocolCommands, AcquisitionCommandAndReplyLengthFollowTheSampleCode) {
  const std::vector<int> codes{6, 13, 27, 55, 111, 223, 447, 895};
  const std::vector<std::size_t> lengths{50, 99, 197, 393, 785, 1569, 3137, 6273};
  for (std::size_t k = 0; k < codes.size(); ++k) {
    EXPECT_EQ(acquisitionCommand(codes[k]), static_cast<std::uint8_t>(0x40 + k)) << codes[k];
    EXPECT_EQ(replyLength(codes[k]), lengths[k]) << codes[k];
  }
  EXPECT_EQ(acquisitionCommand(7), 0x40);  // not a code: the shortest acquisition
  EXPECT_EQ(replyLength(-3), 0u);
}

TEST(FrequencyWords, InterleaveTheNibblesOfBothWordsLowestFirst) {
  const std::uint32_t tuning = tuningWordFor(60e6, 150000000);
  const std::uint32_t offset = offsetWordFor(tuning);
  ASSERT_EQ(tuning, 0x66666666u);
  ASSERT_EQ(offset, 0x66666932u);
  // Worked by hand: every tuning nibble is 6 (0110 -> even bits 0,1,1,0 = 0x14),
  // the offset nibbles from the lowest are 2, 3, 9, 6, 6, 6, 6, 6 on the odd bits:
  // 2 -> 0x08, 3 -> 0x0A, 9 -> 0x82, 6 -> 0x28.
  const std::array<std::uint8_t, 8> expected{0x1C, 0x1E, 0x96, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C};
  EXPECT_EQ(frequencyWordBytes(tuning, offset), expected);

  EXPECT_EQ(offsetWordFor(0xFFFFFFFFu), 715u);  // modulo 2^32

  std::uint32_t word = 12345;
  for (int i = 0; i < 50; ++i) {
    word = word * 1664525u + 1013904223u;
    const std::uint32_t other = offsetWordFor(word);
    const auto bytes = frequencyWordBytes(word, other);
    for (int k = 0; k < 8; ++k) {
      const auto byte = static_cast<std::uint8_t>(spreadNibble((word >> (4 * k)) & 0xF) |
                                                  (spreadNibble((other >> (4 * k)) & 0xF) << 1));
      EXPECT_EQ(bytes[k], byte) << std::hex << word << " byte " << k;
    }
  }
}

TEST(SampleDecoding, HandBuiltGroupsGiveSignExtendedSamplesInTheTopBits) {
  // Group 0: R = 0x123456, A = 0xFFFFFF (-1). Bytes 1..6 carry R nibbles
  // 1..6 on bits 7 5 3 1 and A's all-ones nibble on bits 6 4 2 0 (0x55):
  // 1 -> 0x02|0x55, 2 -> 0x08|0x55, 3 -> 0x0A|0x55, 4 -> 0x20|0x55, 5 -> 0x22|0x55, 6 -> 0x28|0x55.
  // Group 1: R = 0x800000 (most negative), A = 0x000001.
  std::vector<std::uint8_t> rx{0xAA, 0x57, 0x5D, 0x5F, 0x75, 0x77, 0x7D,
                               0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01};
  for (int s = 2; s < 7; ++s) appendGroup(rx, 0, 0, 0);
  rx.push_back(0x33);  // the byte that completes the reply, not a sample
  ASSERT_EQ(rx.size(), replyLength(6));

  std::vector<std::int32_t> r(7, 99), a(7, 99);
  decodeSamples(rx, 6, r, a);
  EXPECT_EQ(r[0], 0x12345600);
  EXPECT_EQ(a[0], -256);
  EXPECT_EQ(r[1], INT32_MIN);
  EXPECT_EQ(a[1], 256);
  for (int s = 2; s < 7; ++s) {
    EXPECT_EQ(r[s], 0);
    EXPECT_EQ(a[s], 0);
  }

  // The first byte of each group carries nothing.
  rx[0] = 0x00;
  rx[7] = 0x00;
  std::vector<std::int32_t> r2(7), a2(7);
  decodeSamples(rx, 6, r2, a2);
  EXPECT_EQ(r2, r);
  EXPECT_EQ(a2, a);
}

TEST(SampleDecoding, RoundTripsAgainstTheInstrumentSideEncoder) {
  const int code = 13;
  std::vector<std::int32_t> r24{0, -1, 1, 8388607, -8388608, 0x00F0F0, -0x0F0F0F};
  std::uint32_t seed = 7;
  while (r24.size() < 14) {
    seed = seed * 1103515245u + 12345u;
    r24.push_back(static_cast<std::int32_t>(seed >> 8) - (1 << 23));  // -2^23 .. 2^23-1
  }
  std::vector<std::uint8_t> rx;
  for (std::size_t s = 0; s < r24.size(); ++s) {
    // A runs the R values backwards so a swapped channel or group shows at once.
    appendGroup(rx, static_cast<std::uint8_t>(s), r24[s], r24[r24.size() - 1 - s]);
  }
  rx.insert(rx.end(), {0x5A, 0xA5, 0xFF});  // trailing bytes are not samples

  std::vector<std::int32_t> r(14), a(14);
  decodeSamples(rx, code, r, a);
  for (std::size_t s = 0; s < 14; ++s) {
    EXPECT_EQ(r[s], r24[s] * 256) << s;
    EXPECT_EQ(a[s], r24[13 - s] * 256) << s;
    EXPECT_EQ(r[s] & 0xFF, 0) << s;
  }
}

TEST(SampleDecoding, DecodesOnlyWhatFitsInTheBufferAndTheSpans) {
  std::vector<std::uint8_t> rx;
  for (int s = 0; s < 7; ++s) appendGroup(rx, 0, s + 1, -(s + 1));

  // Two and a half groups received: two decoded, the rest untouched.
  std::vector<std::int32_t> r(7, 99), a(7, 99);
  decodeSamples(std::span(rx).first(17), 6, r, a);
  EXPECT_EQ(r, (std::vector<std::int32_t>{256, 512, 99, 99, 99, 99, 99}));
  EXPECT_EQ(a, (std::vector<std::int32_t>{-256, -512, 99, 99, 99, 99, 99}));

  // Spans shorter than the code asks for: nothing written past them.
  std::vector<std::int32_t> r3(7, 99), a3(7, 99);
  decodeSamples(rx, 6, std::span(r3).first(3), std::span(a3).first(4));
  EXPECT_EQ(r3, (std::vector<std::int32_t>{256, 512, 768, 99, 99, 99, 99}));
  EXPECT_EQ(a3, (std::vector<std::int32_t>{-256, -512, -768, 99, 99, 99, 99}));

  std::vector<std::int32_t> rn(7, 99), an(7, 99);
  decodeSamples(rx, -1, rn, an);
  decodeSamples({}, 6, rn, an);
  EXPECT_EQ(rn, std::vector<std::int32_t>(7, 99));
  EXPECT_EQ(an, std::vector<std::int32_t>(7, 99));
}

}  // namespace
}  // namespace vna
