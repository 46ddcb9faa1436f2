#include "files/file_list_screen.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <system_error>
#include <utility>

#include "display/layout.h"

namespace vna {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- the two viewers

constexpr std::string_view kChoose = "   Choose the file to be displayed";
constexpr std::string_view kNoFileFirst = " In the current directory there is no file ";

constexpr std::array<StartScreenLine, 4> kImpedanceLines{{
    {6, 14, "      A Network Analyzer Program    "},
    {8, 14, "            to display "},
    {10, 14, "  Z, R, L, C, S11, S22  measurements."},
    {20, 6, kChoose},
}};
constexpr std::array<StartScreenLine, 3> kTransmissionLines{{
    {6, 14, "        A Network Analyzer Program"},
    {9, 14, "to display filters and amplifiers measurements."},
    {20, 6, kChoose},
}};

// Only the kinds the Touchstone reader takes: a ".s3p" or ".snp" would match
// a looser "*.s*p" and then fail to load.
constexpr std::array<std::string_view, 2> kOneAndTwoPort{".s1p", ".s2p"};
constexpr std::array<std::string_view, 1> kTwoPort{".s2p"};

constexpr FileListTable kImpedanceViewerTable{
    .lines = kImpedanceLines,
    .extensions = kOneAndTwoPort,
    .capacity = 301,
    .noFileFirst = kNoFileFirst,
    .noFileSecond = " with the s1p or s2p extension             ",
    .kinds = "a .s1p or .s2p file",
};
constexpr FileListTable kTransmissionViewerTable{
    .lines = kTransmissionLines,
    .extensions = kTwoPort,
    .capacity = 401,
    .noFileFirst = kNoFileFirst,
    .noFileSecond = " with the s2p extension                    ",
    .kinds = "a .s2p file",
};

// ---------------------------------------------------------------- layout

// Palette roles on this screen.
constexpr int kBlack = 0;
constexpr int kExitColour = 1;
constexpr int kErrorBack = 6;
constexpr int kEdgeDark = 8;
constexpr int kEdgeShade = 9;
constexpr int kTextColour = 15;
constexpr int kBarGrey = kScrollBarEntry.index;

constexpr int kTitleColumn = 8;
constexpr int kNoFileRow = 26;
constexpr int kExitRow = 46;
constexpr std::string_view kExitLabel = " Exit (Esc) ";

// The list: one name per row from row 2, at most 45 at a time.
constexpr int kFirstNameRow = 2;
constexpr int kNameColumn = 63;
constexpr int kVisibleNames = 45;
constexpr std::size_t kNameRoom = kTextColumns - kNameColumn + 1;  // 66 cells to the right edge
constexpr char kCutMark = static_cast<char>(0xAF);                 // a "»" in code page 437

constexpr int kPassMs = 15;
constexpr double kRepeatSeconds = 0.3;  // an arrow held down scrolls again this often
constexpr int kNotCompatibleMs = 3000;
constexpr int kMessagePollMs = 15;
constexpr std::string_view kNotCompatibleText = " error : the file is not compatible  ";

// A mouse zone, bounds included.
struct Zone {
  int x1, y1, x2, y2;
  constexpr bool contains(const MouseState& m) const { return m.x >= x1 && m.x <= x2 && m.y >= y1 && m.y <= y2; }
};
constexpr Zone kExitZone{57, 721, 151, 735};
constexpr Zone kUpArrow{450, 20, 465, 32};
constexpr Zone kDownArrow{450, 728, 465, 740};
// The track between the arrows; the thumb's place in it is worked out over
// 694 pixels, with integer divisions.
constexpr int kTrackTop = 33, kTrackBottom = 727;
constexpr int kTrackSpan = 694;
// Names light up from y 17 down to the bottom of the last name shown.
constexpr int kNamesLeft = 481, kNamesRight = 879, kNamesTop = 17;

bool isEsc(const std::string& key) {
  return key.size() == 1 && key[0] == key::kEsc;
}
bool leftHeld(const MouseState& m) {
  return m.buttons > 0 && (m.buttons & 1);
}

bool endsWithIgnoringCase(std::string_view name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), name.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                    });
}

// "Filter.s2p" between "amp.s2p" and "gain.s2p": letters compared without
// their case, then the bytes, so that no two names compare equal.
bool byName(const std::string& a, const std::string& b) {
  const auto folded = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  const auto lowerFirst = [&](char x, char y) { return folded(x) < folded(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerFirst)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerFirst)) return false;
  return a < b;
}

// The bytes of the UTF-8 character that starts at `i`, 1 for a byte that
// starts none, so that a stray byte is passed over alone.
std::size_t characterLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (i + length > text.size()) return 1;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  return length;
}

// A box lit from the top left: filled with the scroll bar's grey, light
// edges above and left, a dark edge and a softer shade inside it below and
// right.
void raisedBox(Screen& s, int x1, int y1, int x2, int y2) {
  s.fillBox(x1, y1, x2, y2, kBarGrey);
  s.line(x1, y1, x2, y1, kTextColour);
  s.line(x1, y1, x1, y2, kTextColour);
  s.line(x1 + 1, y2 - 1, x2 - 1, y2 - 1, kEdgeShade);
  s.line(x2 - 1, y1 + 1, x2 - 1, y2 - 1, kEdgeShade);
  s.line(x1, y2, x2, y2, kEdgeDark);
  s.line(x2, y1, x2, y2, kEdgeDark);
}

// An arrow box: raised, with a black triangle pointing `up` or down.
void arrowBox(Screen& s, const Zone& z, bool up) {
  raisedBox(s, z.x1, z.y1, z.x2, z.y2);
  const int middle = (z.x1 + z.x2) / 2, tip = up ? z.y1 + 3 : z.y2 - 3;
  for (int i = 0; i < 5; ++i) {
    const int y = up ? tip + i : tip - i;
    s.line(middle - i, y, middle + 1 + i, y, kBlack);
  }
}

// ---------------------------------------------------------------- the screen

class FileListScreen {
 public:
  FileListScreen(Screen& screen, ClickLatch& latch, const FileListTable& table, std::vector<std::string> names)
      : s_(screen), latch_(latch), table_(table), names_(std::move(names)) {}

  std::optional<std::string> run();

 private:
  enum class Arrow { None, Up, Down };

  int count() const { return static_cast<int>(names_.size()); }
  int last() const { return count() - 1; }  // L, the index of the last file
  bool hasBar() const { return count() > kVisibleNames; }
  int maxTop() const { return std::max(0, last() - (kVisibleNames - 1)); }
  int shownCount() const { return std::min(kVisibleNames, count() - top_); }
  int thumbTop() const { return kTrackTop + top_ * kTrackSpan / last(); }
  int thumbBottom() const { return thumbTop() + (kVisibleNames - 1) * kTrackSpan / last(); }
  bool overThumb(const MouseState& m) const {
    return hasBar() && m.x >= kUpArrow.x1 && m.x <= kUpArrow.x2 && m.y >= thumbTop() && m.y <= thumbBottom();
  }
  // The index of the name under the pointer, if any.
  std::optional<int> nameUnder(const MouseState& m) const;

  void drawTexts();
  void waitForEsc();
  void drawNames();
  void drawName(int index, bool lit);
  void drawTrack();
  void drawExit(bool lit);

  void setTop(int top);
  void scroll(int entries) { setTop(top_ + entries); }
  void followWheel(const MouseState& m);
  void followHeldButton(const MouseState& m);
  void followHover(const MouseState& m);
  // What a new press does; the name chosen, or the Exit button, ends the screen.
  enum class Outcome { Stay, Leave, Chosen };
  Outcome press(const MouseState& m);

  Screen& s_;
  ClickLatch& latch_;
  const FileListTable& table_;
  std::vector<std::string> names_;
  int top_ = 0;
  std::optional<int> lit_;  // the name shown highlighted
  bool exitLit_ = false;
  std::optional<int> lastWheel_;
  Arrow held_ = Arrow::None;
  double nextRepeat_ = 0;
  bool dragging_ = false;
  int dragTop0_ = 0, dragY0_ = 0;
};

std::optional<std::string> FileListScreen::run() {
  s_.setPages(kVisiblePage, kVisiblePage);
  s_.setPalette(kScrollBarEntry.index, kScrollBarEntry.r, kScrollBarEntry.g, kScrollBarEntry.b);
  drawTexts();
  if (names_.empty()) {
    waitForEsc();
    return std::nullopt;
  }
  drawNames();
  if (hasBar()) {
    arrowBox(s_, kUpArrow, true);
    arrowBox(s_, kDownArrow, false);
    drawTrack();
  }
  for (;;) {
    const std::string key = s_.readKey();
    if (isEsc(key)) return std::nullopt;
    const MouseState m = s_.readMouse();
    latch_.release(m.buttons);
    if (kExitZone.contains(m) != exitLit_) drawExit(!exitLit_);
    followWheel(m);
    followHeldButton(m);
    followHover(m);
    switch (press(m)) {
      case Outcome::Stay: break;
      case Outcome::Leave: return std::nullopt;
      case Outcome::Chosen: return names_[static_cast<std::size_t>(*lit_)];
    }
    s_.sleep(kPassMs);
  }
}

void FileListScreen::drawTexts() {
  s_.color(kTextColour, kBlack);
  s_.clearPage();
  for (const StartScreenLine& line : table_.lines) {
    s_.color(line.colour, kBlack);
    s_.printAt(line.row, kTitleColumn, line.text);
  }
  drawExit(false);
}

// Nothing to choose: the message stays until Esc, and nothing else is
// listened to, the Exit button included.
void FileListScreen::waitForEsc() {
  s_.color(kBlack, kErrorBack);
  s_.printAt(kNoFileRow, kTitleColumn, table_.noFileFirst);
  s_.printAt(kNoFileRow + 1, kTitleColumn, table_.noFileSecond);
  s_.color(kTextColour, kBlack);
  while (!isEsc(s_.readKey())) s_.sleep(kPassMs);
}

// The visible names, each row blanked to the screen's edge so that a
// shorter name leaves nothing of a longer one behind.
void FileListScreen::drawNames() {
  s_.color(kTextColour, kBlack);
  for (int i = 0; i < shownCount(); ++i) {
    const std::string shown = shownName(names_[static_cast<std::size_t>(top_ + i)]);
    s_.printAt(kFirstNameRow + i, kNameColumn, shown);
    s_.print(std::string(kNameRoom - shown.size(), ' '));
  }
  lit_.reset();
}

void FileListScreen::drawName(int index, bool lit) {
  lit ? s_.color(kBlack, kTextColour) : s_.color(kTextColour, kBlack);
  s_.printAt(kFirstNameRow + index - top_, kNameColumn, shownName(names_[static_cast<std::size_t>(index)]));
  s_.color(kTextColour, kBlack);
}

// The track and the thumb; the arrows never change.
void FileListScreen::drawTrack() {
  s_.fillBox(kUpArrow.x1, kTrackTop, kUpArrow.x2, kTrackBottom, kBlack);
  s_.line(kUpArrow.x1, kTrackTop, kUpArrow.x1, kTrackBottom, kEdgeShade);
  s_.line(kUpArrow.x2, kTrackTop, kUpArrow.x2, kTrackBottom, kEdgeShade);
  raisedBox(s_, kUpArrow.x1, thumbTop(), kUpArrow.x2, thumbBottom());
}

void FileListScreen::drawExit(bool lit) {
  exitLit_ = lit;
  lit ? s_.color(kBlack, kExitColour) : s_.color(kExitColour, kBlack);
  s_.printAt(kExitRow, kTitleColumn, kExitLabel);
  s_.color(kTextColour, kBlack);
}

std::optional<int> FileListScreen::nameUnder(const MouseState& m) const {
  const int bottom = rowTop(kFirstNameRow + shownCount()) - 1;
  if (m.x < kNamesLeft || m.x > kNamesRight || m.y < kNamesTop || m.y > bottom) return std::nullopt;
  return top_ + m.y / kCellHeight + 1 - kFirstNameRow;
}

// The list and the bar change only when `top` does.
void FileListScreen::setTop(int top) {
  top = std::clamp(top, 0, maxTop());
  if (top == top_) return;
  top_ = top;
  drawNames();
  drawTrack();
}

// A notch away from the user moves the list one name towards its end. The
// wheel is followed only inside the window, where its counter is valid; the
// first reading there is where it starts from.
void FileListScreen::followWheel(const MouseState& m) {
  if (!m.inside) return;
  if (lastWheel_ && m.wheel != *lastWheel_) scroll(m.wheel - *lastWheel_);
  lastWheel_ = m.wheel;
}

// An arrow held down scrolls again every 300 ms; the thumb held follows the
// pointer's travel since the press. Letting go ends both.
void FileListScreen::followHeldButton(const MouseState& m) {
  if (!leftHeld(m)) {
    held_ = Arrow::None;
    dragging_ = false;
    return;
  }
  if (held_ != Arrow::None && s_.timer() >= nextRepeat_) {
    scroll(held_ == Arrow::Up ? -1 : 1);
    nextRepeat_ += kRepeatSeconds;
  }
  if (dragging_) setTop(dragTop0_ + (m.y - dragY0_) * last() / kTrackSpan);
}

void FileListScreen::followHover(const MouseState& m) {
  const std::optional<int> under = nameUnder(m);
  if (under == lit_) return;
  if (lit_) drawName(*lit_, false);
  if (under) drawName(*under, true);
  lit_ = under;
}

FileListScreen::Outcome FileListScreen::press(const MouseState& m) {
  const bool onUp = hasBar() && kUpArrow.contains(m), onDown = hasBar() && kDownArrow.contains(m);
  const bool onThumb = overThumb(m);
  if (!exitLit_ && !lit_ && !onUp && !onDown && !onThumb) return Outcome::Stay;
  const Click click = latch_.take(m.buttons);
  if (click == Click::None) return Outcome::Stay;
  if (exitLit_) return Outcome::Leave;
  if (click != Click::Left) return Outcome::Stay;
  if (lit_) return Outcome::Chosen;
  if (onThumb) {
    dragging_ = true;
    dragTop0_ = top_;
    dragY0_ = m.y;
    return Outcome::Stay;
  }
  held_ = onUp ? Arrow::Up : Arrow::Down;
  nextRepeat_ = s_.timer() + kRepeatSeconds;
  scroll(onUp ? -1 : 1);
  return Outcome::Stay;
}

}  // namespace

const FileListTable& impedanceViewerFiles() { return kImpedanceViewerTable; }
const FileListTable& transmissionViewerFiles() { return kTransmissionViewerTable; }

bool listsName(const FileListTable& table, std::string_view name) {
  return std::any_of(table.extensions.begin(), table.extensions.end(),
                     [&](std::string_view ending) { return endsWithIgnoringCase(name, ending); });
}

// A name as the list shows it. The names are bytes, most often UTF-8, and
// the font is code page 437: printable ASCII is shown as it is and any other
// character as one "?", so that a name keeps the length the user knows. A
// name longer than the room to the screen's edge is cut, its last cell a
// "»" so that it is seen to go on; the name chosen is the whole one.
std::string shownName(std::string_view name) {
  std::string shown;
  for (std::size_t i = 0; i < name.size();) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      shown.push_back(name[i]);
      ++i;
    } else {
      shown.push_back('?');
      i += characterLength(name, i);
    }
  }
  if (shown.size() > kNameRoom) {
    shown.resize(kNameRoom - 1);
    shown.push_back(kCutMark);
  }
  return shown;
}

// A symbolic link to a normal file is listed as the file it leads to; a
// directory, a device or a dangling link of a matching name is not. Every
// matching name is read before the list is cut to its capacity, so that the
// names kept are the first by name, whatever order the directory holds.
std::vector<std::string> listedFiles(const FileListTable& table, const fs::path& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code typeError;
    if (listsName(table, name) && it->is_regular_file(typeError)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), byName);
  if (names.size() > table.capacity) names.resize(table.capacity);
  return names;
}

std::optional<std::string> chooseFile(Screen& screen, ClickLatch& latch, const FileListTable& table,
                                      const fs::path& directory) {
  return FileListScreen(screen, latch, table, listedFiles(table, directory)).run();
}

// Keys typed before the message are dropped so that none of them hides it at
// once; the key that ends it is taken here, so that an Esc meant for the
// message does not reach the start screen and end the viewer.
void showNotCompatible(Screen& screen, std::string_view reason) {
  screen.color(kBlack, kErrorBack);
  screen.printAt(5, 5, kNotCompatibleText);
  screen.printAt(6, 5, reason.substr(0, kTextColumns - 5));
  screen.printAt(7, 5, " Wait ");
  screen.color(kTextColour, kBlack);
  while (!screen.closeRequested() && screen.keyWaiting()) (void)screen.readKey();
  const double end = screen.timer() + kNotCompatibleMs / 1000.0;
  while (screen.timer() < end) {
    if (!screen.readKey().empty()) return;
    screen.sleep(kMessagePollMs);
  }
}

}  // namespace vna
