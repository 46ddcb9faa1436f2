#include "files/file_list_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless_backend.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;

const std::string kEsc(1, key::kEsc);

// Pixel points on the screen: a name's row, the scroll bar's parts, Exit,
// and a place that is none of them.
constexpr int kNameX = 600;
constexpr int rowY(int row) {
  return 16 * (row - 1) + 8;
}
constexpr int kBarX = 457;
constexpr int kUpY = 26, kDownY = 734;
constexpr int kExitX = 100, kExitY = 728;
constexpr int kAwayX = 300, kAwayY = 400;

class FileListScreenTest : public ::testing::Test {
 protected:
  FileListScreenTest() : backend(600.0), screen(backend) {}

  double next() { return t += 0.1; }
  void moveTo(int x, int y, int buttons = 0) { backend.mouseAt(next(), x, y, buttons); }
  void click(int x, int y, int button = 1) { backend.clickAt(next(), x, y, button); }
  void wheel(int notches) { backend.wheelAt(next(), notches); }
  void key(const std::string& k) { backend.keyAt(next(), k); }
  // A check that never ran (the screen ended before its time) fails the test.
  void check(std::function<void()> f) {
    ++checksScheduled;
    backend.actionAt(next(), [this, f = std::move(f)] {
      ++checksRun;
      f();
    });
  }
  void TearDown() override { EXPECT_EQ(checksRun, checksScheduled); }

  void touch(const fs::path& name) { writeFile(dir.path() / name, {'x'}); }
  // f000.s1p, f001.s1p, ...: the i-th by name is the i-th made, whatever
  // order the directory keeps them in.
  static std::string madeName(int i, const std::string& extension = ".s1p") {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d", i);
    return name + extension;
  }
  void makeFiles(int count, const std::string& extension = ".s1p", const fs::path& folder = {}) {
    for (int i = 0; i < count; ++i) touch(folder / madeName(i, extension));
  }

  std::optional<std::string> run(const FileListTable& viewer = impedanceViewerFiles()) {
    return chooseFile(screen, latch, viewer, dir.path());
  }

  void expectText(int row, int column, int fg, int bg, std::string_view text) const {
    EXPECT_EQ(screen.textAt(row, column, static_cast<int>(text.size())), text) << "row " << row;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
      const TextCell& c = screen.framebuffer().cell(0, row, column + i);
      EXPECT_EQ(std::make_pair(int{c.fg}, int{c.bg}), std::make_pair(fg, bg)) << "row " << row << " col " << column + i;
    }
  }
  std::string nameAt(int row, int length) const { return screen.textAt(row, 63, length); }
  int pixel(int x, int y) const { return screen.framebuffer().pixel(0, x, y); }
  // The first and last pixel row of the thumb, down the middle of the track.
  std::pair<int, int> thumb() const {
    int first = -1, last = -1;
    for (int y = 33; y <= 727; ++y) {
      if (pixel(kBarX, y) == 0) continue;
      if (first < 0) first = y;
      last = y;
    }
    return {first, last};
  }
  // Row 2 shows the file at index `top`, and the thumb stands where it should.
  void expectTop(int top, int thumbTop, int thumbBottom) {
    check([=, this] {
      EXPECT_EQ(nameAt(2, 8), madeName(top));
      EXPECT_EQ(nameAt(46, 8), madeName(top + 44));
      EXPECT_EQ(thumb(), std::make_pair(thumbTop, thumbBottom)) << "top " << top;
    });
  }

  TempDir dir;
  HeadlessBackend backend;
  Screen screen;
  ClickLatch latch;
  int checksScheduled = 0, checksRun = 0;
  double t = 0;
};

TEST_F(FileListScreenTest, EachViewersTextsAndExitWithEitherButton) {
  touch("only.s2p");
  moveTo(kExitX, kExitY);
  check([&] {
    expectText(6, 8, 14, 0, "      A Network Analyzer Program    ");
    expectText(8, 8, 14, 0, "            to display ");
    expectText(10, 8, 14, 0, "  Z, R, L, C, S11, S22  measurements.");
    expectText(20, 8, 6, 0, "   Choose the file to be displayed");
    expectText(46, 8, 0, 1, " Exit (Esc) ");
    expectText(2, 63, 15, 0, "only.s2p");
    const Rgb grey{160, 160, 160};
    EXPECT_EQ(screen.getPalette(16), grey);
  });
  moveTo(kAwayX, kAwayY);
  check([&] { expectText(46, 8, 1, 0, " Exit (Esc) "); });
  click(57, 721);  // the zone's corner
  EXPECT_EQ(run(), std::nullopt);

  check([&] {
    expectText(6, 8, 14, 0, "        A Network Analyzer Program");
    expectText(9, 8, 14, 0, "to display filters and amplifiers measurements.");
    expectText(20, 8, 6, 0, "   Choose the file to be displayed");
    EXPECT_EQ(screen.textAt(8, 8, 30), std::string(30, ' '));
  });
  click(151, 735, 2);
  EXPECT_EQ(run(transmissionViewerFiles()), std::nullopt);
  EXPECT_LT(backend.now(), t + 0.1);
}

TEST_F(FileListScreenTest, WithoutAFileOnlyEscLeaves) {
  touch("one_port.s1p");
  fs::create_directory(dir.path() / "folder.s2p");
  check([&] {
    expectText(26, 8, 0, 6, " In the current directory there is no file ");
    expectText(27, 8, 0, 6, " with the s2p extension                    ");
  });
  click(kExitX, kExitY);
  key("\r");
  key("q");
  check([&] { expectText(27, 8, 0, 6, " with the s2p extension                    "); });
  key(kEsc);
  const double escAt = t;
  EXPECT_EQ(run(transmissionViewerFiles()), std::nullopt);
  EXPECT_NEAR(backend.now(), escAt, 0.02);

  fs::remove(dir.path() / "one_port.s1p");
  check([&] { expectText(27, 8, 0, 6, " with the s1p or s2p extension             "); });
  key(kEsc);
  EXPECT_EQ(run(), std::nullopt);
}

TEST_F(FileListScreenTest, ListsTheNormalFilesEachViewerCanLoadInAnyCaseUpToItsCapacity) {
  for (const char* name : {"j.s1p", "D.S1p", "b.s2p", "B.S2P", "c.s2p", "e.s3p", "f.snp", "g.txt", "h.s2p.bak", "s2p"})
    touch(name);
  fs::create_directory(dir.path() / "i.s2p");
  fs::create_symlink(dir.path() / "j.s1p", dir.path() / "a.s1p");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "k.s2p");
  // By name, capitals among the small letters; of two names alike but for
  // their case, the capitals first.
  EXPECT_EQ(listedFiles(impedanceViewerFiles(), dir.path()),
            (std::vector<std::string>{"a.s1p", "B.S2P", "b.s2p", "c.s2p", "D.S1p", "j.s1p"}));
  EXPECT_EQ(listedFiles(transmissionViewerFiles(), dir.path()), (std::vector<std::string>{"B.S2P", "b.s2p", "c.s2p"}));
  EXPECT_TRUE(listedFiles(impedanceViewerFiles(), dir.path() / "missing").empty());

  // The first 301 (or 401) by name of all 410, made from the last one down
  // so that no directory keeps them in the order of their names by chance.
  fs::create_directory(dir.path() / "many");
  for (int i = 409; i >= 0; --i) touch(fs::path("many") / madeName(i, ".s2p"));
  const std::vector<std::string> impedanceList = listedFiles(impedanceViewerFiles(), dir.path() / "many");
  const std::vector<std::string> transmissionList = listedFiles(transmissionViewerFiles(), dir.path() / "many");
  ASSERT_EQ(impedanceList.size(), 301u);
  ASSERT_EQ(transmissionList.size(), 401u);
  for (int i = 0; i < 301; ++i) EXPECT_EQ(impedanceList[static_cast<std::size_t>(i)], madeName(i, ".s2p"));
  for (int i = 0; i < 401; ++i) EXPECT_EQ(transmissionList[static_cast<std::size_t>(i)], madeName(i, ".s2p"));
}

TEST_F(FileListScreenTest, FortyFiveFilesFitWithoutABarAndTheWheelDoesNothing) {
  makeFiles(45);
  moveTo(kAwayX, kAwayY);
  wheel(3);
  check([&] {
    for (int row = 2; row <= 46; ++row) EXPECT_EQ(nameAt(row, 8), madeName(row - 2));
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 440; x <= 470; ++x) ASSERT_EQ(pixel(x, y), 0) << x << "," << y;
  });
  click(kNameX, rowY(46));
  EXPECT_EQ(run(), madeName(44));
}

TEST_F(FileListScreenTest, WheelAndArrowsScrollOneNameAtATimeWithinTheList) {
  makeFiles(100);  // L = 99: the thumb is 44 * 694 / 99 = 308 pixels tall
  moveTo(kAwayX, kAwayY);
  check([&] {
    EXPECT_EQ(pixel(kBarX, 33), 15);   // lit from the top
    EXPECT_EQ(pixel(kBarX, 200), 16);  // grey inside
    EXPECT_EQ(pixel(kBarX, 340), 9);   // shaded
    EXPECT_EQ(pixel(kBarX, 341), 8);   // dark at the bottom
    EXPECT_EQ(pixel(451, 21), 16);     // the arrow boxes are raised as well
    EXPECT_EQ(pixel(451, 729), 16);
  });
  wheel(-2);
  expectTop(0, 33, 341);
  wheel(3);
  expectTop(3, 54, 362);

  // Held on the down arrow for 0.8 s: the press and two repeats.
  backend.mouseAt(next(), kBarX, kDownY, 1);
  t += 0.8;
  backend.buttonsAt(t, 0);
  t += 0.3;
  expectTop(6, 75, 383);

  wheel(1000);
  expectTop(55, 418, 726);
  click(kBarX, kUpY);
  expectTop(54, 411, 719);
  wheel(-1000);
  expectTop(0, 33, 341);
  key(kEsc);
  EXPECT_EQ(run(), std::nullopt);
}

TEST_F(FileListScreenTest, TheThumbFollowsThePointersTravelSinceThePress) {
  makeFiles(100);
  moveTo(kBarX, 100, 1);  // on the thumb (33 to 341)
  moveTo(kBarX, 350, 1);  // 250 pixels: 250 * 99 / 694 = 35 names (36 over 100 files)
  expectTop(35, 278, 586);
  moveTo(kBarX, 120, 1);  // 20 pixels from the press: 2 names
  expectTop(2, 47, 355);
  moveTo(kBarX, 50, 1);  // above the press: clamped to the start
  expectTop(0, 33, 341);
  moveTo(kBarX, 760, 1);  // clamped to the end
  expectTop(55, 418, 726);
  moveTo(kBarX, 100);  // let go: moving no longer drags
  expectTop(55, 418, 726);
  moveTo(kBarX, 200, 1);  // a press in the track above the thumb (418 to 726) does nothing
  moveTo(kBarX, 300, 1);
  expectTop(55, 418, 726);
  key(kEsc);
  EXPECT_EQ(run(), std::nullopt);
}

TEST_F(FileListScreenTest, HoverLightsTheNameUnderThePointerAndAClickChoosesIt) {
  makeFiles(60);
  moveTo(kNameX, rowY(5));
  check([&] { expectText(5, 63, 0, 15, madeName(3)); });
  moveTo(kNameX, rowY(6));
  check([&] {
    expectText(5, 63, 15, 0, madeName(3));
    expectText(6, 63, 0, 15, madeName(4));
  });
  moveTo(880, rowY(6));  // right of the names
  check([&] { expectText(6, 63, 15, 0, madeName(4)); });
  moveTo(kNameX, 16);  // row 2 starts at 16, its zone at 17
  check([&] { expectText(2, 63, 15, 0, madeName(0)); });
  moveTo(481, 17);
  check([&] { expectText(2, 63, 0, 15, madeName(0)); });
  wheel(7);  // the list moves under a pointer that stays
  check([&] {
    expectText(2, 63, 0, 15, madeName(7));
    expectText(3, 63, 15, 0, madeName(8));
  });
  click(kNameX, rowY(10), 2);  // the right button chooses nothing
  click(kNameX, rowY(10));
  EXPECT_EQ(run(), madeName(15));
}

TEST_F(FileListScreenTest, NamesTheFontCannotHoldAreShownCutOrMarkedAndChosenWhole) {
  const std::string longName = std::string(70, 'x') + ".s2p";
  const std::string accented = "caf\xC3\xA9.s1p";
  const std::string strayByte = "b\xFF.s1p";
  for (const std::string& name : {longName, accented, strayByte}) touch(name);
  const struct {
    const std::string& name;
    std::string shown;
  } cases[] = {
      {strayByte, "b?.s1p    "},
      {accented, "caf?.s1p  "},
      {longName, std::string(65, 'x') + "\xAF"},
  };
  // By name: "b?", "caf?", "xx...".
  int row = 1;
  for (const auto& c : cases) {
    ++row;
    check([&, row] { EXPECT_EQ(nameAt(row, static_cast<int>(c.shown.size())), c.shown); });
    click(kNameX, rowY(row));
    EXPECT_EQ(run(), c.name);
  }
}

TEST_F(FileListScreenTest, NotCompatibleStaysThreeSecondsOrUntilAKeyWhichItTakes) {
  backend.keyAt(0, "a");  // typed before the message: does not cut it short
  backend.actionAt(2.9, [&] {
    ++checksRun;
    expectText(5, 5, 0, 6, " error : the file is not compatible  ");
    expectText(6, 5, 0, 6, " line 7: 5 numbers where a two-port line has 9 ");
    expectText(7, 5, 0, 6, " Wait ");
  });
  ++checksScheduled;
  showNotCompatible(screen, " line 7: 5 numbers where a two-port line has 9 ");
  EXPECT_NEAR(backend.now(), 3.0, 0.02);

  const double start = backend.now();
  backend.keyAt(start + 1.0, kEsc);
  showNotCompatible(screen, " no data: the file holds no points ");
  EXPECT_NEAR(backend.now(), start + 1.0, 0.02);
  EXPECT_EQ(screen.readKey(), "");
}

}  // namespace
}  // namespace vna
