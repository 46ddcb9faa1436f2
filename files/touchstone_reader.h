// Touchstone files as the viewers load them: the files the analyzers save
// (touchstone_writer.h), or any file of the same layout.
//
//   !  kelvane  <CR><LF>                      comments: skipped wherever they stand
//   # HZ S DB R 50<CR><LF>                    option line: must come before the data,
//                                             its content is not interpreted
//   1000000 -12.5 45.25<CR><LF>               .s1p: frequency, s11 dB, s11 angle
//   200 -0.5 -3.25 0.0 0.0 0.0 0.0 0.0 0.0 <CR><LF>   .s2p: frequency, s11, s21, s12, s22
//
// Frequencies are always read as hertz and the pairs as dB and degrees,
// whatever the option line says. The text is read byte by byte: fields are
// runs of number characters (digits, "+", ",", "-", ".", "E", "e") closed by
// blanks or tabs; a line feed ends a line. A viewer takes only the columns
// it displays, and then rebuilds the sweep plan from the frequencies read.
//
// All of it is pure: bytes in, a scan or "not compatible" out.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "measurement/sweep_plan.h"

namespace vna {

// A file of fewer points is not a scan the display can show; the point
// arrays hold no more than the analyzers ever write.
inline constexpr int kFewestFilePoints = 50;
inline constexpr int kMostFilePoints = 801;

// Which columns a viewer takes from a data line (field 0 is the frequency).
enum class TouchstoneColumns {
  OnePortS11,     // impedance-viewer, a one-port file: fields 0, 1, 2
  TwoPortS11S22,  // impedance-viewer, a two-port file: fields 0, 1, 2, 7, 8
  TwoPortS21S12,  // transmission-viewer: fields 0, 3, 4, 5, 6 (lines of 9 fields)
};
// The impedance viewer reads a file as two-port when its name ends in "s2p",
// whatever the case of its letters.
TouchstoneColumns impedanceViewerColumns(std::string_view fileName);

struct TouchstoneScan {
  std::vector<double> frequency;   // hertz, as read, one per point in file order
  std::vector<float> db1, angle1;  // s11 (impedance viewer) or s21 (transmission viewer)
  std::vector<float> db2, angle2;  // s22 or s12; empty for a one-port file
  int points() const { return static_cast<int>(frequency.size()); }
};
// The scan of a file, or nothing when it is not compatible: a number before
// the first option line or after a second "#", a data line of another field
// count than its columns need (3 for a one-port file, 9 for a two-port one),
// fewer than 50 or more than 801 points, or frequencies that are not finite
// and positive or whose last is not above the first. Blank lines and comment
// lines are not points; a comment after the data of a line ends that line,
// and a last data line without a line feed is still a point.
std::optional<TouchstoneScan> readTouchstone(std::span<const std::uint8_t> bytes, TouchstoneColumns columns);

// The sweep plan the display uses for a loaded scan (N >= 50): points, freqMin (first point), freqMax (last),
// center, span, logSweep by the spacing test, marker indices from the plan's marker offsets (0..800 scale);
// and the display frequencies (entry i for i < N) into `frequency`.
// The spacing test compares point 200 (the middle point when the scan has no
// point 200 before its last) with its linear and its logarithmic prediction;
// the nearer one wins, a tie goes to logarithmic. A scan of fewer than 2 or
// more than 801 points leaves the plan and `frequency` unchanged.
void planForScan(const TouchstoneScan& scan, SweepPlan& plan, std::span<double> frequency);

}  // namespace vna
