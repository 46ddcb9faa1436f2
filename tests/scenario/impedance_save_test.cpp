// A user saving a measurement: a two-port file built by two saves under one
// name, one of another plan refused, and a copy of the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "display/layout.h"
#include "scenario_support.h"

namespace vna {
namespace {

using testing::InstrumentBench;

constexpr int P = 101;
// The dialog's rows: the name, the type and the save button.
constexpr int kNameRow = 8, kTypeRow = 10, kSaveRow = 12;

std::string fileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<double> fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> out;
  for (double v; in >> v;) out.push_back(v);
  return out;
}

struct SaveStory : InstrumentBench {
  // Opens the dialog, names the file, steps the type with the left button
  // `forward` times (and once back and forth with both), saves.
  void save(std::string_view name, int forward) {
    user.click(29, P + 6).waitForText(kNameRow, 10, "file name :");
    user.moveMouse(testing::cellX(30), testing::cellY(kNameRow)).type(std::string(name) + "\r");
    user.click(kTypeRow, 25).click(kTypeRow, 25, 2);  // one step on and back again
    for (int i = 0; i < forward; ++i) user.click(kTypeRow, 25);
    user.click(kSaveRow, 25).moveMouse(600, 730).waitForText(14, P + 2, "freq  Max:");  // back on the main screen
  }
};

TEST_F(SaveStory, S11ThenS22UnderOneNameMakeOneTwoPortFileOfTheScanShown) {
  model.setDevice(Device::seriesRlc(20, 1e-6, 1e-9));
  stopFirstScan(user, screen);
  fiftyOnePoints();
  for (int i = 0; i < 4; ++i) user.click(2, P + 6);  // the mode of |s11| in dB and its angle
  sweep();
  save("meas", 1);  // s2p (s11)
  save("meas", 2);  // s2p (s22): merged into the file of the first save
  ASSERT_NO_FATAL_FAILURE(play());

  EXPECT_EQ(program.control().displayMode, 4);
  const std::vector<std::string> file = testing::fileLines(dir.path() / "meas.s2p");
  ASSERT_EQ(file.size(), 3u + 51u);
  EXPECT_EQ(file[2], "# HZ S DB R 50");
  const ScanRecord& r = program.record();
  for (std::size_t i = 0; i < 51; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    const std::vector<double> f = fields(file[3 + i]);
    ASSERT_EQ(f.size(), 9u);
    EXPECT_NEAR(f[0], r.frequency[i], 1e-6 * r.frequency[i]);
    // What the plot shows as |s11| and its angle, to the file's 7 digits.
    EXPECT_NEAR(f[1], r.trace1[i], 1e-5 * std::fabs(r.trace1[i]) + 1e-6);
    EXPECT_NEAR(f[2], r.trace2[i], 1e-5 * std::fabs(r.trace2[i]) + 1e-6);
    EXPECT_EQ(f[3], 0.0);
    EXPECT_EQ(f[6], 0.0);
    EXPECT_EQ(f[7], f[1]);  // the same scan saved as s22
    EXPECT_EQ(f[8], f[2]);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "spartemp.tmp"));
  EXPECT_EQ(program.fileName(), "meas");
}

TEST_F(SaveStory, AScanOfAnotherPlanIsNotMergedIntoTheFileAndTheScreenSaysWhy) {
  model.setDevice(Device::resistor(100));
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  save("meas", 1);  // s2p (s11) over 51 points
  std::string before;
  user.act([&] { before = fileText(dir.path() / "meas.s2p"); });
  user.click(21, P + 14);  // 51 -> 101 points
  sweep();
  std::string headline, reason;
  user.click(29, P + 6).waitForText(kNameRow, 10, "file name :");
  user.moveMouse(testing::cellX(30), testing::cellY(kNameRow)).type("meas\r");
  user.click(kTypeRow, 25).click(kTypeRow, 25);  // s2p (s22)
  user.click(kSaveRow, 25)
      .waitForText(5, 5, " error : the file is not compatible ")
      .act([&] {
        headline = screen.textAt(5, 1, 60);
        reason = screen.textAt(6, 1, 60);
      })
      .moveMouse(600, 730)
      .waitForText(14, P + 2, "freq  Max:");
  ASSERT_NO_FATAL_FAILURE(play());

  std::printf("%s\n%s\n", headline.c_str(), reason.c_str());
  EXPECT_EQ(reason, "     51 points in the file, 101 in the scan " + std::string(16, ' '));
  EXPECT_EQ(fileText(dir.path() / "meas.s2p"), before);
  EXPECT_EQ(testing::fileLines(dir.path() / "meas.s2p").size(), 3u + 51u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "spartemp.tmp"));
}

TEST_F(SaveStory, TheScreenCopyShowsTheMeasurementScreenNotTheDialog) {
  model.setDevice(Device::resistor(100));
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  save("shot", 3);  // BMP
  std::vector<std::uint8_t> shown;
  user.act([&] {
    const Framebuffer& fb = screen.framebuffer();
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) shown.push_back(fb.pixel(kVisiblePage, x, y));
  });
  ASSERT_NO_FATAL_FAILURE(play());

  const std::string bmp = fileText(dir.path() / "shot.bmp");
  ASSERT_EQ(bmp.size(), 787510u);
  ASSERT_EQ(shown.size(), 1024u * 768u);
  // The Save item is reprinted as the pointer leaves it after the copy was
  // made; everything else must be as the screen shows it.
  const auto saveItem = [](int x, int y) { return x >= 816 && y >= 448 && y < 464; };
  int differing = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      const auto inFile = static_cast<std::uint8_t>(bmp[1078 + static_cast<std::size_t>((767 - y) * 1024 + x)]);
      differing += !saveItem(x, y) && inFile != shown[static_cast<std::size_t>(y * 1024 + x)];
    }
  EXPECT_EQ(differing, 0);
  // The plot's background colour is there: the copy is of the measurement.
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[1078 + (767 - 300) * 1024 + 400]), 7);
}

TEST_F(SaveStory, AScreenCopyThatCannotBeWrittenSaysSoAndTheProgramGoesOn) {
  std::filesystem::create_directory(dir.path() / "shot.bmp");  // a directory where the copy should go
  model.setDevice(Device::resistor(100));
  stopFirstScan(user, screen);
  fiftyOnePoints();
  sweep();
  user.click(29, P + 6).waitForText(kNameRow, 10, "file name :");
  user.moveMouse(testing::cellX(30), testing::cellY(kNameRow)).type("shot\r");
  for (int i = 0; i < 3; ++i) user.click(kTypeRow, 25);
  user.click(kSaveRow, 25).waitForText(5, 5, " error : the file is not saved ");
  user.waitForText(14, P + 2, "freq  Max:");  // the measurement screen again
  ASSERT_NO_FATAL_FAILURE(play());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "shot.bmp"));
}

}  // namespace
}  // namespace vna
