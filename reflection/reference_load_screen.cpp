#include "reflection/reference_load_screen.h"

#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <string_view>

#include "display/value_screen.h"
#include "files/settings_file.h"
#include "platform/numeric.h"

namespace vna {
namespace {

// Every column of this screen is counted from this one.
constexpr int kColumnBase = 3;
constexpr int kLabelColumn = kColumnBase + 16;                   // 19
constexpr ValuePlace kValuePlace{kColumnBase + 25, "####.###"};  // column 28

// The value fields' mouse zone between the pixel rows y0 and y1, exclusive.
constexpr MouseZone fieldZone(int y0, int y1) {
  return MouseZone{24, 296, y0, y1};
}

// A load of almost no resistance could not be told from the short standard;
// L and C may be 0 when they are unknown.
bool resistanceAccepted(double v) {
  return v > 0.099 && v < 9999.999;
}
bool reactanceAccepted(double v) {
  return v >= 0 && v < 9999.999;
}

// Typed in ohms, nH and pF; kept as the single floats of the file in ohms,
// henries and farads.
double ohms(double typed) {
  return static_cast<float>(typed);
}
double henries(double nanohenries) {
  return static_cast<float>(nanohenries * 1e-9);
}
double farads(double picofarads) {
  return static_cast<float>(picofarads * 1e-12);
}
double asShown(double stored) {
  return stored;
}
double nanohenries(double henries) {
  return henries * 1e9;
}
double picofarads(double farads) {
  return farads * 1e12;
}

constexpr std::array<ValueField, 3> kFields{{
    {6, "R (\xEA)  :", kValuePlace, kValuePlace, fieldZone(80, 97), resistanceAccepted, ohms, asShown},
    {7, "L (nH) :", kValuePlace, kValuePlace, fieldZone(96, 113), reactanceAccepted, henries, nanohenries},
    {8, "C (pF) :", kValuePlace, kValuePlace, fieldZone(112, 129), reactanceAccepted, farads, picofarads},
}};

constexpr std::array<double, 3> kDefaults{kDefaultReferenceLoad.refR, kDefaultReferenceLoad.refL,
                                          kDefaultReferenceLoad.refC};

constexpr int kNoteColumn = kColumnBase + 3;
constexpr std::array<NoteLine, 5> kNotes{{
    {14, "R = resistance of the reference load used for the calibration; usually"},
    {15, "    about 50 ohms"},
    {16, "L = series inductance of the calibration load ( in nH )"},
    {17, "C = shunt capacitance of the calibration load ( in pF )"},
    {19, "if L & C values are unknown , use 0 "},
}};

// Same wording as the Serial Port Setting screen, two rows under the notes.
constexpr ScreenText kSaveFailed{21, kNoteColumn, kSettingsNotWritten};

// A typed number may be one character longer than the field; that ninth
// character spills into the cell right of it.
constexpr ValueScreenTable kScreen{
    .columnBase = kColumnBase,
    .title = {2, 40, "Reference Load"},
    .labelColumn = kLabelColumn,
    .fields = kFields,
    .defaults = kDefaults,
    .noteColumn = kNoteColumn,
    .notes = kNotes,
    .saveFailed = kSaveFailed,
    .passMs = 14,
    .keyPauseMs = 12,
    .placeholder = "_       ",
    .maxTyped = 9,
    .entryStart = EntryStart::Click,
};

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

// The schematic with its labels, in the title's colour.
void drawLoad(Screen& s) {
  constexpr int kColour = 14;
  drawSchematic(s, kColour);
  s.color(kColour, 0);
  s.printAt(5, 52, "L");
  s.printAt(5, 56, "R");
  s.printAt(9, 54, "C");
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
bool save(const std::filesystem::path& file, std::span<const double> stored, ReferenceLoad& inUse) {
  const ReferenceLoad load{static_cast<float>(stored[0]), static_cast<float>(stored[1]), static_cast<float>(stored[2])};
  if (!writeReferenceLoad(file, load.refR, load.refL, load.refC)) return false;
  inUse = load;
  return true;
}

}  // namespace

void referenceLoadScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                         ReferenceLoad& inUse) {
  const ReferenceLoad load = valuesOnEntry(settingsFile, inUse);
  const std::array<double, 3> onEntry{load.refR, load.refL, load.refC};
  const ValueScreenHooks hooks{
      .drawExtras = drawLoad,
      .save = [&](std::span<const double> stored) { return save(settingsFile, stored, inUse); },
  };
  runValueScreen(screen, latch, kScreen, onEntry, hooks);
}

}  // namespace vna
