#include "files/settings_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/files/temp_dir.h"

namespace vna {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Builds "configu" bytes by hand, independently of the encoder: each field at
// its literal offset, little-endian.
struct RawFile {
  Bytes bytes = Bytes(26, 0);
  RawFile& le16(std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    return *this;
  }
  RawFile& le32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  RawFile& f32(std::size_t at, float v) { return le32(at, std::bit_cast<std::uint32_t>(v)); }
};

// A file whose every field holds its own one-based position: a value read
// from the wrong offset shows at once.
Bytes positionFile() {
  return RawFile{}
      .le16(0, 1)
      .f32(2, 3.0f)
      .f32(6, 7.0f)
      .f32(10, 11.0f)
      .le32(14, 15)
      .f32(18, 19.0f)
      .f32(22, 23.0f)
      .bytes;
}

const Bytes kDefaultBytes = {0x03, 0x00,                                      // port 3
                             0x00, 0x00, 0x80, 0x3F,                          // A/R gain 1.0
                             0x00, 0x00, 0x00, 0x00,                          // A/R phase 0.0
                             0x00, 0x00, 0x48, 0x42,                          // R 50.0
                             0x80, 0xD1, 0xF0, 0x08,                          // clock 150000000
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};  // L and C 0.0

TEST(SettingsFile, StartingWithoutAFileCreatesTheDefaultFile) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  const SettingsFile loaded = loadSettings(file);
  EXPECT_EQ(readFile(file), kDefaultBytes);
  EXPECT_EQ(loaded.portNumber, 3);
  EXPECT_EQ(loaded.arGain, 1.0f);
  EXPECT_EQ(loaded.arPhase, 0.0f);
  EXPECT_EQ(loaded.refR, 50.0f);
  EXPECT_EQ(loaded.clockHz, 150000000);
  EXPECT_EQ(loaded.refL, 0.0f);
  EXPECT_EQ(loaded.refC, 0.0f);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"configu"});  // no temporary file left behind
}

TEST(SettingsFile, AWronglySizedFileIsReplacedByTheDefaults) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  Bytes longer = positionFile();
  longer.push_back(0x55);
  Bytes shorter = positionFile();
  shorter.pop_back();
  for (const Bytes& wrong : {longer, shorter, Bytes{}}) {
    writeFile(file, wrong);
    EXPECT_EQ(loadSettings(file), SettingsFile{}) << wrong.size() << " bytes";
    EXPECT_EQ(readFile(file), kDefaultBytes) << wrong.size() << " bytes";
  }
}

TEST(SettingsFile, EveryFieldIsReadFromItsOwnPosition) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  writeFile(file, positionFile());
  const SettingsFile s = loadSettings(file);
  EXPECT_EQ(s.portNumber, 1);
  EXPECT_EQ(s.arGain, 3.0f);
  EXPECT_EQ(s.arPhase, 7.0f);
  EXPECT_EQ(s.refR, 11.0f);
  EXPECT_EQ(s.clockHz, 15);
  EXPECT_EQ(s.refL, 19.0f);
  EXPECT_EQ(s.refC, 23.0f);
  EXPECT_EQ(readFile(file), positionFile());  // a valid file is left as it is

  // Negative numbers come back signed; the encoder writes the same bytes back.
  const Bytes negative = RawFile{}.le16(0, 0xFFFE).le32(14, 0xFFFFFFFB).f32(2, -2.5f).bytes;
  writeFile(file, negative);
  const SettingsFile n = loadSettings(file);
  EXPECT_EQ(n.portNumber, -2);
  EXPECT_EQ(n.clockHz, -5);
  EXPECT_EQ(n.arGain, -2.5f);
  const auto encoded = encodeSettings(n);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), negative);
}

TEST(SettingsFile, ValuesOfAValidFileAreReadUnchecked) {
  // Whatever a 26-byte file holds is what loadSettings returns; only the
  // in-memory copy is made usable.
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  const Bytes odd = RawFile{}.le32(14, 0).f32(2, std::numeric_limits<float>::quiet_NaN()).bytes;
  writeFile(file, odd);
  const SettingsFile s = loadSettings(file);
  EXPECT_EQ(s.clockHz, 0);
  EXPECT_TRUE(std::isnan(s.arGain));
  EXPECT_EQ(readFile(file), odd);
}

TEST(SettingsFile, EachWriterKeepsTheOtherProgramsFields) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  // A signalling-NaN pattern in the reference R must survive byte for byte:
  // the writers change only their own bytes.
  const Bytes start = RawFile{}.le16(0, 0x0102).f32(2, 3.0f).f32(6, 7.0f).le32(10, 0x7FA00001).le32(14, 15)
                          .f32(18, 19.0f).f32(22, 23.0f).bytes;

  writeFile(file, start);
  ASSERT_TRUE(writeArAdjustment(file, 1.25f, -3.5f, 149999000));
  RawFile adjusted{start};
  adjusted.f32(2, 1.25f).f32(6, -3.5f).le32(14, 149999000);
  EXPECT_EQ(readFile(file), adjusted.bytes);

  writeFile(file, start);
  ASSERT_TRUE(writeReferenceLoad(file, 49.5f, 1e-8f, 2e-12f));
  RawFile load{start};
  load.f32(10, 49.5f).f32(18, 1e-8f).f32(22, 2e-12f);
  EXPECT_EQ(readFile(file), load.bytes);

  writeFile(file, start);
  ASSERT_TRUE(writePortNumber(file, 7));
  RawFile port{start};
  port.le16(0, 7);
  EXPECT_EQ(readFile(file), port.bytes);

  // The two analyzers saving in turn: both sets of values stay.
  ASSERT_TRUE(writeArAdjustment(file, 0.5f, 12.0f, 150001000));
  ASSERT_TRUE(writeReferenceLoad(file, 75.0f, 0.0f, 1e-12f));
  const SettingsFile both = loadSettings(file);
  EXPECT_EQ(both.portNumber, 7);
  EXPECT_EQ(both.arGain, 0.5f);
  EXPECT_EQ(both.arPhase, 12.0f);
  EXPECT_EQ(both.clockHz, 150001000);
  EXPECT_EQ(both.refR, 75.0f);
  EXPECT_EQ(both.refC, 1e-12f);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"configu"});
}

TEST(SettingsFile, AWriterStartsFromTheDefaultsWhenTheFileIsMissingOrWronglySized) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  ASSERT_TRUE(writeReferenceLoad(file, 10.0f, 2e-9f, 3e-12f));
  SettingsFile expected;
  expected.refR = 10.0f;
  expected.refL = 2e-9f;
  expected.refC = 3e-12f;
  EXPECT_EQ(readSettings(file), expected);

  writeFile(file, Bytes(27, 0xAA));
  ASSERT_TRUE(writePortNumber(file, 0));
  SettingsFile port0;
  port0.portNumber = 0;
  EXPECT_EQ(readSettings(file), port0);
}

TEST(SettingsFile, ReadSettingsChangesNothing) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  EXPECT_EQ(readSettings(file), std::nullopt);
  EXPECT_FALSE(fs::exists(file));
  writeFile(file, Bytes(25, 1));
  EXPECT_EQ(readSettings(file), std::nullopt);
  EXPECT_EQ(readFile(file), Bytes(25, 1));
}

TEST(SettingsFile, UsableSettingsReplaceOnlyValuesThatBreakTheArithmetic) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const SettingsFile defaults;

  SettingsFile read;
  read.portNumber = -4;     // only names a device that will not open
  read.arGain = 0.5f;       // finite and positive: used as it is
  read.arPhase = -400.0f;
  read.refR = 0.0f;
  read.clockHz = 1;
  read.refL = 1e-3f;
  read.refC = -1e-12f;
  EXPECT_EQ(usableSettings(read), read);

  // Input A is divided by the gain: a damaged file's 0 would leave every
  // point not a number.
  for (const float badGain : {0.0f, -0.0f, -1.0f}) {
    SettingsFile s;
    s.arGain = badGain;
    EXPECT_EQ(usableSettings(s).arGain, defaults.arGain) << badGain;
  }

  for (const std::int32_t badClock : {0, -5, std::numeric_limits<std::int32_t>::min()}) {
    SettingsFile s;
    s.clockHz = badClock;
    s.refR = 60.0f;
    const SettingsFile u = usableSettings(s);
    EXPECT_EQ(u.clockHz, defaults.clockHz) << badClock;
    EXPECT_EQ(u.refR, 60.0f) << "other fields keep their values";
  }

  for (const float bad : {nan, inf, -inf}) {
    SettingsFile s;
    s.portNumber = 9;
    s.arGain = s.arPhase = s.refR = s.refL = s.refC = bad;
    s.clockHz = 123;
    SettingsFile expected = defaults;
    expected.portNumber = 9;
    expected.clockHz = 123;
    EXPECT_EQ(usableSettings(s), expected) << bad;
  }
}

TEST(SettingsFile, AFailedSaveReturnsFalseAndLeavesNoDebris) {
  TempDir dir;
  // The directory does not exist: the temporary file cannot be made.
  const fs::path nowhere = dir.path() / "missing" / kSettingsFileName;
  EXPECT_FALSE(writePortNumber(nowhere, 4));
  EXPECT_FALSE(writeArAdjustment(nowhere, 1.0f, 0.0f, 150000000));
  EXPECT_FALSE(writeReferenceLoad(nowhere, 50.0f, 0.0f, 0.0f));
  EXPECT_EQ(loadSettings(nowhere), SettingsFile{});  // the defaults, in memory only
  EXPECT_FALSE(fs::exists(nowhere));

  // "configu" is a directory: the rename over it fails, and the temporary
  // file is removed again.
  const fs::path blocked = dir.path() / kSettingsFileName;
  fs::create_directory(blocked);
  EXPECT_FALSE(writePortNumber(blocked, 4));
  EXPECT_EQ(loadSettings(blocked), SettingsFile{});
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"configu"});
}

}  // namespace
}  // namespace vna
