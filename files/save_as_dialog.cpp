#include "files/save_as_dialog.h"

#include <array>
#include <cstddef>
#include <system_error>

namespace vna {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- layout

// Palette roles on this screen.
constexpr int kBlack = 0;
constexpr int kExitColour = 1;
constexpr int kNoteColour = 6;
constexpr int kEntryBack = 14;
constexpr int kTextColour = 15;

constexpr int kNameRow = 8;
constexpr int kTypeRow = 10;
constexpr int kSaveRow = 12;
constexpr int kExitRow = 45;
// The field texts as the dialog opens stand one column left of where the
// hovered and edited texts go.
constexpr int kOpeningColumn = 22;
constexpr int kFieldColumn = 23;
constexpr int kExitColumn = 5;
constexpr int kMessageRow = 5;
constexpr int kMessageColumn = 5;

constexpr std::size_t kMaxNameLength = 41;

constexpr int kPassMs = 12;
constexpr int kEntryPollMs = 10;
constexpr int kKeptNamePauseMs = 200;
constexpr int kMessageMs = 3500;

// Where the existence warnings go: text rows 30 to 35.
constexpr int kWarningsTop = 464, kWarningsBottom = 560;
constexpr int kWarningsLeft = 1, kWarningsRight = 1020;
constexpr int kWarningsFirstRow = 30, kWarningsLastRow = 35;
constexpr int kWarningColumn = 5;

constexpr std::string_view kNotSaved = " error : the file is not saved ";
constexpr std::string_view kNoMeasurement = "no measurement to save";

// A mouse area: x from 25 up to below `xBelow`, y from `yTop` to `yBottom`.
struct Area {
  int xBelow;
  int yTop, yBottom;
};
enum AreaId { kName, kType, kSave, kExit, kAreaCount };
constexpr std::array<Area, kAreaCount> kAreas{{
    {504, 113, 128},
    {264, 145, 160},
    {264, 177, 192},
    {120, 705, 720},
}};
constexpr int kAreasLeft = 24;  // exclusive

bool over(const Area& a, const MouseState& m) {
  return m.x > kAreasLeft && m.x < a.xBelow && m.y >= a.yTop && m.y <= a.yBottom;
}

// A message line cut where the screen ends.
std::string fitted(std::string text) {
  const auto room = static_cast<std::size_t>(kTextColumns - kMessageColumn);
  if (text.size() > room) text.resize(room);
  return text;
}

bool nameCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// The one typed character of an ordinary key. Extended keys type nothing:
// their second byte is a scan code, and reading it as a character would put
// an "H" in the name for the Up arrow and a "K" for Left.
std::optional<char> typedCharacter(const std::string& key) {
  if (key.size() != 1) return std::nullopt;
  return key[0];
}

bool isEsc(const std::string& key) {
  return key.size() == 1 && key[0] == key::kEsc;
}

// A file of that name that the user would lose or extend; a directory or a
// device of the name is no such file. Errors (a directory that cannot be
// searched) read as "not there", the save then reports its own failure.
bool normalFileExists(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

// ---------------------------------------------------------------- the dialog

class SaveAsDialog {
 public:
  SaveAsDialog(Screen& screen, ClickLatch& latch, const SaveAsRequest& request)
      : s_(screen), latch_(latch), request_(request), table_(*request.table) {}

  SaveAsResult run();

 private:
  enum class Pass { Stay, Close };

  const SaveKindChoice& kind() const { return table_.kinds[kindIndex_]; }
  bool typeChangeable() const { return table_.kinds.size() > 1; }
  fs::path fileOf(std::string_view extension) const { return request_.directory / (name_ + std::string(extension)); }

  // An area's text black on `colour` while lit, `colour` on black otherwise.
  void litOrNot(bool lit, int colour) { lit ? s_.color(kBlack, colour) : s_.color(colour, kBlack); }

  void drawOpening();
  void drawName(bool lit);
  void drawType(bool lit);
  void drawSave(bool lit);
  void drawExit(bool lit);
  void drawArea(int area, bool lit);
  void showEntry(std::string_view entry);
  void showWarnings();
  void showFailure(const SaveResult& failed);

  Pass pass();
  Pass click(int area, Click button);
  Pass typeName(char first);
  void stepKind(int step);
  void save();
  void saveTouchstone(SaveKind kind);

  Screen& s_;
  ClickLatch& latch_;
  const SaveAsRequest& request_;
  const SaveAsTable& table_;
  std::string name_ = "noname";
  std::size_t kindIndex_ = 0;
  std::array<bool, kAreaCount> hover_{};
  SaveAsResult result_;
};

SaveAsResult SaveAsDialog::run() {
  drawOpening();
  while (pass() == Pass::Stay) {
  }
  result_.name = name_;
  result_.kind = kind().kind;
  s_.color(kTextColour, kBlack);
  s_.clearPage();
  return result_;
}

void SaveAsDialog::drawOpening() {
  s_.color(kTextColour, kBlack);
  s_.clearPage();
  s_.printAt(5, 5, "Save As");
  s_.printAt(kNameRow, 10, "file name :");
  s_.printAt(kNameRow, kOpeningColumn, " noname ");
  s_.printAt(kTypeRow, 10, "     type :");
  s_.printAt(kTypeRow, kOpeningColumn, table_.openingLabel);
  s_.printAt(kSaveRow, kOpeningColumn, "  save    ");
  s_.color(kNoteColour, kBlack);
  for (const SaveAsNote& note : table_.notes) s_.printAt(note.row, 3, note.text);
  s_.color(kExitColour, kBlack);
  s_.printAt(kExitRow, kExitColumn, "Exit (Esc)");
  s_.color(kTextColour, kBlack);
}

void SaveAsDialog::drawName(bool lit) {
  litOrNot(lit, kTextColour);
  std::string padded = name_;
  padded.resize(kMaxNameLength, ' ');
  s_.printAt(kNameRow, kFieldColumn, padded);
}

void SaveAsDialog::drawType(bool lit) {
  litOrNot(lit, kTextColour);
  s_.printAt(kTypeRow, kFieldColumn, kind().label);
}

void SaveAsDialog::drawSave(bool lit) {
  litOrNot(lit, kTextColour);
  s_.printAt(kSaveRow, kFieldColumn, "save     ");
}

void SaveAsDialog::drawExit(bool lit) {
  litOrNot(lit, kExitColour);
  s_.printAt(kExitRow, kExitColumn, "Exit (ESC)");
}

void SaveAsDialog::drawArea(int area, bool lit) {
  switch (area) {
    case kName: drawName(lit); break;
    case kType: drawType(lit); break;
    case kSave: drawSave(lit); break;
    case kExit: drawExit(lit); break;
  }
  s_.color(kTextColour, kBlack);
}

// The typed text black on colour 14 over a cleared field.
void SaveAsDialog::showEntry(std::string_view entry) {
  s_.color(kTextColour, kBlack);
  s_.printAt(kNameRow, kFieldColumn, std::string(kMaxNameLength, ' '));
  s_.color(kBlack, kEntryBack);
  s_.printAt(kNameRow, kFieldColumn, entry);
  s_.color(kTextColour, kBlack);
}

// What the kinds would do with files already there under the new name.
void SaveAsDialog::showWarnings() {
  s_.fillBox(kWarningsLeft, kWarningsTop, kWarningsRight, kWarningsBottom, kBlack);
  // The fill only paints pixels; blank cells inside it as well, so that what
  // the screen holds as text agrees with what it shows.
  s_.color(kTextColour, kBlack);
  constexpr int firstInside = 2, lastInside = 127;  // the columns wholly inside the box
  for (int row = kWarningsFirstRow; row <= kWarningsLastRow; ++row)
    s_.printAt(row, firstInside, std::string(static_cast<std::size_t>(lastInside - firstInside + 1), ' '));
  for (const ExistingFileWarning& w : table_.warnings) {
    const std::string fileName = name_ + std::string(w.extension);
    if (!normalFileExists(request_.directory / fileName)) continue;
    s_.printAt(w.row, kWarningColumn, "The file " + fileName + std::string(table_.existsEnding));
    s_.printAt(w.row + 1, kWarningColumn, w.advice);
  }
}

// A save that did not happen says so where the dialog's title stood, and
// stays until read: 3.5 s, or less when a key is pressed. Keys typed before
// the message are dropped so that none of them hides it at once, and the key
// that ends it is taken here, so that an Esc meant for the message does not
// reach the caller and end the program.
void SaveAsDialog::showFailure(const SaveResult& failed) { showSaveFailure(s_, failed.reason(), failed.detail()); }

}  // namespace

void showSaveFailure(Screen& s, std::string_view reason, std::string_view detail) {
  s.color(kBlack, kNoteColour);
  if (reason == kNotCompatible) {
    s.printAt(kMessageRow, kMessageColumn, kNotCompatible);
    // Why, on the row below, as the viewers give the reason of a file they
    // refuse: a file of another plan is not compatible although it looks so.
    if (!detail.empty()) s.printAt(kMessageRow + 1, kMessageColumn, fitted(" " + std::string(detail) + " "));
  } else {
    s.printAt(kMessageRow, kMessageColumn, kNotSaved);
    s.printAt(kMessageRow + 1, kMessageColumn, " " + std::string(reason) + " ");
  }
  s.color(kTextColour, kBlack);
  while (!s.closeRequested() && s.keyWaiting()) (void)s.readKey();
  s.sleep(kMessageMs);
  (void)s.readKey();
}

namespace {

// One pass of the loop: a key, the mouse and its hover areas, its clicks,
// then typing into the name when the pointer is on it.
SaveAsDialog::Pass SaveAsDialog::pass() {
  const std::string key = s_.readKey();
  s_.sleep(kPassMs);
  if (isEsc(key)) return Pass::Close;

  const MouseState m = s_.readMouse();
  latch_.release(m.buttons);
  for (int a = 0; a < kAreaCount; ++a) {
    if (a == kType && !typeChangeable()) continue;  // a type that cannot change does not light up
    if (over(kAreas[a], m) == hover_[a]) continue;
    hover_[a] = !hover_[a];
    drawArea(a, hover_[a]);
  }
  for (int a = 0; a < kAreaCount; ++a) {
    if (!hover_[a]) continue;
    if (click(a, latch_.take(m.buttons)) == Pass::Close) return Pass::Close;
    break;  // the areas do not overlap
  }

  const std::optional<char> typed = typedCharacter(key);
  if (hover_[kName] && typed && nameCharacter(*typed)) return typeName(*typed);
  return Pass::Stay;
}

SaveAsDialog::Pass SaveAsDialog::click(int area, Click button) {
  if (button == Click::None) return Pass::Stay;
  switch (area) {
    case kName:
      if (button == Click::Left) {
        // A prompt: typing while the pointer stays here starts a new name.
        s_.color(kBlack, kEntryBack);
        s_.printAt(kNameRow, kFieldColumn, "_" + std::string(kMaxNameLength - 1, ' '));
        s_.color(kTextColour, kBlack);
      }
      return Pass::Stay;
    case kType: stepKind(button == Click::Left ? 1 : -1); return Pass::Stay;
    case kSave:
      if (button != Click::Left) return Pass::Stay;
      save();
      return Pass::Close;
    case kExit: return Pass::Close;
  }
  return Pass::Stay;
}

void SaveAsDialog::stepKind(int step) {
  const std::size_t count = table_.kinds.size();
  kindIndex_ = (kindIndex_ + (step > 0 ? 1 : count - 1)) % count;
  drawType(hover_[kType]);
  s_.color(kTextColour, kBlack);
}

// Name entry; the mouse is not read meanwhile. Enter on an empty entry keeps
// the name there was; Esc leaves the whole dialog with the name unchanged.
SaveAsDialog::Pass SaveAsDialog::typeName(char first) {
  std::string entry;
  std::string key(1, first);
  s_.color(kTextColour, kBlack);
  s_.printAt(kNameRow, kFieldColumn, std::string(kMaxNameLength, ' '));
  for (;; key = s_.readKey()) {
    if (key.empty()) {
      s_.sleep(kEntryPollMs);
      continue;
    }
    if (isEsc(key)) return Pass::Close;
    const std::optional<char> c = typedCharacter(key);
    if (!c) continue;
    if (nameCharacter(*c)) {
      if (entry.size() < kMaxNameLength) entry.push_back(*c);
      showEntry(entry);
    } else if (*c == key::kBackspace) {
      if (!entry.empty()) entry.pop_back();
      showEntry(entry);
    } else if (*c == key::kEnter) {
      if (entry.empty()) {
        drawArea(kName, true);
        s_.sleep(kKeptNamePauseMs);
      } else {
        name_ = entry;
        drawArea(kName, true);
        showWarnings();
      }
      return Pass::Stay;
    }
  }
}

void SaveAsDialog::save() {
  const SaveKind k = kind().kind;
  if (k == SaveKind::bmp) {
    result_.outcome = SaveAsOutcome::BmpRequested;
    result_.file = fileOf(extensionOf(k));
    return;
  }
  saveTouchstone(k);
}

void SaveAsDialog::saveTouchstone(SaveKind k) {
  result_.file = fileOf(extensionOf(k));
  const std::vector<TouchstonePoint> points = request_.points ? request_.points() : std::vector<TouchstonePoint>{};
  // Saving nothing would replace a file of the name with an empty one.
  SaveResult saved = SaveResult::failure(std::string(kNoMeasurement));
  SaveAsOutcome done = SaveAsOutcome::Written;
  if (!points.empty()) {
    const std::optional<ParameterSlot> slot = slotOf(k);
    if (!slot) {
      saved = saveS1p(result_.file, points);
    } else if (normalFileExists(result_.file)) {
      saved = mergeS2pFile(result_.file, *slot, points);
      done = SaveAsOutcome::Merged;
    } else {
      saved = saveS2p(result_.file, table_.origin, *slot, points);
    }
  }
  if (saved) {
    result_.outcome = done;
    return;
  }
  result_.outcome = SaveAsOutcome::Failed;
  result_.failure = saved.reason();
  result_.failureDetail = saved.detail();
  showFailure(saved);
}

}  // namespace

std::string_view extensionOf(SaveKind kind) {
  switch (kind) {
    case SaveKind::s1p: return ".s1p";
    case SaveKind::s2pS11:
    case SaveKind::s2pS22:
    case SaveKind::s2pS21:
    case SaveKind::s2pS12: return ".s2p";
    case SaveKind::bmp: return ".bmp";
  }
  return ".bmp";
}

std::optional<ParameterSlot> slotOf(SaveKind kind) {
  switch (kind) {
    case SaveKind::s2pS11: return ParameterSlot::s11;
    case SaveKind::s2pS22: return ParameterSlot::s22;
    case SaveKind::s2pS21: return ParameterSlot::s21;
    case SaveKind::s2pS12: return ParameterSlot::s12;
    case SaveKind::s1p:
    case SaveKind::bmp: return std::nullopt;
  }
  return std::nullopt;
}


SaveAsResult saveAsDialog(Screen& screen, ClickLatch& latch, const SaveAsRequest& request) {
  return SaveAsDialog(screen, latch, request).run();
}

}  // namespace vna
