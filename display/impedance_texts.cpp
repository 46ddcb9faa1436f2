#include "display/impedance_texts.h"

#include <algorithm>

namespace vna {
namespace {

#define OHM "\xEA"
#define BAR "\xB3"

constexpr std::array<std::string_view, 4> kOhmDeg{" " OHM ",deg       ", " " OHM "           ",
                                                  " " OHM ",deg, + Mem", " " OHM ", + Mem    "};
constexpr std::array<std::string_view, 4> kOhmOhm{" " OHM "," OHM "         ", " " OHM "           ",
                                                  " " OHM "," OHM ", +  Mem ", " " OHM " + Mem     "};
constexpr std::array<std::string_view, 4> kPfU{" pF,U        ", " pF          ", " pF,U, + Mem ", " pF + Mem    "};
constexpr std::array<std::string_view, 4> kNhU{" nH,U        ", " nH          ", " nH,U, + Mem ", " nH  +  Mem  "};
constexpr std::array<std::string_view, 4> kPfOhm{" pF," OHM "        ", " pF          ", " pF," OHM ", + Mem ",
                                                 " pF, + Mem   "};
constexpr std::array<std::string_view, 4> kNhOhm{" nH," OHM "        ", " nH          ", " nH," OHM ", + Mem ",
                                                 " nH, + Mem   "};
constexpr std::array<std::string_view, 4> kDbDeg{" dB,deg      ", " dB          ", " dB,deg + Mem", " dB, + Mem   "};
constexpr std::array<std::string_view, 4> kUDeg{" U,deg       ", " U           ", " U,deg, + Mem", " U, + Mem    "};

constexpr std::string_view kImpedanceTitle = " Impedance vs frequency  ";
constexpr std::string_view kCapacitanceTitle = "Capacitance vs frequency ";
constexpr std::string_view kInductanceTitle = " Inductance vs frequency ";
constexpr std::string_view kS11Title = "    s11 vs frequency     ";

const std::array<ImpedanceModeTexts, kImpedanceModes> kModes{{
    {kImpedanceTitle, "  " BAR "z" BAR "(" OHM ") & arg(z)(deg)   ", " " BAR "z" BAR " ", " (" OHM ") ", " arg ",
     "(deg)", kOhmDeg, OHM " ", "deg "},
    {kImpedanceTitle, "   Re(z)(" OHM ") & Im(z)(" OHM ")   ", "Re(z)", " (" OHM ") ", "Im(z)", "(" OHM ")  ",
     kOhmOhm, OHM " ", OHM "  "},
    {kCapacitanceTitle, " C & Q                   ", " C   ", "(pF) ", " Q   ", "(U)  ", kPfU, "pF", "U  "},
    {kInductanceTitle, " L & Q                   ", " L   ", "(nH) ", " Q   ", "(U)  ", kNhU, "nH", "U  "},
    {kS11Title, BAR "s11" BAR "(dB) & arg(s11)(deg)", BAR "s11" BAR, "(dB) ", " arg ", "(deg)", kDbDeg, "dB",
     "deg "},
    {kCapacitanceTitle, " C & Q                   ", " C   ", "(pF) ", " Q   ", "(U)  ", kPfU, "pF", "U  "},
    {kInductanceTitle, " L & Q                   ", " L   ", "(nH) ", " Q   ", "(U)  ", kNhU, "nH", "U  "},
    {kCapacitanceTitle, " C & R                   ", " C   ", "(pF) ", " R   ", "(" OHM ")  ", kPfOhm, "pF",
     OHM "  "},
    {kInductanceTitle, " L & R                   ", " L   ", "(nH) ", " R   ", "(" OHM ")  ", kNhOhm, "nH",
     OHM "  "},
    {kS11Title, BAR "s11" BAR "(U) & arg(s11)(deg) ", BAR "s11" BAR, " (U) ", " arg ", "(deg)", kUDeg, "U ",
     "deg "},
    {kImpedanceTitle, "    " BAR "z" BAR "(" OHM ")  log scale    ", " " BAR "z" BAR " ", " (" OHM ") ", " arg ",
     "(deg)", kOhmDeg, OHM " ", "deg "},
}};

const std::array<std::string_view, kImpedanceModes> kReadoutTemplates{{
    "marker   1:             Hz                " OHM "                deg ",
    "marker   1:             Hz                " OHM "                " OHM "  ",
    "marker   1:             Hz                pF               U  ",
    "marker   1:             Hz                nH               U  ",
    "marker   1:             Hz                dB               deg ",
    "marker   1:             Hz                pF               U  ",
    "marker   1:             Hz                nH               U  ",
    "marker   1:             Hz                pF               " OHM "  ",
    "marker   1:             Hz                nH               " OHM "  ",
    "marker   1:             Hz                U                deg ",
    "marker   1:             Hz                " OHM "                deg ",
}};

constexpr std::array<std::string_view, 9> kCalibrationStates{
    " off         ", " asked       ", " open        ", " short       ", " short       ",
    " reference   ", " reference   ", " on          ", " warning     ",
};

#undef OHM
#undef BAR

}  // namespace

const ImpedanceModeTexts& impedanceModeTexts(int displayMode) {
  return kModes[static_cast<std::size_t>(std::clamp(displayMode, 0, kImpedanceModes - 1))];
}

std::string_view impedanceReadoutTemplate(int displayMode) {
  return kReadoutTemplates[static_cast<std::size_t>(std::clamp(displayMode, 0, kImpedanceModes - 1))];
}

std::string_view calibrationStateText(int calibrationState) {
  return kCalibrationStates[static_cast<std::size_t>(std::clamp(calibrationState, 0, 8))];
}

}  // namespace vna
