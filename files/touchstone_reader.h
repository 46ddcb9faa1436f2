// Touchstone files as the viewers load them: the files the analyzers save
// (touchstone_writer.h), and the one- and two-port files of other
// instruments, circuit simulators and scripts.
//
//   !  kelvane  <CR><LF>                      comments: from "!" to the line end
//   # HZ S DB R 50<CR><LF>                    option line: unit, parameter, format, R
//   1000000 -12.5 45.25<CR><LF>               .s1p: frequency, s11
//   200 -0.5 -3.25 0.0 0.0 0.0 0.0 0.0 0.0 <CR><LF>   .s2p: frequency, s11, s21, s12, s22
//
// Version 1 files: the option line's fields in any order and any case,
// missing ones taking the defaults GHZ S MA R 50; frequencies in HZ, KHZ,
// MHZ or GHZ; pairs in DB (dB, degrees), MA (magnitude, degrees) or RI
// (real, imaginary); S, or Y and Z normalized to R, which are turned into S.
// A two-port file may end with a noise block, told by a frequency that is not
// above the last one before it: it is left out.
//
// Version 2 files ("[Version] 2.0"): [Number of Ports] 1 or 2, [Two-Port
// Data Order] 12_21 or 21_12, [Number of Frequencies], [Reference] per port,
// [Matrix Format] Full, Lower or Upper, [Network Data], [Noise Data] (left
// out), [End], and [Begin Information] to [End Information] skipped. Y and Z
// are in siemens and ohms there.
//
// Lines end in CR LF, LF or CR; tabs are blanks; a UTF-8 byte order mark is
// passed over. A viewer takes only the parameters it displays, as complex
// numbers, and then rebuilds the sweep plan from the frequencies read.
//
// All of it is pure: bytes in, a scan or the reason it cannot be shown out.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "measurement/sweep_plan.h"

namespace vna {

// Two points make a range to draw; the most a file may hold keeps a file of
// many megabytes from taking the memory of the machine.
inline constexpr int kFewestFilePoints = 2;
inline constexpr int kMostFilePoints = 200'001;

// Which parameters a viewer takes from a file.
enum class TouchstoneColumns {
  OnePortS11,     // impedance-viewer, a one-port file: s11
  TwoPortS11S22,  // impedance-viewer, a two-port file: s11 and s22
  TwoPortS21S12,  // transmission-viewer: s21 and s12
};
// The impedance viewer reads a file as two-port when its name ends in "s2p",
// whatever the case of its letters.
TouchstoneColumns impedanceViewerColumns(std::string_view fileName);

struct TouchstoneScan {
  std::vector<double> frequency;  // hertz, one per point in file order
  // s11 (impedance viewer) or s21 (transmission viewer), and s22 or s12
  // (empty for a one-port file), in full precision as the file gives them.
  std::vector<std::complex<double>> s1, s2;
  // The angles of s1 and s2 in degrees as a file in dB or magnitude and
  // angle writes them, which the viewers show: they may run beyond half a
  // turn, which the complex values forget. NaN where the file writes a
  // negative magnitude; empty for files in real and imaginary parts, Z or Y.
  std::vector<double> writtenAngle1, writtenAngle2;
  // The reference resistance of the port of each parameter, ohms: the
  // impedance of s11 is reference1 (1 + s)/(1 - s), that of s22 reference2 ...
  double reference1 = 50, reference2 = 50;
  int points() const { return static_cast<int>(frequency.size()); }
};

struct TouchstoneReading {
  std::optional<TouchstoneScan> scan;
  // Why there is no scan: one screen line with a blank at each end, with the
  // line number where one line is at fault (" line 7: 5 numbers where a
  // two-port line has 9 ").
  std::string reason;
  bool ok() const { return scan.has_value(); }
};
TouchstoneReading readTouchstone(std::span<const std::uint8_t> bytes, TouchstoneColumns columns);

// The sweep plan the display uses for a loaded scan: points, freqMin (first
// point), freqMax (last), center, span, logSweep by the spacing test,
// evenSpacing, marker indices from the plan's marker offsets (0..800 scale);
// and the display frequencies into `frequency` (entry i for i < N, as far as
// it has room).
// The spacing test compares point 200 (the middle point when the scan has no
// point 200 before its last) with its linear and its logarithmic prediction;
// the nearer one wins, a tie goes to logarithmic; a range from 0 Hz is
// linear. When some frequency of the file lies farther than a millionth from
// its rebuilt value (a segmented sweep, merged bands), the spacing is uneven
// and the display frequencies are the file's own; otherwise they are the
// rebuilt ones. A scan of fewer than 2 points leaves everything unchanged.
void planForScan(const TouchstoneScan& scan, SweepPlan& plan, std::span<double> frequency);

}  // namespace vna
