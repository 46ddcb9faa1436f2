#include "transmission/adjustment_screen.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <span>

#include "display/value_screen.h"
#include "files/settings_file.h"
#include "platform/numeric.h"

namespace vna {
namespace {

// The screen's left margin; every column is counted from it.
constexpr int kMargin = 3;

// The value fields' mouse zone between the pixel rows y0 and y1, exclusive.
constexpr MouseZone fieldZone(int y0, int y1) {
  return MouseZone{8 * kMargin, 8 * kMargin + 272, y0, y1};
}

// Inputs A and R of a working instrument match within 20 percent and 5
// degrees; the clock must stay within 20 kHz of 3 x the quartz frequency.
bool gainAccepted(double v) {
  return v > 0.799 && v < 1.2001;
}
bool phaseAccepted(double v) {
  return v > -5.001 && v < 5.001;
}
bool clockAccepted(double v) {
  return v > 149980000 && v < 150020000;
}

// Gain and phase are kept as the file's single floats, the clock in whole
// hertz; all three are shown as they are kept.
double singleFloat(double typed) {
  return static_cast<float>(typed);
}
double wholeHertz(double typed) {
  return typedClockHz(typed);
}
double asKept(double stored) {
  return stored;
}

constexpr ValuePlace kFraction{kMargin + 25, "##.#######"};
// The clock opens one column right of where typing starts, and once a typed
// value is taken it is printed there, one character wider.
constexpr ValuePlace kClockShown{kMargin + 26, "#########"};
constexpr ValuePlace kClockEntered{kMargin + 25, "##########"};

constexpr std::array<ValueField, 3> kFields{{
    {4, "A/R Gain (U)        :", kFraction, kFraction, fieldZone(48, 65), gainAccepted, singleFloat, asKept},
    {5, "A/R Phase (deg)     :", kFraction, kFraction, fieldZone(64, 81), phaseAccepted, singleFloat, asKept},
    {6, "clock frequency (Hz):", kClockShown, kClockEntered, fieldZone(80, 97), clockAccepted, wholeHertz, asKept},
}};

constexpr std::array<double, 3> kDefaults{kDefaultArAdjustment.arGain, kDefaultArAdjustment.arPhase,
                                          kDefaultArAdjustment.clockHz};

constexpr int kNoteColumn = kMargin + 1;
constexpr std::array<NoteLine, 17> kNotes{{
    {8, "A/R gain and phase adjustments are used to correct the bad symmetry between"},
    {9, "A and R inputs of the network analyzer. To do that : "},
    {10, "connect output A to input A and output R to input R, with short cables."},
    {11, "Now, with the F5 key, load the default values; and with the F4 key, save"},
    {12, "and exit."},
    {13, "At a frequency  about 1000 Hz, measure the gain(U) vs frequency (with "},
    {14, "normalize: off; length: 0.000m)."},
    {15, "The gain measured is the value that you have to write as A/R Gain in the"},
    {16, "adjustment screen; do the same for A/R phase."},
    {17, "Normally  0.8 < A/R gain < 1.2  and  -5deg < A/R phase < 5deg"},
    {18, "Prior to measuring the gain (U) vs frequency, wait the stabilization of the"},
    {19, "temperature."},
    {21, "The clock frequency (Hz) must be >149980000 and <150020000 (3*quartz frequency)"},
    {23, "note : with normalize=on, we can measure without A/R gain and phase adjustment"},
    {24, "With normalize=off , the precision of the measurement is greatly improved with "},
    {25, "A/R gain and phase adjustment."},
    {26, "Adjusment parameters are saved in a binary file named : configu"},
}};

// Two rows under the last note, where it hides none of them.
constexpr ScreenText kSaveFailed{28, kNoteColumn, kSettingsNotWritten};

// Typing a number over a highlighted value starts its entry at once; the
// nine characters a number may have fit the ten cells blanked for it.
constexpr ValueScreenTable kScreen{
    .columnBase = kMargin,
    .title = {1, kMargin + 20, "Adjustment"},
    .labelColumn = kMargin + 2,
    .fields = kFields,
    .defaults = kDefaults,
    .noteColumn = kNoteColumn,
    .notes = kNotes,
    .saveFailed = kSaveFailed,
    .passMs = 2,
    .keyPauseMs = 2,
    .placeholder = "_         ",
    .maxTyped = 9,
    .entryStart = EntryStart::ClickOrTyping,
};

// The values the screen starts from: the file's, with the same replacement
// of unusable values as at start-up; the ones in use when it cannot be read.
ArAdjustment valuesOnEntry(const std::filesystem::path& file, const ArAdjustment& inUse) {
  const std::optional<SettingsFile> held = readSettings(file);
  if (!held) return inUse;
  const SettingsFile usable = usableSettings(*held);
  return ArAdjustment{usable.arGain, usable.arPhase, usable.clockHz};
}

// Writes the three values; only once they are in the file do they become the
// ones the measurement uses, so the file and the program never disagree.
bool save(const std::filesystem::path& file, std::span<const double> stored, ArAdjustment& inUse) {
  const ArAdjustment adjustment{static_cast<float>(stored[0]), static_cast<float>(stored[1]), typedClockHz(stored[2])};
  if (!writeArAdjustment(file, adjustment.arGain, adjustment.arPhase, adjustment.clockHz)) return false;
  inUse = adjustment;
  return true;
}

}  // namespace

std::int32_t typedClockHz(double typed) {
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(roundHalfEven(typed), kLowest, kHighest));
}

void adjustmentScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                      ArAdjustment& inUse) {
  const ArAdjustment adjustment = valuesOnEntry(settingsFile, inUse);
  const std::array<double, 3> onEntry{adjustment.arGain, adjustment.arPhase, static_cast<double>(adjustment.clockHz)};
  const ValueScreenHooks hooks{
      .drawExtras = {},
      .save = [&](std::span<const double> stored) { return save(settingsFile, stored, inUse); },
  };
  runValueScreen(screen, latch, kScreen, onEntry, hooks);
}

}  // namespace vna
