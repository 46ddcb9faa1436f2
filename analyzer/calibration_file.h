// The calibration file of vna-measure: the standards measured by
// "calibrate" and "normalize", with the plan and the instrument settings
// they were measured with, as plain text that a person can read and a
// script can parse:
//
//   # vna-measure calibration
//   plan from 200 to 60000000 points 401 log sample-code 6
//   clock 150000000
//   ar-gain 1 ar-phase 0
//   load 50 0 0
//   standard open
//   0 0.98765432109876543 -0.012345678901234567
//   1 0.98765432109876521 -0.012345678901234588
//   ...
//   standard short
//   ...
//
// Line 1 is that title. The next four lines come in this order: the plan
// (from and to in Hz, the number of points, log or linear, the sample code),
// the instrument clock in Hz, the A/R gain (linear) and phase (degrees), and
// the reference load's R (ohms), L (henries) and C (farads). Then come the
// standards that have been measured, none to all of open, short, load and
// through, each at most once and in any order: a line "standard NAME" and
// one line per point, "index re im", the indices 0 to points-1 in order.
// A standard averaged over N sweeps (N from 2 to 1000) is headed "standard
// NAME averaged N" instead, and each of its lines also holds the standard
// uncertainty of the mean's real and imaginary part: "index re im u-re u-im".
//
// Fields are separated by spaces or tabs; blank lines and lines that begin
// with '#' are skipped; a line may end in CR LF. Every double is written
// with 17 significant digits, so reading gives back the very same bits.
#pragma once

#include <complex>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/atomic_file.h"
#include "measurement/sweep_plan.h"
#include "measurement/uncertainty.h"

namespace vna {

// How an averaged standard spread: the sweeps its mean was taken over and,
// per point, the standard uncertainty of the mean's real and imaginary part.
struct StandardSpread {
  int sweeps = 2;
  std::vector<double> uRe, uIm;
};

struct Calibration {
  SweepPlan plan;
  int clockHz = 150000000;
  double arGain = 1, arPhase = 0;        // linear; degrees
  double refR = 50, refL = 0, refC = 0;  // ohms, henries, farads
  // One ratio per point of the plan, for each standard measured so far.
  std::optional<std::vector<std::complex<double>>> open, shortCircuit, load, through;
  // Beside each standard averaged over two sweeps or more, its spread;
  // absent for a standard of one sweep (and in files written before averaging).
  std::optional<StandardSpread> openSpread, shortSpread, loadSpread, throughSpread;
};

// Point i of a standard with its uncertainty; 0 without a spread.
UncertainComplex standardPoint(const std::vector<std::complex<double>>& values,
                               const std::optional<StandardSpread>& spread, std::size_t i);

// The file's text. Written as it stands: a standard whose length is not the
// plan's points gives a file that readCalibration refuses.
std::string calibrationText(const Calibration& calibration);

// The calibration, or a one-line reason beginning with the line number
// ("line 7: ...") when the text is not a calibration file as above. Any
// bytes give one of the two.
struct CalibrationReading {
  std::optional<Calibration> calibration;
  std::string reason;  // empty when read
};
CalibrationReading readCalibration(std::string_view text);

// Empty when a calibration measured over `stored` applies to a sweep of
// `wanted`: the same range, points, spacing and sample code. Otherwise one
// sentence describing both, e.g. "the calibration was measured over 401 log
// points from 200 Hz to 60000000 Hz; this sweep is 51 log points from 1000 Hz
// to 10000000 Hz" (with the time per point when that differs).
std::string planDifference(const SweepPlan& stored, const SweepPlan& wanted);

// A plan as those sentences describe it, with the time per point:
// "51 log points from 1000 Hz to 10000000 Hz at 40 ms per point".
std::string planText(const SweepPlan& plan);

// Writes the file through a temporary file beside it. A calibration whose
// text would not read back (a standard of the wrong length, a value that is
// not finite, a plan the instrument cannot sweep) is refused with the reason
// and nothing is written.
SaveResult saveCalibration(const std::filesystem::path& file, const Calibration& calibration);

}  // namespace vna
