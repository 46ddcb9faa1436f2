#include "reflection/impedance_modes.h"

namespace vna {
namespace {

#define OHM "\xEA"
#define BAR "\xB3"

using Choices = std::array<std::string_view, 5>;
constexpr Choices kOhmDeg{" " OHM ",deg       ", " " OHM "           ", " " OHM ",deg, + Mem", " " OHM ", + Mem    "};
constexpr Choices kOhmOhm{" " OHM "," OHM "         ", " " OHM "           ", " " OHM "," OHM ", +  Mem ",
                          " " OHM " + Mem     "};
constexpr Choices kPfU{" pF,U        ", " pF          ", " pF,U, + Mem ", " pF + Mem    "};
constexpr Choices kNhU{" nH,U        ", " nH          ", " nH,U, + Mem ", " nH  +  Mem  "};
constexpr Choices kPfOhm{" pF," OHM "        ", " pF          ", " pF," OHM ", + Mem ", " pF, + Mem   "};
constexpr Choices kNhOhm{" nH," OHM "        ", " nH          ", " nH," OHM ", + Mem ", " nH, + Mem   "};
constexpr Choices kDbDeg{" dB,deg      ", " dB          ", " dB,deg + Mem", " dB, + Mem   "};
constexpr Choices kUDeg{" U,deg       ", " U           ", " U,deg, + Mem", " U, + Mem    "};

constexpr std::string_view kImpedanceTitle = " Impedance vs frequency  ";
constexpr std::string_view kCapacitanceTitle = "Capacitance vs frequency ";
constexpr std::string_view kInductanceTitle = " Inductance vs frequency ";
constexpr std::string_view kS11Title = "    s11 vs frequency     ";

constexpr ReadoutFormat readout(std::string_view rowTemplate, std::string_view unit1, std::string_view unit2) {
  return ReadoutFormat{rowTemplate, unit1, 44, unit2, 61};
}

// Unit letters: a capacitance is in pF, an inductance in nH, an impedance or
// resistance in ohms.
constexpr UnitLetters kCapacitance{{{'p', 1}, {'n', 1e3}, {'u', 1e6}}};
constexpr UnitLetters kInductance{{{'n', 1}, {'u', 1e3}, {'m', 1e6}, {'M', 1e6}}};
constexpr UnitLetters kOhms{{{'k', 1e3}, {'m', 1e6}, {'M', 1e6}}};
constexpr UnitLetters kNone{};

constexpr std::string_view kPhaseError = " Phase Max < Phase Min ";
// The reversed trace 2 scale of mode 2 reports a delay, as the transmission
// analyzer's delay mode does; other modes show only the "Error" line.
constexpr std::string_view kDelayError = " Delay Max < Delay Min ";

constexpr ModeScales kQuantityScales{100, 0, 100, 0};
constexpr ModeScales kPhaseScales{100, 0, 225, -225};

const std::array<ModeSpec, kImpedanceModes> kModes{{
    {{kImpedanceTitle, "  " BAR "z" BAR "(" OHM ") & arg(z)(deg)   "}, " " BAR "z" BAR " ", " (" OHM ") ", " arg ",
     "(deg)", kOhmDeg, readout("marker   1:             Hz                " OHM "                deg ", OHM " ", "deg "),
     false, kPhaseScales, kPhaseError, kOhms, kNone},
    {{kImpedanceTitle, "   Re(z)(" OHM ") & Im(z)(" OHM ")   "}, "Re(z)", " (" OHM ") ", "Im(z)", "(" OHM ")  ", kOhmOhm,
     readout("marker   1:             Hz                " OHM "                " OHM "  ", OHM " ", OHM "  "), false,
     {100, 0, 100, -100}, kPhaseError, kOhms, kOhms},
    {{kCapacitanceTitle, " C & Q                   "}, " C   ", "(pF) ", " Q   ", "(U)  ", kPfU,
     readout("marker   1:             Hz                pF               U  ", "pF", "U  "), false, kQuantityScales,
     kDelayError, kCapacitance, kNone},
    {{kInductanceTitle, " L & Q                   "}, " L   ", "(nH) ", " Q   ", "(U)  ", kNhU,
     readout("marker   1:             Hz                nH               U  ", "nH", "U  "), false, kQuantityScales,
     {}, kInductance, kNone},
    {{kS11Title, BAR "s11" BAR "(dB) & arg(s11)(deg)"}, BAR "s11" BAR, "(dB) ", " arg ", "(deg)", kDbDeg,
     readout("marker   1:             Hz                dB               deg ", "dB", "deg "), false,
     {0, -100, 225, -225}, {}, kNone, kNone},
    {{kCapacitanceTitle, " C & Q                   "}, " C   ", "(pF) ", " Q   ", "(U)  ", kPfU,
     readout("marker   1:             Hz                pF               U  ", "pF", "U  "), false, kQuantityScales,
     {}, kCapacitance, kNone},
    {{kInductanceTitle, " L & Q                   "}, " L   ", "(nH) ", " Q   ", "(U)  ", kNhU,
     readout("marker   1:             Hz                nH               U  ", "nH", "U  "), false, kQuantityScales,
     {}, kInductance, kNone},
    {{kCapacitanceTitle, " C & R                   "}, " C   ", "(pF) ", " R   ", "(" OHM ")  ", kPfOhm,
     readout("marker   1:             Hz                pF               " OHM "  ", "pF", OHM "  "), false,
     kQuantityScales, {}, kCapacitance, kOhms},
    {{kInductanceTitle, " L & R                   "}, " L   ", "(nH) ", " R   ", "(" OHM ")  ", kNhOhm,
     readout("marker   1:             Hz                nH               " OHM "  ", "nH", OHM "  "), false,
     kQuantityScales, {}, kInductance, kOhms},
    {{kS11Title, BAR "s11" BAR "(U) & arg(s11)(deg) "}, BAR "s11" BAR, " (U) ", " arg ", "(deg)", kUDeg,
     readout("marker   1:             Hz                U                deg ", "U ", "deg "), false,
     {1, 0, 225, -225}, {}, kNone, kNone},
    {{kImpedanceTitle, "    " BAR "z" BAR "(" OHM ")  log scale    "}, " " BAR "z" BAR " ", " (" OHM ") ", " arg ",
     "(deg)", kOhmDeg, readout("marker   1:             Hz                " OHM "                deg ", OHM " ", "deg "),
     true, {100, 1, 225, -225}, {}, kOhms, kNone},
}};

#undef OHM
#undef BAR

// Modes 2 and 3 use the series model, 5 to 8 the parallel one.
constexpr std::array<CircuitSymbol, kImpedanceModes> kSymbols{
    CircuitSymbol::None,         CircuitSymbol::None,        CircuitSymbol::SeriesCapacitor,
    CircuitSymbol::SeriesCoil,   CircuitSymbol::None,        CircuitSymbol::ParallelCapacitor,
    CircuitSymbol::ParallelCoil, CircuitSymbol::ParallelCapacitor, CircuitSymbol::ParallelCoil,
    CircuitSymbol::None,         CircuitSymbol::None,
};

}  // namespace

std::span<const ModeSpec> impedanceModes() { return kModes; }

CircuitSymbol impedanceCircuitSymbol(int displayMode) {
  const auto m = static_cast<std::size_t>(displayMode);
  return m < kSymbols.size() ? kSymbols[m] : CircuitSymbol::None;
}

int stepImpedanceDisplayChoice(int choice, bool forward, int, bool memoryValid) {
  choice = forward ? (choice + 1) % 4 : (choice + 3) % 4;
  if (choice == 3 && !memoryValid) choice = 1;
  if (choice == 2 && !memoryValid) choice = 0;
  return choice;
}

ScaleFormat impedanceScaleFormat() {
  ScaleFormat f;
  f.wheelWeights = kScaleStepWeights;
  return f;
}

}  // namespace vna
