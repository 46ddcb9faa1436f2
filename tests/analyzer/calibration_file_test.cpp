#include "analyzer/calibration_file.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/files/temp_dir.h"

namespace vna {
namespace {

using Standards = std::optional<std::vector<std::complex<double>>> Calibration::*;
constexpr std::array<Standards, 4> kStandards{&Calibration::open, &Calibration::shortCircuit, &Calibration::load,
                                              &Calibration::through};
using Spreads = std::optional<StandardSpread> Calibration::*;
constexpr std::array<Spreads, 4> kSpreads{&Calibration::openSpread, &Calibration::shortSpread, &Calibration::loadSpread,
                                          &Calibration::throughSpread};

// Any finite double, from random bits: subnormals, -0 and the extremes included.
double anyFinite(std::mt19937_64& bits) {
  while (true) {
    const double v = std::bit_cast<double>(bits());
    if (std::isfinite(v)) return v;
  }
}

std::vector<std::complex<double>> anyRatios(std::mt19937_64& bits, int n) {
  std::vector<std::complex<double>> values;
  for (int i = 0; i < n; ++i) values.emplace_back(anyFinite(bits), anyFinite(bits));
  values.front() = {-0.0, 4.9406564584124654e-324};
  return values;
}

std::uint64_t bitsOf(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// Bit for bit, every field the file keeps.
void expectIdentical(const Calibration& got, const Calibration& want) {
  EXPECT_EQ(bitsOf(got.plan.freqMin), bitsOf(want.plan.freqMin));
  EXPECT_EQ(bitsOf(got.plan.freqMax), bitsOf(want.plan.freqMax));
  EXPECT_EQ(got.plan.points, want.plan.points);
  EXPECT_EQ(got.plan.logSweep, want.plan.logSweep);
  EXPECT_EQ(got.plan.sampleCode, want.plan.sampleCode);
  EXPECT_EQ(got.clockHz, want.clockHz);
  for (auto field :
       {&Calibration::arGain, &Calibration::arPhase, &Calibration::refR, &Calibration::refL, &Calibration::refC})
    EXPECT_EQ(bitsOf(got.*field), bitsOf(want.*field));
  for (std::size_t s = 0; s < kStandards.size(); ++s) {
    const auto& a = got.*kStandards[s];
    const auto& b = want.*kStandards[s];
    ASSERT_EQ(a.has_value(), b.has_value()) << "standard " << s;
    if (!b) continue;
    ASSERT_EQ(a->size(), b->size());
    for (std::size_t i = 0; i < b->size(); ++i) {
      EXPECT_EQ(bitsOf((*a)[i].real()), bitsOf((*b)[i].real())) << s << " " << i;
      EXPECT_EQ(bitsOf((*a)[i].imag()), bitsOf((*b)[i].imag())) << s << " " << i;
    }
    const auto& spreadGot = got.*kSpreads[s];
    const auto& spreadWant = want.*kSpreads[s];
    ASSERT_EQ(spreadGot.has_value(), spreadWant.has_value()) << "spread " << s;
    if (!spreadWant) continue;
    EXPECT_EQ(spreadGot->sweeps, spreadWant->sweeps);
    for (std::size_t i = 0; i < b->size(); ++i) {
      EXPECT_EQ(bitsOf(spreadGot->uRe.at(i)), bitsOf(spreadWant->uRe[i])) << s << " " << i;
      EXPECT_EQ(bitsOf(spreadGot->uIm.at(i)), bitsOf(spreadWant->uIm[i])) << s << " " << i;
    }
  }
}

// Every combination of measured standards, on plans at the instrument's limits.
TEST(CalibrationFile, ReadsBackExactlyWhatWasWritten) {
  std::mt19937_64 bits(7);
  TempDir dir;
  for (unsigned present = 0; present < 16; ++present) {
    Calibration c;
    c.plan.logSweep = present % 2 == 0;
    c.plan.points = present % 3 == 0 ? 51 : 801;
    c.plan.freqMin = present % 2 == 0 ? 9.000000000000002 : 1.0 / 3 * 1000;
    c.plan.freqMax = present % 5 == 0 ? std::nextafter(99999999.98, 0.0) : 60e6;
    c.plan.sampleCode = present % 4 == 0 ? 895 : 6;
    c.clockHz = present == 3 ? 2147483647 : 149990001;
    c.arGain = anyFinite(bits), c.arPhase = anyFinite(bits);
    c.refR = anyFinite(bits), c.refL = anyFinite(bits), c.refC = -0.0;
    for (std::size_t s = 0; s < kStandards.size(); ++s)
      if (present & (1u << s)) {
        c.*kStandards[s] = anyRatios(bits, c.plan.points);
        // Some averaged, over 2 to 1000 sweeps, with any uncertainties a mean can have.
        if ((present + s) % 3 == 0) continue;
        StandardSpread spread{present % 2 == 0 ? 2 : 1000, {}, {}};
        for (int i = 0; i < c.plan.points; ++i) {
          spread.uRe.push_back(std::abs(anyFinite(bits)));
          spread.uIm.push_back(i == 0 ? 0.0 : std::abs(anyFinite(bits)));
        }
        c.*kSpreads[s] = std::move(spread);
      }
    SCOPED_TRACE(present);

    const std::string text = calibrationText(c);
    const CalibrationReading read = readCalibration(text);
    ASSERT_TRUE(read.calibration) << read.reason;
    EXPECT_EQ(read.reason, "");
    expectIdentical(*read.calibration, c);
    EXPECT_EQ(calibrationText(*read.calibration), text);
    EXPECT_EQ(read.calibration->plan.center, (c.plan.freqMin + c.plan.freqMax) / 2);

    const auto file = dir.path() / "c.cal";
    ASSERT_TRUE(saveCalibration(file, c).ok());
    const ReadResult saved = readWholeFile(file);
    ASSERT_TRUE(saved.bytes);
    EXPECT_EQ(*saved.bytes, text);
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"c.cal"});
}

// What a person may do to the file: tabs, CR LF, comments and blank lines.
TEST(CalibrationFile, ReadsAFileEditedByHand) {
  std::string text =
      "# vna-measure calibration\r\n\r\n# taken on the bench\nplan  from 1e3\tto 2.5e6 points 51 linear "
      "sample-code 13\nclock 150000000\nar-gain 1.02 ar-phase -1.5\n   \nload 49.9 2e-9 0.5e-12\nstandard load\n";
  for (int i = 0; i < 51; ++i) text += std::to_string(i) + " " + std::to_string(i) + ".5 -" + std::to_string(i) + "\n";
  const CalibrationReading read = readCalibration(text);
  ASSERT_TRUE(read.calibration) << read.reason;
  const Calibration& c = *read.calibration;
  EXPECT_EQ(c.plan.freqMin, 1e3);
  EXPECT_EQ(c.plan.freqMax, 2.5e6);
  EXPECT_EQ(c.plan.points, 51);
  EXPECT_FALSE(c.plan.logSweep);
  EXPECT_EQ(c.plan.sampleCode, 13);
  EXPECT_EQ(c.plan.span, 2.5e6 - 1e3);
  EXPECT_EQ(c.arGain, 1.02);
  EXPECT_EQ(c.arPhase, -1.5);
  EXPECT_EQ(c.refR, 49.9);
  EXPECT_EQ(c.refC, 0.5e-12);
  EXPECT_FALSE(c.open || c.shortCircuit || c.through);
  ASSERT_TRUE(c.load);
  EXPECT_EQ((*c.load)[50], std::complex<double>(50.5, -50));
}

TEST(CalibrationFile, RefusesBrokenFilesWithTheLineAndReason) {
  // Lines 1 to 5 the head, 6 "standard open", 7-57 its points, 58 "standard through", 59-109 its points.
  std::vector<std::string> good{"# vna-measure calibration", "plan from 1000 to 10000000 points 51 log sample-code 6",
                                "clock 150000000", "ar-gain 1 ar-phase 0", "load 50 0 0"};
  for (std::string_view name : {"open", "through"}) {
    good.push_back("standard " + std::string(name));
    for (int i = 0; i < 51; ++i) good.push_back(std::to_string(i) + " 0.25 -1e-3");
  }
  const auto joined = [](const std::vector<std::string>& lines, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + "\n";
    return text;
  };
  ASSERT_TRUE(readCalibration(joined(good, good.size())).calibration);

  struct Row {
    int line;          // 1-based line replaced; 0 to replace nothing
    std::string text;  // its new text; "-" removes it
    std::size_t keep;  // lines kept from the start
    std::string reason;
  };
  const std::string notFirst =
      "not a vna-measure calibration file (the first line is not \"# vna-measure calibration\")";
  const std::string standardForm = "expected \"standard open|short|load|through\" or \"standard NAME averaged N\"";
  const std::string planForm = "expected \"plan from HZ to HZ points N log|linear sample-code N\"";
  const std::vector<Row> rows{
      {0, "", 0, "line 1: " + notFirst},
      {1, "# vna-measure calibration v2", 109, "line 1: " + notFirst},
      {1, "", 109, "line 1: " + notFirst},
      {0, "", 1, "line 1: the file ends before the plan line"},
      {2, "plan from 1000 to 10000000 points 51 log", 109, "line 2: " + planForm},
      {2, "plan from 1000 to 10000000 points 51 spiral sample-code 6", 109, "line 2: " + planForm},
      {2, "plan from 9 to 10000000 points 51 log sample-code 6", 109,
       "line 2: from \"9\" is not a frequency above 9 Hz and below 99999999.98 Hz"},
      {2, "plan from 1000 to 1e8 points 51 log sample-code 6", 109,
       "line 2: to \"1e8\" is not a frequency above 9 Hz and below 99999999.98 Hz"},
      {2, "plan from 1e7 to 1000 points 51 log sample-code 6", 109, "line 2: from 10000000 Hz is not below to 1000 Hz"},
      {2, "plan from 1000 to 10000000 points 57 log sample-code 6", 109,
       "line 2: points \"57\": the instrument scans 51, 101, 201, 401 or 801 points"},
      {2, "plan from 1000 to 10000000 points 51 log sample-code 7", 109,
       "line 2: sample-code \"7\": the instrument's codes are 6, 13, 27, 55, 111, 223, 447 and 895"},
      {0, "", 2, "line 2: the file ends before the clock line"},
      {3, "clock", 109, "line 3: expected \"clock HZ\""},
      {3, "clock 0", 109, "line 3: clock \"0\" is not a whole number of Hz above 0"},
      {3, "clock 9999999999", 109, "line 3: clock \"9999999999\" is not a whole number of Hz above 0"},
      {4, "ar-gain 1 ar-phase", 109, "line 4: expected \"ar-gain G ar-phase DEGREES\""},
      {4, "ar-gain nan ar-phase 0", 109, "line 4: ar-gain \"nan\" is not a finite number"},
      {4, "ar-gain 1 ar-phase 1e999", 109, "line 4: ar-phase \"1e999\" is not a finite number"},
      {0, "", 4, "line 4: the file ends before the load line"},
      {5, "load 50 0 inf", 109, "line 5: C \"inf\" is not a finite number"},
      {5, "load 50 0,1 0", 109, "line 5: L \"0,1\" is not a finite number"},
      {6, "standard thru", 109, "line 6: unknown standard \"thru\"; the standards are open, short, load and through"},
      {6, "standard \x1b[31mopen-and-much-longer-than-that", 109,
       "line 6: unknown standard \"?[31mopen-and-much-longe...\"; the standards are open, short, load and through"},
      {6, "0 0.25 -1e-3", 109, "line 6: " + standardForm},
      {6, "standard open averaged 1", 109, "line 6: averaged \"1\": a standard is averaged over 2 to 1000 sweeps"},
      {6, "standard open averaged 1001", 109,
       "line 6: averaged \"1001\": a standard is averaged over 2 to 1000 sweeps"},
      {6, "standard open averaged", 109, "line 6: " + standardForm},
      // An averaged standard's lines carry the uncertainties, a plain one's do not.
      {6, "standard open averaged 16", 109,
       "line 7: expected \"index re im u-re u-im\" for point 0 of the open standard"},
      {7, "0 0.25 -1e-3 1e-4 1e-4", 109, "line 7: expected \"index re im\" for point 0 of the open standard"},
      {58, "standard open", 109, "line 58: the open standard is given twice"},
      {7, "0 1", 109, "line 7: expected \"index re im\" for point 0 of the open standard"},
      {8, "2 0 0", 109, "line 8: point \"2\" where point 1 of the open standard belongs"},
      {8, "1 0x1 0", 109, "line 8: re \"0x1\" is not a finite number"},
      {9, "2 0 -nan", 109, "line 9: im \"-nan\" is not a finite number"},
      {57, "-", 109, "line 57: the open standard ends after 50 of 51 points"},
      {0, "", 81, "line 81: the through standard ends after 23 of 51 points"},
      {110, "51 0.25 -1e-3", 110, "line 110: " + standardForm},
  };
  for (const Row& row : rows) {
    std::vector<std::string> lines = good;
    const auto at = lines.begin() + std::max(row.line - 1, 0);
    if (row.line > 0 && row.text == "-") {
      lines.erase(at);
    } else if (row.line > static_cast<int>(good.size())) {
      lines.push_back(row.text);
    } else if (row.line > 0) {
      *at = row.text;
    }
    const CalibrationReading read = readCalibration(joined(lines, row.keep));
    EXPECT_FALSE(read.calibration) << row.reason;
    EXPECT_EQ(read.reason, row.reason);
  }
}

// Cut short anywhere or with any byte changed, the file gives a calibration
// or a reason, never a crash.
TEST(CalibrationFile, AnyDamageGivesACalibrationOrAReason) {
  Calibration c;
  c.plan.points = 51;
  std::mt19937_64 bits(3);
  c.shortCircuit = anyRatios(bits, 51);
  const std::string text = calibrationText(c);
  int read = 0;
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    std::string damaged = text.substr(0, cut);
    if (cut < text.size()) damaged += static_cast<char>(bits() & 0xFF) + text.substr(cut + 1);
    for (const std::string& t : {text.substr(0, cut), damaged}) {
      const CalibrationReading r = readCalibration(t);
      EXPECT_NE(r.calibration.has_value(), r.reason.starts_with("line ")) << cut;
      read += r.calibration.has_value();
    }
  }
  EXPECT_GT(read, 0);
}

TEST(CalibrationFile, SavingRefusesWhatCouldNotBeReadBack) {
  TempDir dir;
  Calibration c;
  c.plan.points = 51;
  c.open = std::vector<std::complex<double>>(401);
  EXPECT_EQ(saveCalibration(dir.path() / "a.cal", c).reason(), "the open standard has 401 values for 51 points");
  c.open = std::vector<std::complex<double>>(51, {0.5, NAN});
  EXPECT_EQ(saveCalibration(dir.path() / "a.cal", c).reason(),
            "the calibration is not fit to be saved: line 7: im \"nan\" is not a finite number");
  // A spread that does not fit its standard, or is negative, is no spread.
  c.open = std::vector<std::complex<double>>(51, {0.5, 0.25});
  c.openSpread = StandardSpread{4, std::vector<double>(50, 1e-3), std::vector<double>(50, 1e-3)};
  EXPECT_EQ(saveCalibration(dir.path() / "a.cal", c).reason(),
            "the open standard's spread has 50 values for 51 points");
  c.openSpread = StandardSpread{4, std::vector<double>(51, -1e-3), std::vector<double>(51, 1e-3)};
  EXPECT_EQ(saveCalibration(dir.path() / "a.cal", c).reason(),
            "the calibration is not fit to be saved: line 7: u-re \"-0.001\": an uncertainty is not negative");
  c.openSpread.reset();
  c.open.reset();
  c.plan.freqMax = c.plan.freqMin;
  EXPECT_FALSE(saveCalibration(dir.path() / "a.cal", c).ok());
  EXPECT_TRUE(dir.entries().empty());
  c.plan.freqMax = 1e6;
  EXPECT_FALSE(saveCalibration(dir.path() / "missing" / "a.cal", c).ok());
}

TEST(CalibrationFile, PlanDifferenceNamesBothPlans) {
  const SweepPlan startUp;
  SweepPlan narrow = startUp;
  narrow.points = 51, narrow.freqMin = 1000, narrow.freqMax = 10e6;
  SweepPlan slower = startUp;
  slower.sampleCode = 13;
  SweepPlan linear = startUp;
  linear.logSweep = false, linear.freqMax = 99999999.97;
  SweepPlan sameFrequencies = startUp;  // entered as center and span, markers elsewhere
  sameFrequencies.centerSpanEntry = true, sameFrequencies.markerIndex1 = 3, sameFrequencies.evenSpacing = false;
  SweepPlan apart = startUp;
  apart.freqMin = std::nextafter(200.0, 300.0);
  const std::vector<std::tuple<SweepPlan, std::string>> rows{
      {startUp, ""},
      {sameFrequencies, ""},
      {narrow,
       "the calibration was measured over 401 log points from 200 Hz to 60000000 Hz; this sweep is 51 log points "
       "from 1000 Hz to 10000000 Hz"},
      {slower,
       "the calibration was measured over 401 log points from 200 Hz to 60000000 Hz at 40 ms per point; this sweep "
       "is 401 log points from 200 Hz to 60000000 Hz at 80 ms per point"},
      {linear,
       "the calibration was measured over 401 log points from 200 Hz to 60000000 Hz; this sweep is 401 linear points "
       "from 200 Hz to 99999999.97 Hz"},
      {apart,
       "the calibration was measured over 401 log points from 200 Hz to 60000000 Hz; this sweep is 401 log points "
       "from 200.00000000000003 Hz to 60000000 Hz"},
  };
  for (const auto& [wanted, message] : rows) EXPECT_EQ(planDifference(startUp, wanted), message);
}

}  // namespace
}  // namespace vna
