#include "simulator/protocol_parser.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/simulator/instrument_exchange.h"

namespace vna {
namespace {

std::vector<ParsedItem> parse(ProtocolParser& parser, const std::vector<std::uint8_t>& bytes) {
  std::vector<ParsedItem> out;
  for (std::uint8_t b : bytes) parser.feed(b, out);
  return out;
}

std::vector<ParsedItem> parse(const std::vector<std::uint8_t>& bytes) {
  ProtocolParser parser;
  return parse(parser, bytes);
}

std::vector<ParsedKind> kinds(const std::vector<ParsedItem>& items) {
  std::vector<ParsedKind> k;
  for (const auto& item : items) k.push_back(item.kind);
  return k;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ProtocolParser, DecodesTheWorkedExampleOf60MHz) {
  // 60 MHz at 150 MHz: tuning word 1717986918 (0x66666666), offset 1717987634.
  EXPECT_EQ(test::tuningWordFor(60e6), 1717986918u);
  const auto load = test::loadFrequency(60e6);
  const auto items = parse(load);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].kind, ParsedKind::LoadWords);
  EXPECT_EQ(items[0].words.tuning, 1717986918u);
  EXPECT_EQ(items[0].words.offset, 1717987634u);

  // Words whose bits are all different show a swapped nibble or bit pair.
  const auto swapped = parse(test::loadBytes(0x12345678u, 0x9ABCDEF0u));
  ASSERT_EQ(swapped.size(), 1u);
  EXPECT_EQ(swapped[0].words.tuning, 0x12345678u);
  EXPECT_EQ(swapped[0].words.offset, 0x9ABCDEF0u);
}

TEST(ProtocolParser, ReadsAWholeSessionInOrder) {
  const auto stream = test::resetBytes() + test::loadFrequency(1e6) + test::kStrobe + test::loadFrequency(2e6) +
                      std::vector<std::uint8_t>{0x40} + test::kStrobe + std::vector<std::uint8_t>{0x47};
  const auto items = parse(stream);
  EXPECT_EQ(kinds(items), (std::vector<ParsedKind>{ParsedKind::Reset, ParsedKind::LoadWords, ParsedKind::Strobe,
                                                   ParsedKind::LoadWords, ParsedKind::Acquire, ParsedKind::Strobe,
                                                   ParsedKind::Acquire}));
  EXPECT_EQ(items[4].sampleCode, 0);
  EXPECT_EQ(items[6].sampleCode, 7);
  EXPECT_EQ(items[3].words.tuning, test::tuningWordFor(2e6));
}

TEST(ProtocolParser, DataBytesThatLookLikeCommandsAreData) {
  // Every data byte a command byte: strobe, idle, acquire, load, serial mode.
  const std::vector<std::uint8_t> data{0xC0, 0x84, 0x80, 0x40, 0x47, 0xC0, 0xA0, 0x82, 0x80};
  const auto items = parse(data + test::kStrobe);
  ASSERT_EQ(kinds(items), (std::vector<ParsedKind>{ParsedKind::LoadWords, ParsedKind::Strobe}));
  std::array<std::uint8_t, 8> raw{0x84, 0x80, 0x40, 0x47, 0xC0, 0xA0, 0x82, 0x80};
  EXPECT_EQ(items[0].words, decodeFrequencyWords(raw));

  // A reset sequence hidden in data bytes is no reset.
  const auto reset = test::resetBytes();
  std::vector<std::uint8_t> hidden{0xC0};
  hidden.insert(hidden.end(), reset.begin(), reset.begin() + 8);
  const auto items2 = parse(hidden);
  ASSERT_EQ(items2.size(), 1u);
  EXPECT_EQ(items2[0].kind, ParsedKind::LoadWords);

  // The parser remembers across calls: a load split over two writes.
  ProtocolParser parser;
  const auto load = test::loadFrequency(60e6);
  EXPECT_TRUE(parse(parser, {load.begin(), load.begin() + 4}).empty());
  EXPECT_FALSE(parser.idle());
  const auto rest = parse(parser, {load.begin() + 4, load.end()});
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].words.tuning, 1717986918u);
  EXPECT_TRUE(parser.idle());
}

TEST(ProtocolParser, ComplainsAboutWhatTheFirmwareWouldNotUnderstand) {
  const auto complaints = [](const std::vector<std::uint8_t>& bytes) {
    std::vector<std::string> texts;
    for (const auto& item : parse(bytes))
      if (item.kind == ParsedKind::Complaint) texts.push_back(item.complaint);
    return texts;
  };
  EXPECT_EQ(complaints({0x99}), std::vector<std::string>{"unexpected byte 0x99"});
  EXPECT_EQ(complaints({0x48}), std::vector<std::string>{"unexpected byte 0x48"});  // k = 8 does not exist
  EXPECT_EQ(complaints({0xA0}), std::vector<std::string>{"0xA0 without the reset sequence before it"});
  EXPECT_EQ(complaints({0x82, 0x80}), std::vector<std::string>{"clock pulse 0x82 0x80 outside the reset sequence"});
  EXPECT_EQ(complaints({0x84, 0x40}), std::vector<std::string>{"0x84 not followed by 0x80 but by 0x40"});
  EXPECT_TRUE(complaints(test::resetBytes()).empty());

  // The byte after a broken strobe still counts: here an acquisition.
  const auto items = parse({0x84, 0x41});
  EXPECT_EQ(kinds(items), (std::vector<ParsedKind>{ParsedKind::Complaint, ParsedKind::Acquire}));

  // A reset cut short: one complaint, and the acquisition after it is seen.
  auto cut = test::resetBytes();
  cut.resize(9);
  cut.push_back(0x40);
  const auto broken = parse(cut);
  ASSERT_FALSE(broken.empty());
  EXPECT_EQ(broken.front().complaint, "reset sequence broken off after 9 of 22 bytes");
  EXPECT_EQ(broken.back().kind, ParsedKind::Acquire);
  EXPECT_EQ(std::count_if(broken.begin(), broken.end(), [](const auto& i) { return i.kind == ParsedKind::Reset; }), 0);
}

TEST(ProtocolParser, AResetAfterGarbageAndAfterAHalfLoadIsStillFound) {
  // Stray bytes, a stray idle byte and a strobe before it do not hide it.
  const auto items = parse(std::vector<std::uint8_t>{0x99, 0x80, 0x80} + test::resetBytes());
  EXPECT_EQ(items.back().kind, ParsedKind::Reset);

  // A power cycle forgets half a load, so the next reset is a reset.
  ProtocolParser parser;
  parse(parser, {0xC0, 0x01, 0x02});
  parser.clear();
  const auto after = parse(parser, test::resetBytes());
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].kind, ParsedKind::Reset);
}

}  // namespace
}  // namespace vna
