#include "reflection/reference_load_screen.h"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "display/panel_fields.h"
#include "files/settings_file.h"
#include "platform/numeric.h"

namespace vna {
namespace {

// Every column of this screen is counted from this one.
constexpr int kColumnBase = 3;
constexpr int kLabelColumn = kColumnBase + 16;  // 19
constexpr int kValueColumn = kColumnBase + 25;  // 28

constexpr std::string_view kPicture = "####.###";
constexpr int kFieldWidth = 8;
// A typed number may be one character longer than the field; that ninth
// character spills into the cell right of it, which has to be tidied after.
constexpr std::size_t kMaxTyped = 9;
constexpr int kSpillColumn = kValueColumn + kFieldWidth;

constexpr int kPassMs = 14;
constexpr int kKeyPauseMs = 12;

// Palette roles on this screen.
constexpr int kBlack = 0;
constexpr int kButtonColour = 1;
constexpr int kNoteColour = 6;
constexpr int kTitleColour = 14;
constexpr int kEntryBack = 14;
constexpr int kTextColour = 15;

// One of R, L, C: where it is shown, its mouse zone, and how a typed number
// (in ohms, nH or pF) becomes the stored float (ohms, henries, farads).
struct ValueField {
  int row;
  std::string_view label;
  int yTop, yBottom;  // inclusive pixel rows of the mouse zone
  float ReferenceLoad::*value;
  double shownPerStored;
  double storedPerShown;
  bool (*accepts)(double typed);
};

// x bounds of the value fields' mouse zones, exclusive.
constexpr int kFieldLeft = 24;
constexpr int kFieldRight = 296;

// A load of almost no resistance could not be told from the short standard;
// L and C may be 0 when they are unknown.
bool resistanceAccepted(double v) {
  return v > 0.099 && v < 9999.999;
}
bool reactanceAccepted(double v) {
  return v >= 0 && v < 9999.999;
}

constexpr std::array<ValueField, 3> kFields{{
    {6, "R (\xEA)  :", 81, 96, &ReferenceLoad::refR, 1.0, 1.0, resistanceAccepted},
    {7, "L (nH) :", 97, 112, &ReferenceLoad::refL, 1e9, 1e-9, reactanceAccepted},
    {8, "C (pF) :", 113, 128, &ReferenceLoad::refC, 1e12, 1e-12, reactanceAccepted},
}};

struct Button {
  int column;
  std::string_view label;
  int xLeft, xRight;  // exclusive pixel bounds
};
enum ButtonId { kExit, kDefaults, kSave };
constexpr std::array<Button, 3> kButtons{{
    {kColumnBase + 1, "Exit (ESC)", 24, 120},
    {kColumnBase + 19, "Load Default Values (F5)", 168, 368},
    {kColumnBase + 52, "Save and Exit (F4)", 432, 584},
}};
constexpr int kButtonRow = 45;
constexpr int kButtonTop = 705;  // inclusive pixel rows of all three buttons
constexpr int kButtonBottom = 720;

struct Note {
  int row;
  std::string_view text;
};
constexpr std::array<Note, 5> kNotes{{
    {14, "R = resistance of the reference load used for the calibration; usually"},
    {15, "    about 50 ohms"},
    {16, "L = series inductance of the calibration load ( in nH )"},
    {17, "C = shunt capacitance of the calibration load ( in pF )"},
    {19, "if L & C values are unknown , use 0 "},
}};
constexpr int kNoteColumn = kColumnBase + 3;

// Same wording as the Serial Port Setting screen, two rows under the notes.
constexpr int kErrorRow = 21;

bool over(const ValueField& f, const MouseState& m) {
  return m.x > kFieldLeft && m.x < kFieldRight && m.y >= f.yTop && m.y <= f.yBottom;
}

bool over(const Button& b, const MouseState& m) {
  return m.x > b.xLeft && m.x < b.xRight && m.y >= kButtonTop && m.y <= kButtonBottom;
}

void drawValue(Screen& s, const ValueField& f, const ReferenceLoad& load, bool hovered) {
  if (hovered) {
    s.color(kBlack, kTextColour);
  } else {
    s.color(kTextColour, kBlack);
  }
  s.locate(f.row, kValueColumn);
  s.printPicture(kPicture, static_cast<double>(load.*f.value) * f.shownPerStored);
}

void drawButton(Screen& s, const Button& b, bool hovered) {
  if (hovered) {
    s.color(kBlack, kButtonColour);
  } else {
    s.color(kButtonColour, kBlack);
  }
  s.printAt(kButtonRow, b.column, b.label);
}

// The load between its two terminals: a coil and a resistor in series along
// the top, the capacitor across both along the bottom, the right-hand side
// to ground. The labels L, R and C sit over the coil, the resistor and under
// the capacitor.
void drawSchematic(Screen& s, int colour) {
  constexpr double x0 = 400, y0 = 92;  // top-left corner of the drawing
  constexpr double bottom = y0 + 24;
  constexpr double right = x0 + 64;
  // Coil: three half turns from x0 to x0 + 24.
  for (int turn = 0; turn < 3; ++turn) {
    const double cx = x0 + 4 + 8 * turn;
    for (int step = 0; step < 12; ++step) {
      const double a1 = kPi * step / 12, a2 = kPi * (step + 1) / 12;
      s.line(cx - 4 * std::cos(a1), y0 - 4 * std::sin(a1), cx - 4 * std::cos(a2), y0 - 4 * std::sin(a2), colour);
    }
  }
  s.line(x0 + 24, y0, x0 + 32, y0, colour);
  // Resistor: a zigzag of six peaks from x0 + 32 to x0 + 56.
  double x = x0 + 32, y = y0;
  for (int peak = 0; peak < 6; ++peak) {
    const double nextX = x0 + 34 + 4 * peak, nextY = y0 + (peak % 2 == 0 ? -4 : 4);
    s.line(x, y, nextX, nextY, colour);
    x = nextX;
    y = nextY;
  }
  s.line(x, y, x0 + 56, y0, colour);
  s.line(x0 + 56, y0, right, y0, colour);
  // Both sides down to the capacitor's branch.
  s.line(x0, y0, x0, bottom, colour);
  s.line(right, y0, right, bottom, colour);
  // Capacitor: two plates across the bottom wire, over the C label.
  s.line(x0, bottom, x0 + 25, bottom, colour);
  s.line(x0 + 25, bottom - 8, x0 + 25, bottom + 8, colour);
  s.line(x0 + 30, bottom - 8, x0 + 30, bottom + 8, colour);
  s.line(x0 + 30, bottom, right, bottom, colour);
  // The measured terminal at the left, with its connection point.
  const double mid = (y0 + bottom) / 2;
  s.line(x0 - 12, mid, x0, mid, colour);
  s.box(x0 - 15, mid - 1, x0 - 13, mid + 1, colour);
  // Ground at the right.
  s.line(right, mid, right + 16, mid, colour);
  s.line(right + 16, mid, right + 16, mid + 20, colour);
  s.line(right + 8, mid + 20, right + 24, mid + 20, colour);
  s.line(right + 11, mid + 23, right + 21, mid + 23, colour);
  s.line(right + 14, mid + 26, right + 18, mid + 26, colour);
}

void drawScreen(Screen& s, const ReferenceLoad& load) {
  s.color(kTextColour, kBlack);
  s.clearPage();
  s.color(kTitleColour, kBlack);
  s.printAt(2, 40, "Reference Load");
  drawSchematic(s, kTitleColour);
  s.printAt(5, 52, "L");
  s.printAt(5, 56, "R");
  s.printAt(9, 54, "C");
  s.color(kNoteColour, kBlack);
  for (const Note& note : kNotes) s.printAt(note.row, kNoteColumn, note.text);
  s.color(kTextColour, kBlack);
  for (const ValueField& f : kFields) {
    s.printAt(f.row, kLabelColumn, f.label);
    drawValue(s, f, load, false);
  }
  for (const Button& b : kButtons) drawButton(s, b, false);
}

// The field shows the typed characters black on colour 14; the cell a ninth
// character would use is blank while there is none.
void showTyped(Screen& s, const ValueField& f, std::string_view typed) {
  s.color(kTextColour, kBlack);
  s.printAt(f.row, kSpillColumn, " ");
  s.color(kBlack, kEntryBack);
  s.printAt(f.row, kValueColumn, std::string(kFieldWidth, ' '));
  s.printAt(f.row, kValueColumn, typed);
}

// Typed entry into a hovered field, until a value is accepted or Esc; false
// when Esc asks to leave the whole screen.
bool typeValue(Screen& s, const ValueField& f, ReferenceLoad& load) {
  s.color(kBlack, kEntryBack);
  s.printAt(f.row, kValueColumn, "_       ");
  EntrySpec entry;
  entry.maxLength = kMaxTyped;
  entry.keyPauseMs = kKeyPauseMs;
  entry.factorOf = [](char k, double) { return k == key::kEnter ? std::optional<double>(1.0) : std::nullopt; };
  entry.accept = [&f](double v) { return f.accepts(v); };
  entry.show = [&s, &f](std::string_view typed) { showTyped(s, f, typed); };
  const EntryResult result = enterNumber(s, entry, {});
  if (result.end == EntryEnd::Exit) return false;
  double v = result.value;
  if (v == 0) v = 0;  // "-0" is stored as 0, not as a negative zero
  load.*f.value = static_cast<float>(v * f.storedPerShown);
  showTyped(s, f, "");  // tidies the spill cell
  drawValue(s, f, load, true);
  return true;
}

enum class Action { None, Leave, Save, Defaults };

Action keyAction(const std::string& k) {
  if (k.size() == 1 && k[0] == key::kEsc) return Action::Leave;
  if (k.size() != 2 || static_cast<unsigned char>(k[0]) != key::kExtended) return Action::None;
  if (static_cast<unsigned char>(k[1]) == key::kF4) return Action::Save;
  if (static_cast<unsigned char>(k[1]) == key::kF5) return Action::Defaults;
  return Action::None;
}

struct Hover {
  std::array<bool, kFields.size()> field{};
  std::array<bool, kButtons.size()> button{};
};

// One look at the mouse: follows the hover of every item, then acts on a new
// click over the hovered one.
Action mouseAction(Screen& s, ClickLatch& latch, Hover& hover, ReferenceLoad& load) {
  const MouseState m = s.readMouse();
  latch.release(m.buttons);
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (over(kFields[i], m) == hover.field[i]) continue;
    hover.field[i] = !hover.field[i];
    drawValue(s, kFields[i], load, hover.field[i]);
  }
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    if (over(kButtons[i], m) == hover.button[i]) continue;
    hover.button[i] = !hover.button[i];
    drawButton(s, kButtons[i], hover.button[i]);
  }

  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    if (!hover.button[i]) continue;
    const Click click = latch.take(m.buttons);
    if (click == Click::None) return Action::None;
    if (i == kExit) return Action::Leave;
    if (i == kSave) return Action::Save;
    return click == Click::Left ? Action::Defaults : Action::None;  // the right button only latches
  }
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (!hover.field[i] || latch.take(m.buttons) != Click::Left) continue;
    if (!typeValue(s, kFields[i], load)) return Action::Leave;
  }
  return Action::None;
}

// The values the screen starts from: the file's, with the same replacement
// of unusable values as at start-up; the ones in use when it cannot be read.
ReferenceLoad valuesOnEntry(const std::filesystem::path& file, const ReferenceLoad& inUse) {
  const std::optional<SettingsFile> held = readSettings(file);
  if (!held) return inUse;
  const SettingsFile usable = usableSettings(*held);
  return ReferenceLoad{usable.refR, usable.refL, usable.refC};
}

// Writes the three values; only once they are in the file do they become the
// ones the calibration uses, so the file and the program never disagree.
bool save(Screen& s, const std::filesystem::path& file, const ReferenceLoad& load, ReferenceLoad& inUse) {
  if (!writeReferenceLoad(file, load.refR, load.refL, load.refC)) {
    s.color(kBlack, kNoteColour);
    s.printAt(kErrorRow, kNoteColumn, kSettingsNotWritten);
    return false;
  }
  inUse = load;
  return true;
}

}  // namespace

void referenceLoadScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                         ReferenceLoad& inUse) {
  ReferenceLoad load = valuesOnEntry(settingsFile, inUse);
  drawScreen(screen, load);
  Hover hover;
  // True when the screen is to close.
  const auto perform = [&](Action action) {
    switch (action) {
      case Action::None: return false;
      case Action::Leave: return true;
      case Action::Save: return save(screen, settingsFile, load, inUse);
      case Action::Defaults:
        load = kDefaultReferenceLoad;
        for (std::size_t i = 0; i < kFields.size(); ++i) drawValue(screen, kFields[i], load, hover.field[i]);
        return false;
    }
    return false;
  };
  for (;;) {
    if (perform(keyAction(screen.readKey()))) break;
    if (perform(mouseAction(screen, latch, hover, load))) break;
    screen.sleep(kPassMs);
  }
  screen.color(kTextColour, kBlack);
  screen.clearPage();
}

}  // namespace vna
