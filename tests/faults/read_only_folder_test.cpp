// A user who works in a folder he cannot write into (a read-only share, a
// system directory) saves with each of the window programs: a one-port file,
// a parameter into an existing two-port file, a screen copy, the reference
// load and the A/R adjustment. Each save says on the screen that it failed
// and why, the program goes on with what it had, and the folder is as it was:
// the same names, the same bytes, no temporary file.
#include <gtest/gtest.h>

#include <string>

#include "files/settings_file.h"
#include "files/touchstone_writer.h"
#include "measurement/sweep_plan.h"
#include "platform/input.h"
#include "tests/faults/read_only_folder.h"
#include "tests/scenario/scenario_support.h"

namespace vna::faults {
namespace {

namespace fs = std::filesystem;
using testing::cellX;
using testing::cellY;
using testing::UserStory;

constexpr int P = 101;
constexpr int kNameRow = 8, kTypeRow = 10, kSaveRow = 12;  // the Save As dialog's rows

std::string text(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// The settings a user had kept before the folder became read-only.
SettingsFile keptSettings() {
  SettingsFile s;
  s.arGain = 1.01f;
  s.arPhase = 0.5f;
  s.refR = 51.0f;
  s.refL = 2e-9f;
  return s;
}

std::string keptSettingsBytes() { return text(encodeSettings(keptSettings())); }

// An older measurement of the same names, over the plan the stories scan
// (the start-up range at 51 points), so that a merge could take the scan.
std::string olderScan(FileOrigin origin, bool twoPort) {
  SweepPlan plan;
  plan.points = 51;
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < 51; ++i) points.push_back({pointFrequency(plan, i), -0.5 * i, 2.0 * i});
  return twoPort ? s2pContent(origin, ParameterSlot::s11, points) : s1pContent(points);
}

// An analyzer on the virtual instrument measuring a 100 ohm resistor, with
// its settings file in the read-only folder, and a user at it.
template <typename Analyzer>
struct Bench {
  explicit Bench(const fs::path& folder) : program(screen, testing::simulatedInstrument(backend, model), folder / kSettingsFileName) {
    model.setDevice(Device::resistor(100));
  }
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model;
  Analyzer program;
  UserStory user{backend, screen};

  // A scan of 51 points, stopped once complete.
  void measure() {
    testing::stopFirstScan(user, screen);
    user.click(21, P + 14).click(21, P + 14);  // 401 -> 801 -> 51 points
    user.act([this] { start = model.acquisitions(); })
        .click(36, P + 4)
        .moveMouse(600, 730)
        .waitFor("a whole scan", [this] { return model.acquisitions() > start + program.plan().points; })
        .type(" ")
        .waitForText(36, P + 2, " Start");
  }
  // Save As with a name and `steps` clicks on the type; what rows 5 and 6
  // said after Save, and back on the measurement screen.
  void saveAs(const std::string& name, int steps, std::string& said, std::string& why) {
    user.click(29, P + 6).waitForText(kNameRow, 10, "file name :");
    user.moveMouse(cellX(30), cellY(kNameRow)).type(name + "\r");
    for (int i = 0; i < steps; ++i) user.click(kTypeRow, 25);
    user.click(kSaveRow, 25).waitForText(5, 5, " error : the file is not saved ");
    user.act([&] { said = screen.textAt(5, 5, 31), why = screen.textAt(6, 5, 70); }, 0.1);
    user.waitForText(14, P + 2, "freq  Max:");
  }
  void play() {
    user.begin(0.0);
    program.run();
    ASSERT_TRUE(user.finished());
  }
  int start = 0;
};

std::string trimmed(const std::string& s) {
  const auto a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

TEST(ReadOnlyFolder, TheImpedanceAnalyzerSaysItCannotSaveAnS1pAndKeepsTheOlderFile) {
  ReadOnlyFolder folder({{"configu", keptSettingsBytes()}, {"dut.s1p", olderScan(FileOrigin::impedanceAnalyzer, false)}});
  folder.run([](const fs::path& dir) {
    Bench<ImpedanceAnalyzer> bench(dir);
    std::string said, why;
    bench.measure();
    bench.saveAs("dut", 0, said, why);  // s1p, the first type offered
    ASSERT_NO_FATAL_FAILURE(bench.play());
    EXPECT_EQ(said, " error : the file is not saved ");
    EXPECT_EQ(trimmed(why), "cannot create a temporary file for dut.s1p: Permission denied");
    EXPECT_EQ(bench.program.fileName(), "dut");
  });
  EXPECT_EQ(folder.changes(), "");
}

TEST(ReadOnlyFolder, TheTransmissionAnalyzerSaysItCannotMergeIntoAnS2pAndKeepsIt) {
  ReadOnlyFolder folder({{"configu", keptSettingsBytes()}, {"att.s2p", olderScan(FileOrigin::transmissionAnalyzer, true)}});
  folder.run([](const fs::path& dir) {
    Bench<TransmissionAnalyzer> bench(dir);
    bench.model.setDevice(Device::through());
    std::string said, why;
    bench.measure();
    bench.saveAs("att", 0, said, why);  // s2p (s21), offered first: into the file of s11
    ASSERT_NO_FATAL_FAILURE(bench.play());
    EXPECT_EQ(said, " error : the file is not saved ");
    EXPECT_EQ(trimmed(why), "cannot create spartemp.tmp: Permission denied");
  });
  EXPECT_EQ(folder.changes(), "");
}

TEST(ReadOnlyFolder, AScreenCopyThatCannotBeWrittenSaysWhyAndLeavesNoFile) {
  ReadOnlyFolder folder({{"configu", keptSettingsBytes()}, {"shot.bmp", "an older copy"}});
  folder.run([](const fs::path& dir) {
    Bench<ImpedanceAnalyzer> bench(dir);
    std::string said, why;
    bench.measure();
    bench.saveAs("shot", 3, said, why);  // s1p, s2p (s11), s2p (s22), BMP
    ASSERT_NO_FATAL_FAILURE(bench.play());
    EXPECT_EQ(said, " error : the file is not saved ");
    EXPECT_EQ(trimmed(why), "cannot create a temporary file for shot.bmp: Permission denied");
  });
  EXPECT_EQ(folder.changes(), "");
}

TEST(ReadOnlyFolder, TheReferenceLoadScreenSaysConfiguCannotBeWrittenAndTheOldLoadStaysInUse) {
  ReadOnlyFolder folder({{"configu", keptSettingsBytes()}});
  folder.run([](const fs::path& dir) {
    Bench<ImpedanceAnalyzer> bench(dir);
    std::string said, shownAfter;
    testing::stopFirstScan(bench.user, bench.screen);
    bench.user.click(40, P + 4).waitForText(2, 40, "Reference Load");
    bench.user.moveMouse(200, 88).click(6, 26).type("75\r");
    bench.user.act([&] { bench.backend.keyAt(bench.backend.now(), extendedKey(key::kF4)); })
        .waitForText(21, 6, std::string(kSettingsNotWritten));
    bench.user.act([&] { said = bench.screen.textAt(21, 6, 46), shownAfter = bench.screen.textAt(6, 28, 8); });
    bench.user.type("\x1b").waitForText(14, P + 2, "freq  Max:");  // the user gives up
    ASSERT_NO_FATAL_FAILURE(bench.play());
    EXPECT_EQ(said, kSettingsNotWritten);
    EXPECT_EQ(shownAfter, "  75.000");  // the screen kept what was typed
    EXPECT_EQ(bench.program.settings().refR, 51.0f);
    EXPECT_EQ(bench.program.settings().refL, 2e-9f);
  });
  EXPECT_EQ(folder.changes(), "");
}

TEST(ReadOnlyFolder, TheAdjustmentScreenSaysConfiguCannotBeWrittenAndTheOldAdjustmentStaysInUse) {
  ReadOnlyFolder folder({{"configu", keptSettingsBytes()}});
  folder.run([](const fs::path& dir) {
    Bench<TransmissionAnalyzer> bench(dir);
    std::string said;
    testing::stopFirstScan(bench.user, bench.screen);
    bench.user.click(40, P + 4).waitForText(1, 23, "Adjustment");
    bench.user.click(4, 10).type("1.02\r").click(5, 10).type("1.5\r");
    bench.user.act([&] { bench.backend.keyAt(bench.backend.now(), extendedKey(key::kF4)); })
        .waitForText(28, 4, std::string(kSettingsNotWritten));
    bench.user.act([&] { said = bench.screen.textAt(28, 4, 46); });
    bench.user.type("\x1b").waitForText(14, P + 2, "freq  Max:");
    ASSERT_NO_FATAL_FAILURE(bench.play());
    EXPECT_EQ(said, kSettingsNotWritten);
    EXPECT_EQ(bench.program.settings().arGain, 1.01f);
    EXPECT_EQ(bench.program.settings().arPhase, 0.5f);
  });
  EXPECT_EQ(folder.changes(), "");
}

}  // namespace
}  // namespace vna::faults
