#include "files/save_as_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless_backend.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Points = std::vector<TouchstonePoint>;

// Points inside the four mouse areas, and one inside none.
constexpr int kNameX = 200, kNameY = 120;
constexpr int kTypeX = 100, kTypeY = 152;
constexpr int kSaveX = 100, kSaveY = 184;
constexpr int kExitX = 60, kExitY = 712;
constexpr int kAwayX = 600, kAwayY = 400;

const std::string kEsc(1, key::kEsc);
const std::string kBlank41(41, ' ');

// Values that encode their point and their column, so a swapped pair shows.
const Points kFirstScan = {{1000, -1, 10}, {2000, -2, 20}, {3000, -3, 30}};
const Points kSecondScan = {{1000, -4, 40}, {2000, -5, 50}, {3000, -6, 60}};

std::string text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class SaveAsDialogTest : public ::testing::Test {
 protected:
  SaveAsDialogTest() : backend(600.0), screen(backend) {}

  // The script runs in steps 0.1 s apart; "\r" in typed text is Enter, "\b" Backspace.
  double next() { return t += 0.1; }
  void key(const std::string& k) { backend.keyAt(next(), k); }
  void keys(std::string_view text) { backend.keysAt(next(), text); }
  void click(int x, int y, int button = 1) { backend.clickAt(next(), x, y, button); }
  void moveTo(int x, int y) { backend.mouseAt(next(), x, y); }
  // A check that never ran (the dialog closed before its time) fails the test.
  void check(std::function<void()> f) {
    ++checksScheduled;
    backend.actionAt(next(), [this, f = std::move(f)] {
      ++checksRun;
      f();
    });
  }
  void TearDown() override { EXPECT_EQ(checksRun, checksScheduled); }
  void typeName(std::string_view name) {
    moveTo(kNameX, kNameY);
    keys(std::string(name) + "\r");
  }
  void clickType(int times, int button = 1) {
    for (int i = 0; i < times; ++i) click(kTypeX, kTypeY, button);
  }

  SaveAsResult run(const SaveAsTable& table = impedanceAnalyzerSaveAs()) {
    const SaveAsRequest request{&table, directory, [this] {
                                  ++pointsAsked;
                                  return scan;
                                }};
    return saveAsDialog(screen, latch, request);
  }

  void expectText(int row, int column, int fg, int bg, std::string_view text) const {
    EXPECT_EQ(screen.textAt(row, column, static_cast<int>(text.size())), text) << "row " << row;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
      const TextCell& c = screen.framebuffer().cell(0, row, column + i);
      EXPECT_EQ(std::make_pair(int{c.fg}, int{c.bg}), std::make_pair(fg, bg)) << "row " << row << " col " << column + i;
    }
  }
  std::string fileText(std::string_view name) const { return text(readFile(dir.path() / name)); }

  TempDir dir;
  fs::path directory = dir.path();
  HeadlessBackend backend;
  Screen screen;
  ClickLatch latch;
  Points scan = kFirstScan;
  int pointsAsked = 0;
  int checksScheduled = 0, checksRun = 0;
  double t = 0;
};

TEST_F(SaveAsDialogTest, OpensOnEachProgramsTextsAndLeavesACleanScreen) {
  screen.printAt(30, 1, "left from the caller");
  check([&] {
    expectText(5, 5, 15, 0, "Save As");
    expectText(8, 10, 15, 0, "file name :");
    expectText(8, 22, 15, 0, " noname ");
    expectText(10, 10, 15, 0, "     type :");
    expectText(10, 22, 15, 0, "  s1p     ");
    expectText(12, 22, 15, 0, "  save    ");
    expectText(19, 3, 6, 0, "s21 = forward insertion gain");
    expectText(22, 3, 6, 0, "BMP file is used to get a copy of the measurement screen");
    EXPECT_EQ(screen.textAt(24, 3, 20), std::string(20, ' '));
    expectText(45, 5, 1, 0, "Exit (Esc)");
    EXPECT_EQ(screen.textAt(30, 1, 20), std::string(20, ' '));
  });
  key(kEsc);
  SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Left);
  EXPECT_EQ(r.name, "noname");
  EXPECT_EQ(screen.textAt(5, 5, 7), "       ");
  EXPECT_EQ(screen.textAt(45, 5, 10), std::string(10, ' '));

  check([&] {
    expectText(10, 22, 15, 0, " s2p(s21) ");
    expectText(25, 3, 6, 0, "added to the existing file .");
  });
  key(kEsc);
  EXPECT_EQ(run(transmissionAnalyzerSaveAs()).kind, SaveKind::s2pS21);

  check([&] {
    expectText(10, 22, 15, 0, " bmp       ");
    for (int row = 19; row <= 25; ++row) EXPECT_EQ(screen.textAt(row, 3, 60), std::string(60, ' ')) << row;
  });
  click(kExitX, kExitY, 2);  // Exit, with either button
  EXPECT_EQ(run(transmissionViewerSaveAs()).outcome, SaveAsOutcome::Left);
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_EQ(pointsAsked, 0);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(SaveAsDialogTest, AreasLightOnlyInsideTheirBoundsAndOnlyWhileHovered) {
  struct Probe {
    int x, y;
    bool name;
  };
  // The name area: 24 < x < 504, 113 <= y <= 128.
  const Probe probes[] = {{25, 113, true},   {503, 128, true},  {24, 120, false},       {504, 120, false},
                          {200, 112, false}, {200, 129, false}, {kAwayX, kAwayY, false}};
  for (const Probe& p : probes) {
    backend.mouseAt(next(), p.x, p.y);
    check([&, p] { expectText(8, 23, p.name ? 0 : 15, p.name ? 15 : 0, "noname" + std::string(35, ' ')); });
  }
  moveTo(kExitX, kExitY);
  check([&] { expectText(45, 5, 0, 1, "Exit (ESC)"); });
  moveTo(kSaveX, kSaveY);
  check([&] {
    expectText(45, 5, 1, 0, "Exit (ESC)");
    expectText(12, 23, 0, 15, "save     ");
  });
  moveTo(kAwayX, kAwayY);
  check([&] { expectText(12, 23, 15, 0, "save     "); });
  key(kEsc);
  EXPECT_EQ(run().outcome, SaveAsOutcome::Left);
}

TEST_F(SaveAsDialogTest, TypeCyclesForwardWithTheLeftButtonAndBackWithTheRight) {
  moveTo(kTypeX, kTypeY);
  check([&] { expectText(10, 23, 0, 15, " s1p      "); });
  clickType(3);
  check([&] { expectText(10, 23, 0, 15, "  BMP     "); });
  clickType(1);
  check([&] { expectText(10, 23, 0, 15, " s1p      "); });  // after the last comes the first
  clickType(1, 2);
  check([&] { expectText(10, 23, 0, 15, "  BMP     "); });  // and back again
  clickType(1, 2);
  check([&] { expectText(10, 23, 0, 15, " s2p (s22)"); });
  // Held over many passes, a press steps once.
  backend.mouseAt(next(), kTypeX, kTypeY, 1);
  t += 0.5;
  check([&] { expectText(10, 23, 0, 15, "  BMP     "); });
  backend.buttonsAt(next(), 0);
  moveTo(kAwayX, kAwayY);
  check([&] { expectText(10, 23, 15, 0, "  BMP     "); });
  key(kEsc);
  EXPECT_EQ(run().kind, SaveKind::bmp);

  clickType(1, 2);
  check([&] { expectText(10, 23, 0, 15, "  BMP     "); });
  key(kEsc);
  EXPECT_EQ(run(transmissionAnalyzerSaveAs()).kind, SaveKind::bmp);

  // A viewer has one kind: its type neither lights up nor changes.
  clickType(2);
  check([&] { expectText(10, 22, 15, 0, "  bmp     "); });
  key(kEsc);
  EXPECT_EQ(run(impedanceViewerSaveAs()).kind, SaveKind::bmp);
}

TEST_F(SaveAsDialogTest, TheNameTakesOnlyItsCharactersUpTo41AndOnlyUnderThePointer) {
  keys("abc");  // the pointer is not on the name
  click(kNameX, kNameY);
  check([&] { expectText(8, 23, 0, 14, "_" + std::string(40, ' ')); });
  keys("x.y z-");
  backend.keyAt(t, extendedKey(72));  // the Up arrow: its scan code reads as "H"
  check([&] {
    expectText(8, 23, 0, 14, "xyz");
    expectText(8, 26, 15, 0, std::string(38, ' '));
  });
  keys("\b\b\b\r");  // emptied: Enter keeps the name there was
  check([&] { expectText(8, 23, 0, 15, "noname" + std::string(35, ' ')); });
  typeName("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopq_");
  check([&] { expectText(8, 23, 0, 15, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmno"); });
  moveTo(kAwayX, kAwayY);
  check([&] { expectText(8, 23, 15, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmno"); });
  key(kEsc);
  EXPECT_EQ(run().name, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmno");

  // Esc while typing leaves at once and keeps the name accepted before.
  typeName("kept");
  moveTo(kNameX, kNameY + 1);
  keys("lost");
  key(kEsc);
  SaveAsResult r = run();
  EXPECT_EQ(r.name, "kept");
  EXPECT_EQ(r.outcome, SaveAsOutcome::Left);
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(SaveAsDialogTest, SavesAOnePortFileUnderTheTypedNameReplacingAnOldOne) {
  writeFile(dir.path() / "dut_1.s1p", {'o', 'l', 'd'});
  typeName("dut_1");
  click(kSaveX, kSaveY);
  const SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Written);
  EXPECT_TRUE(r.saved());
  EXPECT_EQ(r.file, dir.path() / "dut_1.s1p");
  EXPECT_EQ(fileText("dut_1.s1p"),
            "!  kelvane  \r\n! parameter S\r\n# HZ S DB R 50\r\n"
            "1000 -1 10\r\n2000 -2 20\r\n3000 -3 30\r\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut_1.s1p"});
  EXPECT_EQ(screen.textAt(8, 10, 11), std::string(11, ' '));
}

TEST_F(SaveAsDialogTest, TwoPortSavesUnderOneNameBuildUpOneFile) {
  typeName("filter");
  clickType(1);
  click(kSaveX, kSaveY);
  SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Written);
  EXPECT_EQ(fileText("filter.s2p"), s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, kFirstScan));

  scan = kSecondScan;
  typeName("filter");
  clickType(2);
  click(kSaveX, kSaveY);
  r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Merged);
  EXPECT_EQ(r.kind, SaveKind::s2pS22);
  EXPECT_EQ(fileText("filter.s2p"),
            "!  kelvane  \r\n! parameter S\r\n# HZ S DB R 50\r\n"
            "1000 -1 10 0.0 0.0 0.0 0.0 -4 40 \r\n"
            "2000 -2 20 0.0 0.0 0.0 0.0 -5 50 \r\n"
            "3000 -3 30 0.0 0.0 0.0 0.0 -6 60 \r\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"filter.s2p"});

  // The transmission analyzer's new file carries its own header and slot.
  typeName("amp");
  click(kSaveX, kSaveY);
  EXPECT_EQ(run(transmissionAnalyzerSaveAs()).outcome, SaveAsOutcome::Written);
  EXPECT_EQ(fileText("amp.s2p"), s2pContent(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, kSecondScan));
}

TEST_F(SaveAsDialogTest, WarnsOfFilesThatExistUnderEachAcceptedName) {
  for (const char* name : {"probe.s1p", "probe.s2p", "probe.bmp"}) writeFile(dir.path() / name, {'x'});
  fs::create_directory(dir.path() / "other.s1p");  // not a file of that name
  const auto rowsBlank = [&](int from, int to) {
    for (int row = from; row <= to; ++row) EXPECT_EQ(screen.textAt(row, 1, 128), std::string(128, ' ')) << row;
  };
  check([&] { rowsBlank(30, 35); });
  typeName("probe");
  check([&] {
    expectText(30, 5, 15, 0, "The file probe.s1p already exists");
    expectText(31, 5, 15, 0, "If you save as \"s1p\", then the file will be overwritten.");
    expectText(32, 5, 15, 0, "The file probe.bmp already exists");
    expectText(34, 5, 15, 0, "The file probe.s2p already exists");
    expectText(35, 5, 15, 0,
               "If you save as \"s2p(s11) or s2p(s22)\", then the data (s11 or s22) will be added to the file.");
  });
  typeName("other");
  check([&] {
    rowsBlank(30, 35);
    int lit = 0;  // the old texts' pixels are gone too
    for (int y = 29 * 16; y < 35 * 16; ++y)
      for (int x = 0; x < 1024; ++x) lit += screen.readPixel(x, y) != 0;
    EXPECT_EQ(lit, 0);
  });
  key(kEsc);
  run();

  typeName("probe");
  check([&] {
    rowsBlank(30, 31);  // the transmission analyzer writes no one-port file
    expectText(32, 5, 15, 0, "The file probe.bmp already exists");
    expectText(35, 5, 15, 0,
               "If you save as \"s2p(s21) or s2p(s12)\", then the data (s21 or s12) will be added to the file.");
  });
  key(kEsc);
  run(transmissionAnalyzerSaveAs());

  typeName("probe");
  check([&] {
    expectText(32, 5, 15, 0, "The file probe.bmp already exists.");
    expectText(33, 5, 15, 0, "So, this file will be overwritten.");
    rowsBlank(34, 35);
  });
  key(kEsc);
  run(impedanceViewerSaveAs());
}

TEST_F(SaveAsDialogTest, BmpOnlyRequestsTheCopyFromTheCaller) {
  typeName("shot");
  clickType(1, 2);
  click(kSaveX, kSaveY);
  SaveAsResult r = run();
  EXPECT_TRUE(r.bmpRequested());
  EXPECT_FALSE(r.saved());
  EXPECT_EQ(r.file, dir.path() / "shot.bmp");

  click(kSaveX, kSaveY);
  r = run(transmissionViewerSaveAs());
  EXPECT_TRUE(r.bmpRequested());
  EXPECT_EQ(r.file, dir.path() / "noname.bmp");

  key(kEsc);  // the request does not outlive the dialog that made it
  EXPECT_FALSE(run(impedanceViewerSaveAs()).bmpRequested());
  EXPECT_EQ(pointsAsked, 0);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(SaveAsDialogTest, AFailedWriteIsShownUntilAKeyAndNothingIsClaimed) {
  fs::create_directory(dir.path() / "meas.s1p");
  typeName("meas");
  click(kSaveX, kSaveY);
  check([&] {
    expectText(5, 5, 0, 6, " error : the file is not saved ");
    EXPECT_NE(screen.textAt(6, 5, 60).find("meas.s1p"), std::string::npos);
  });
  key(kEsc);  // read by the message, not left for the caller
  SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Failed);
  EXPECT_FALSE(r.saved());
  EXPECT_FALSE(r.failure.empty());
  EXPECT_LT(backend.now(), t + 0.1);
  EXPECT_EQ(screen.readKey(), "");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"meas.s1p"});
  EXPECT_TRUE(fs::is_directory(dir.path() / "meas.s1p"));

  // Into a directory that is not there; without a key the message stands 3.5 s.
  directory = dir.path() / "missing";
  clickType(1);
  click(kSaveX, kSaveY);
  const double saveAt = t;
  check([&] { expectText(5, 5, 0, 6, " error : the file is not saved "); });
  r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Failed);
  EXPECT_GE(backend.now(), saveAt + 3.5);
  EXPECT_LT(backend.now(), saveAt + 3.7);
  EXPECT_FALSE(fs::exists(directory));
  t = backend.now();

  // An empty scan never replaces a file with a header alone.
  directory = dir.path();
  writeFile(dir.path() / "noname.s1p", {'o', 'l', 'd'});
  scan.clear();
  click(kSaveX, kSaveY);
  EXPECT_EQ(run().outcome, SaveAsOutcome::Failed);
  EXPECT_EQ(fileText("noname.s1p"), "old");
}

TEST_F(SaveAsDialogTest, AnIncompatibleTwoPortFileIsRefusedAndKeptByteForByte) {
  // One-port data under a two-port name.
  const std::string oneport = "! from elsewhere\r\n# HZ S DB R 50\r\n1000 -1 10\r\n2000 -2 20\r\n";
  writeFile(dir.path() / "dut.s2p", std::vector<std::uint8_t>(oneport.begin(), oneport.end()));
  typeName("dut");
  clickType(2);
  click(kSaveX, kSaveY);
  check([&] { expectText(5, 5, 0, 6, " error : the file is not compatible "); });
  key("y");
  const SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Failed);
  EXPECT_EQ(r.failure, kNotCompatible);
  EXPECT_EQ(fileText("dut.s2p"), oneport);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut.s2p"});
}

TEST_F(SaveAsDialogTest, AScanSavedIntoAFileOfAnotherPlanIsRefusedSayingWhere) {
  // s11 saved over another plan: its third point at 4 kHz, the scan's at 3 kHz.
  const std::string other = s2pContent(FileOrigin::impedanceAnalyzer, ParameterSlot::s11,
                                       Points{{1000, -7, 70}, {2000, -8, 80}, {4000, -9, 90}});
  writeFile(dir.path() / "dut.s2p", std::vector<std::uint8_t>(other.begin(), other.end()));
  typeName("dut");
  clickType(2);
  click(kSaveX, kSaveY);
  check([&] {
    expectText(5, 5, 0, 6, " error : the file is not compatible ");
    expectText(6, 5, 0, 6, " line 6: 4000 Hz in the file, 3000 Hz in the scan ");
  });
  key("y");
  SaveAsResult r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Failed);
  EXPECT_EQ(r.failureDetail, "line 6: 4000 Hz in the file, 3000 Hz in the scan");
  EXPECT_EQ(fileText("dut.s2p"), other);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut.s2p"});

  // A file of more points than the scan would lose its tail: refused as well,
  // and the message stands its 3.5 s without a key.
  const std::string longer = other + "8000 -1 10 0.0 0.0 0.0 0.0 0.0 0.0 \r\n";
  writeFile(dir.path() / "dut.s2p", std::vector<std::uint8_t>(longer.begin(), longer.end()));
  typeName("dut");
  clickType(1);
  click(kSaveX, kSaveY);
  const double saveAt = t;
  check([&] {
    expectText(5, 5, 0, 6, " error : the file is not compatible ");
    expectText(6, 5, 0, 6, " 4 points in the file, 3 in the scan ");
  });
  r = run();
  EXPECT_EQ(r.outcome, SaveAsOutcome::Failed);
  EXPECT_GE(backend.now(), saveAt + 3.5);
  EXPECT_EQ(fileText("dut.s2p"), longer);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"dut.s2p"});
}

}  // namespace
}  // namespace vna
