#include "files/touchstone_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "measurement/sweep_plan.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Points = std::vector<TouchstonePoint>;

std::string printfText(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

const std::string kImpedanceHeader = "!  kelvane  \r\n! parameter S\r\n# HZ S DB R 50\r\n";

// printf is the reference the file format is defined by; the writer does
// not use it (it must not depend on the locale), so it is an independent check.
TEST(TouchstoneNumbers, MatchTheGeneralFormatsOfPrintf) {
  for (const double hz : {200.0, 1e6, 0.5, 12345678.9, 99999999.99, 1.234567890123456789e18, 1e-7, 1.0 / 3.0}) {
    EXPECT_EQ(frequencyText(hz), printfText("%.16g", hz)) << hz;
  }
  for (const double v : {-12.5, 45.25, 1.0 / 3.0, -0.000012345678, 123456789.0, 1e-30, -179.99999, 100.0}) {
    EXPECT_EQ(valueText(v), printfText("%.7g", static_cast<float>(v))) << v;
  }
  EXPECT_EQ(frequencyText(1e6), "1000000");  // a whole number has no decimal point
  EXPECT_EQ(valueText(-0.5), "-0.5");
}

TEST(TouchstoneNumbers, ValuesAreRoundedToSinglePrecisionBeforeTheSevenDigits) {
  // The double reads 1.000001 at 7 digits; its nearest float is 1.00000048.
  EXPECT_EQ(printfText("%.7g", 1.00000051), "1.000001");
  EXPECT_EQ(valueText(1.00000051), "1");
}

TEST(TouchstoneNumbers, NonFiniteAndMinusZeroStillGiveReadableNumbers) {
  EXPECT_EQ(valueText(-std::numeric_limits<double>::infinity()), "-3.402823e+38");
  EXPECT_EQ(valueText(1e300), "3.402823e+38");
  EXPECT_EQ(valueText(std::nan("")), "0");
  EXPECT_EQ(valueText(-0.0), "0");
}

TEST(TouchstoneWriter, WorkedExamples) {
  EXPECT_EQ(s1pLine({1e6, -12.5, 45.25}), "1000000 -12.5 45.25\r\n");
  EXPECT_EQ(s2pLine(ParameterSlot::s11, {200, -0.5, -3.25}), "200 -0.5 -3.25 0.0 0.0 0.0 0.0 0.0 0.0 \r\n");
}

TEST(TouchstoneWriter, WholeFilesByteForByte) {
  const Points points = {{1000, -1, 2}, {2000, -3, 4}};
  EXPECT_EQ(s1pContent(points), kImpedanceHeader + "1000 -1 2\r\n2000 -3 4\r\n");
  const std::string title = std::string(15, ' ') + "Title" + std::string(20, ' ');
  EXPECT_EQ(s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s12, points),
            "!  kelvane  " + title + "\r\n! parameter S\r\n# HZ S DB R 50\r\n" +
                "1000 0.0 0.0 0.0 0.0 -1 2 0.0 0.0 \r\n2000 0.0 0.0 0.0 0.0 -3 4 0.0 0.0 \r\n");
}

TEST(TouchstoneWriter, NotesStandUnderTheHeaderAndTheFileReadsTheSame) {
  const Points points = {{1000, -1, 2}, {2000, 0, 0}};
  const std::vector<std::string> notes{"measured today", "plan: two points"};
  const std::string noted = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, points, notes);
  const std::string plain = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, points);
  const std::size_t option = plain.find("# HZ");
  EXPECT_EQ(noted, plain.substr(0, option) + "! measured today\r\n! plan: two points\r\n" + plain.substr(option));
  // A measured 0 is written "0": only the literal placeholders count as empty.
  EXPECT_EQ(slotsHoldingValues(noted), (std::array<bool, 4>{false, true, false, false}));
  const MergeResult both = mergeS2p(noted, ParameterSlot::s12, Points{{1000, -5, 6}, {2000, -7, 8}});
  ASSERT_TRUE(both.ok());
  EXPECT_EQ(slotsHoldingValues(*both.content), (std::array<bool, 4>{false, true, true, false}));
}

// In a two-port line: the frequency, then s11, s21, s12, s22.
struct SlotCase {
  ParameterSlot slot;
  const char* written;  // the line of a new file for point {100, 1, 2}
  const char* merged;   // "1 2 3 ... 9" with point {1, -91, -92} merged in
};
const SlotCase kSlots[] = {
    {ParameterSlot::s11, "100 1 2 0.0 0.0 0.0 0.0 0.0 0.0 \r\n", "1 -91 -92 4 5 6 7 8 9\r\n"},
    {ParameterSlot::s21, "100 0.0 0.0 1 2 0.0 0.0 0.0 0.0 \r\n", "1 2 3 -91 -92 6 7 8 9\r\n"},
    {ParameterSlot::s12, "100 0.0 0.0 0.0 0.0 1 2 0.0 0.0 \r\n", "1 2 3 4 5 -91 -92 8 9\r\n"},
    // The merged pair is followed by a blank, also when it ends the line.
    {ParameterSlot::s22, "100 0.0 0.0 0.0 0.0 0.0 0.0 1 2\r\n", "1 2 3 4 5 6 7 -91 -92 \r\n"},
};

TEST(TouchstoneWriter, EverySlotWritesAndMergesItsOwnColumns) {
  for (const SlotCase& c : kSlots) {
    EXPECT_EQ(s2pLine(c.slot, {100, 1, 2}), c.written);
    const MergeResult merged = mergeS2p("# HZ S DB R 50\r\n1 2 3 4 5 6 7 8 9\r\n", c.slot, Points{{1, -91, -92}});
    ASSERT_TRUE(merged.ok()) << merged.reason;
    EXPECT_EQ(*merged.content, std::string("# HZ S DB R 50\r\n") + c.merged);
  }
}

TEST(TouchstoneMerge, S11ThenS22UnderOneNameKeepsTheFirstHeader) {
  const std::string first = s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, Points{{5e6, -1, 2}});
  const MergeResult merged = mergeS2p(first, ParameterSlot::s22, Points{{5e6, -3, 4}});
  ASSERT_TRUE(merged.ok());
  EXPECT_EQ(*merged.content, kImpedanceHeader + "5000000 -1 2 0.0 0.0 0.0 0.0 -3 4 \r\n");
}

// The frequencies of a plan as the analyzers and vna-measure scan it.
std::vector<double> planFrequencies(double from, double to, int points) {
  SweepPlan plan;
  plan.freqMin = from;
  plan.freqMax = to;
  plan.points = static_cast<std::int16_t>(points);
  plan.logSweep = 1;
  std::vector<double> f(static_cast<std::size_t>(points) + 2);
  buildFrequencyList(plan, f);
  f.resize(static_cast<std::size_t>(points));
  return f;
}

Points scanAt(const std::vector<double>& frequencies, double db) {
  Points points;
  for (const double f : frequencies) points.push_back({f, db, -db});
  return points;
}

TEST(TouchstoneMerge, AScanOfAnotherPlanIsRefusedSayingWhereTheFileDiffers) {
  // s11 over 1 kHz to 10 MHz, then s22 over 1 kHz to 20 MHz: the second
  // point is the first to differ, on the file's fifth line.
  const std::string file =
      s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, scanAt(planFrequencies(1e3, 10e6, 51), -1));
  const std::vector<double> wider = planFrequencies(1e3, 20e6, 51);
  const MergeResult refused = mergeS2p(file, ParameterSlot::s22, scanAt(wider, -2));
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.reason, kNotCompatible);
  EXPECT_EQ(refused.detail, "line 5: 1202.264434617413 Hz in the file, 1219.047420694726 Hz in the scan");
  const MergeCheck before = checkMerge(file, wider);
  EXPECT_EQ(before.fit, MergeFit::otherPlan);
  EXPECT_EQ(before.difference, refused.detail);

  // Another point count, either way.
  EXPECT_EQ(mergeS2p(file, ParameterSlot::s22, scanAt(planFrequencies(1e3, 10e6, 101), -2)).detail,
            "51 points in the file, 101 in the scan");
  const std::string three = "! a\r\n# HZ S DB R 50\r\n\r\n1000 1 2 3 4 5 6 7 8\r\n"
                            "2000 1 2 3 4 5 6 7 8\r\n! b\r\n3000 1 2 3 4 5 6 7 8\r\n";
  EXPECT_EQ(mergeS2p(three, ParameterSlot::s11, Points{{1000, 0, 0}, {2000, 0, 0}}).detail,
            "3 points in the file, 2 in the scan");
  EXPECT_EQ(checkMerge(three, std::vector<double>{1000}).difference, "3 points in the file, 1 in the scan");
  // The line number is the file's own, comments and blank lines counted.
  EXPECT_EQ(checkMerge(three, std::vector<double>{1000, 2000, 3500}).difference,
            "line 7: 3000 Hz in the file, 3500 Hz in the scan");
  // A frequency that is no number is no plan's.
  EXPECT_EQ(checkMerge("# HZ S DB R 50\r\n1,5 1 2 3 4 5 6 7 8\r\n", std::vector<double>{1.5}).difference,
            "line 2: \"1,5\" in the file, 1.5 Hz in the scan");
  // Nothing is compared in a file the merge could not fill anyway.
  EXPECT_EQ(checkMerge("# HZ S DB R 50\r\n1000 1 2\r\n", std::vector<double>{2000}).fit, MergeFit::notCompatible);
}

TEST(TouchstoneMerge, TheSamePlanMergesWhateverUnitAndLastDigitTheFileWritesItIn) {
  const std::vector<double> plan = planFrequencies(1e3, 10e6, 51);
  const std::string file = s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, scanAt(plan, -1));
  const MergeResult merged = mergeS2p(file, ParameterSlot::s12, scanAt(plan, -2));
  ASSERT_TRUE(merged.ok()) << merged.detail;
  EXPECT_EQ(checkMerge(file, plan).fit, MergeFit::fits);
  // Byte for byte the file with the s12 columns filled in.
  std::string expected;
  for (std::size_t at = 0, next; at < file.size(); at = next) {
    next = file.find('\n', at) + 1;
    std::string line = file.substr(at, next - at);
    if (line[0] != '!' && line[0] != '#') line.replace(line.find(" -1 1 0.0 0.0 "), 14, " -1 1 -2 2 ");
    expected += line;
  }
  EXPECT_EQ(*merged.content, expected);

  // The same points in megahertz, and in the last of the 16 digits another
  // computation of the same plan may print differently.
  const std::string mhz = "# MHZ S DB R 50\n0.001 1 2 3 4 5 6 7 8\n0.0015 1 2 3 4 5 6 7 8\n";
  EXPECT_TRUE(mergeS2p(mhz, ParameterSlot::s11, Points{{1000, 0, 0}, {1500, 0, 0}}).ok());
  const std::string lastDigit = "# HZ S DB R 50\n1202.264434617414 1 2 3 4 5 6 7 8\n";
  EXPECT_TRUE(mergeS2p(lastDigit, ParameterSlot::s11, Points{{1202.264434617413, 0, 0}}).ok());
  // While 0.01 Hz, the step a frequency is entered in, is another plan at
  // the top of the range.
  const std::string top = "# HZ S DB R 50\n99999999.97 1 2 3 4 5 6 7 8\n";
  EXPECT_EQ(mergeS2p(top, ParameterSlot::s11, Points{{99999999.98, 0, 0}}).detail,
            "line 2: 99999999.97 Hz in the file, 99999999.98 Hz in the scan");
}

TEST(TouchstoneMerge, KeepsCommentsBlankLinesAndLineEnds) {
  const std::string file =
      "! notes\n# mhz s db r 50 ! from elsewhere\n1\t2\t3\t4\t5\t6\t7\t8\t9\n\r\n! between\n"
      "10 11 12 13 14 15 16 17 18\n! after the last point\n";
  const MergeResult two = mergeS2p(file, ParameterSlot::s21, Points{{1e6, -91, -92}, {10e6, -93, -94}});
  ASSERT_TRUE(two.ok()) << two.detail;
  EXPECT_EQ(*two.content,
            "! notes\n# mhz s db r 50 ! from elsewhere\n1\t2\t3\t-91 -92 6\t7\t8\t9\n\r\n! between\n"
            "10 11 12 -93 -94 15 16 17 18\n! after the last point\n");
  // The last line is merged even without a line feed (the unit is GHz when
  // the option line names none).
  const MergeResult last = mergeS2p("# db\r\n1 2 3 4 5 6 7 8 9", ParameterSlot::s22, Points{{1e9, -91, -92}});
  ASSERT_TRUE(last.ok()) << last.detail;
  EXPECT_EQ(*last.content, "# db\r\n1 2 3 4 5 6 7 -91 -92 ");
}

TEST(TouchstoneMerge, RefusesFilesItCannotFillCorrectly) {
  const std::string line = "1 2 3 4 5 6 7 8 9\r\n";
  const std::string refused[] = {
      "# HZ S DB R 50\r\n1 2 3\r\n",                  // one-port data under a two-port name
      "# HZ S DB R 50\r\n# HZ S DB R 50\r\n" + line,  // two option lines
      "# HZ S DB R 50\r\n#\r\n" + line,               // numbers after a second '#'
      line + "# HZ S DB R 50\r\n",                    // data before the option line
      "# HZ S DB R 50\r\n1 2 3 4 5 6 7 8 9 10\r\n",   // ten fields
      "# HZ S DB R 50\r\n1 2 3 4 x 5 6 7 8 9\r\n",    // text inside a data line
      "# HZ S MA R 50\r\n" + line,                    // magnitudes, not dB
      "# HZ S R 50\r\n" + line,                       // no format: Touchstone's default MA
      "# HZ Z DB R 50\r\n" + line,                    // impedance parameters
      "# HZ S DB R 75\r\n" + line,                    // another reference
      "! no option line\r\n",                         // nothing says what the columns are
      "# HZ S DB R 50\r\n! no data\r\n",              // nowhere to put the values
      // A lone CR ends a line for the viewers: the bare '#' would be their
      // option line, and "! note\r100 ..." a comment here but data there.
      "!\r#\n# HZ S DB R 50\n" + line,
      "# HZ S DB R 50\n! note\r" + line,
  };
  for (const std::string& file : refused) {
    const MergeResult merged = mergeS2p(file, ParameterSlot::s11, Points(3, {1, 2, 3}));
    EXPECT_FALSE(merged.ok()) << file;
    EXPECT_EQ(merged.reason, kNotCompatible) << file;
    EXPECT_EQ(merged.detail, "") << file;  // the viewers would refuse these too: no plan to compare
  }
  EXPECT_FALSE(mergeS2p("# HZ S DB R 50\r\n" + line, ParameterSlot::s11, Points{}).ok());  // would empty it
}

TEST(TouchstoneFiles, SavesReplaceAndAMergeKeepsAnIncompatibleFile) {
  TempDir dir;
  const fs::path s1p = dir.path() / "dut.s1p";
  const fs::path s2p = dir.path() / "dut.s2p";
  writeFile(s1p, std::vector<std::uint8_t>(5000, 'x'));
  ASSERT_TRUE(saveS1p(s1p, Points{{1e6, -12.5, 45.25}}));
  EXPECT_EQ(text(readFile(s1p)), kImpedanceHeader + "1000000 -12.5 45.25\r\n");

  ASSERT_TRUE(saveS2p(s2p, FileOrigin::impedanceAnalyzer, ParameterSlot::s11, Points{{200, -0.5, -3.25}}));
  ASSERT_TRUE(mergeS2pFile(s2p, ParameterSlot::s22, Points{{200, -1, 7}}));
  EXPECT_EQ(text(readFile(s2p)), kImpedanceHeader + "200 -0.5 -3.25 0.0 0.0 0.0 0.0 -1 7 \r\n");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dut.s1p", "dut.s2p"}));

  const std::vector<std::uint8_t> onePort = readFile(s1p);
  fs::rename(s1p, s2p);
  const SaveResult refused = mergeS2pFile(s2p, ParameterSlot::s11, Points{{1e6, 0, 0}});
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.reason(), kNotCompatible);
  EXPECT_EQ(readFile(s2p), onePort);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut.s2p"});  // no spartemp.tmp left

  // A two-port file of another plan is kept byte for byte as well.
  const std::string twoPoints =
      s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, Points{{1e3, 1, 2}, {1e7, 3, 4}});
  writeFile(s2p, std::vector<std::uint8_t>(twoPoints.begin(), twoPoints.end()));
  const SaveResult otherPlan = mergeS2pFile(s2p, ParameterSlot::s22, Points{{1e3, 5, 6}, {2e7, 7, 8}});
  EXPECT_FALSE(otherPlan.ok());
  EXPECT_EQ(otherPlan.reason(), kNotCompatible);
  EXPECT_EQ(otherPlan.detail(), "line 5: 10000000 Hz in the file, 20000000 Hz in the scan");
  EXPECT_EQ(text(readFile(s2p)), twoPoints);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut.s2p"});

  // The merge goes through "spartemp.tmp": where that name cannot be a file, it fails.
  const std::string twoPort = s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, Points{{1, 2, 3}});
  writeFile(s2p, std::vector<std::uint8_t>(twoPort.begin(), twoPort.end()));
  fs::create_directory(dir.path() / kMergeTempName);
  EXPECT_FALSE(mergeS2pFile(s2p, ParameterSlot::s22, Points{{1, 4, 5}}).ok());
  EXPECT_EQ(text(readFile(s2p)), twoPort);
}

}  // namespace
}  // namespace vna
