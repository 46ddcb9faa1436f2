#include "transmission/transmission_modes.h"

#include <array>
#include <string>

#include "display/layout.h"

#include "measurement/scan_control.h"
#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

// The readout templates put the trace 1 unit at column 43 and the trace 2
// unit at column 59.
constexpr std::string_view kDbDegRow = "marker   1:             Hz               dB              deg ";
constexpr std::string_view kUDegRow = "marker   1:             Hz                U              deg ";
constexpr std::string_view kDbUsRow = "marker   1:             Hz               dB                us";

constexpr ReadoutFormat readout(std::string_view rowTemplate, std::string_view unit1, std::string_view unit2,
                                bool linearGain, bool delay) {
  ReadoutFormat f{rowTemplate, unit1, 43, unit2, 59};
  f.value1Column = linearGain ? 28 : 31;
  f.value1Picture = linearGain ? "########.######" : "#####.#####";
  f.value2Picture = delay ? "######.######" : "######.#####";
  f.blank1Column = 28;
  f.blank1Width = 15;
  f.blank2Width = delay ? 13 : 12;
  return f;
}

constexpr std::string_view kPhaseError = " Phase Max < Phase Min ";
constexpr std::string_view kDelayError = " Delay Max < Delay Min ";

const std::array<ModeSpec, kTransmissionModes> kModes{{
    {{"gain & phase vs frequency", "    gain: dB scale ", "      dB & degres "}, "gain", "(dB)", "phase", "(deg)",
     {"dB,deg      ", "dB          ", "dB,deg,+ Mem", "dB + Mem    ", "dB,A,R      "},
     readout(kDbDegRow, "dB", "deg", false, false), false, {0, -100, 225, -225}, kPhaseError, {}, {}},
    {{"gain & phase vs frequency", "gain: linear scale (Unit)", "      U & degres "}, "gain", "(U)", "phase", "(deg)",
     {"U,deg       ", "U           ", "U,deg, + Mem", "U + Mem     "},
     readout(kUDegRow, " U", "deg", true, false), false, {1, 0, 225, -225}, kPhaseError, {}, {}},
    {{"gain & delay vs frequency", "    gain: dB scale ", "      dB & us "}, "gain", "(dB)", "delay", "(us)",
     {"dB,us       ", "dB          ", "dB,us, + Mem", "dB + Mem    "},
     readout(kDbUsRow, "dB", "  us", false, true), false, {0, -100, 100, 0}, kDelayError, {}, {}},
}};

// The digit under the pointer in "#######.#####", from x = 896 on; the
// frequencies' table stops one digit earlier than the impedance programs'.
constexpr std::array<double, 13> kScaleWeights{1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001, 1e-4, 1e-5};
constexpr std::array<double, 13> kFrequencyWeights{1e7, 1e7, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01};

constexpr int kDbMode = static_cast<int>(TransmissionMode::GainDbPhase);

}  // namespace

std::span<const ModeSpec> transmissionModes() { return kModes; }

int stepTransmissionDisplayChoice(int choice, bool forward, int displayMode, bool memoryValid) {
  const int last = displayMode == kDbMode ? display_choice::kLevels : display_choice::kFirstWithMemory;
  if (!forward) return choice <= 0 ? last : choice - 1;
  const int next = choice >= last ? 0 : choice + 1;
  if (displayMode == kDbMode && !memoryValid && display_choice::includesMemory(next)) return display_choice::kLevels;
  return next;
}

int shownTransmissionDisplayChoice(int choice, int displayMode, bool memoryValid) {
  if (!memoryValid && choice == display_choice::kBothWithMemory) return display_choice::kBoth;
  if (!memoryValid && choice == display_choice::kFirstWithMemory) return display_choice::kFirstOnly;
  if (displayMode != kDbMode && choice == display_choice::kLevels) return display_choice::kBoth;
  return choice;
}

void setTransmissionLook(MeasurementProfile& p) {
  p.scales = transmissionScaleFormat();
  p.titleRow = 1;
  p.titleFollowsHover = false;
  p.displayChoiceColumn = kPanelColumn + 13;
  p.overscaleReadout = false;
  p.delayApertureMode = static_cast<int>(TransmissionMode::GainDbDelay);
}

void drawDelayAperture(Screen& s, int row, int aperture, int points, bool hovered) {
  s.color(colour::kText, 0);
  s.printAt(row, kPanelColumn + 1, "delay aper:");
  showDelayAperture(s, row, aperture, points, hovered);
}

void showDelayAperture(Screen& s, int row, int aperture, int points, bool hovered) {
  s.color(colour::kText, 0);
  s.printAt(row, kPanelColumn + 12, std::string(12, ' '));
  s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
  s.locate(row, kPanelColumn + 12);
  s.printNumber(delayAperturePercent(aperture, points));
  s.print("%");
  s.color(colour::kText, 0);
}

ScaleFormat transmissionScaleFormat() {
  ScaleFormat f;
  f.picture = "#######.#####";
  f.wheelWeights = kScaleWeights;
  f.frequencyWeights = kFrequencyWeights;
  f.entryLow1 = -500.0;
  f.entryHigh1 = 9999999.9998;
  f.entryLow2 = -999999.0;
  f.entryHigh2 = 9999999.0;
  f.wheelLow = -999999.99;
  f.wheelHigh = 9999999.98;
  return f;
}

}  // namespace vna
