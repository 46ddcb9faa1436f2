// Touchstone (version 1) files as the analyzers save them: S parameters in
// dB and degrees against 50 ohms, frequencies in hertz, CR LF line ends.
//
//   !  kelvane  <CR><LF>                      comment (the transmission analyzer adds its title)
//   ! parameter S<CR><LF>
//   # HZ S DB R 50<CR><LF>                    option line
//   1000000 -12.5 45.25<CR><LF>               .s1p: F D A
//   200 -0.5 -3.25 0.0 0.0 0.0 0.0 0.0 0.0 <CR><LF>   .s2p saved as s11
//
// A two-port file holds one measured parameter per save; the other pairs are
// written as "0.0 0.0". Saving a parameter into an existing two-port file
// merges it: only that parameter's columns change, so s11 and s22 (or s21 and
// s12) are built up under one name by two saves.
//
// Everything here but the three savers at the end is a pure function from
// values to bytes, so the exact layout can be tested without a disk.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "files/parameter_slot.h"

namespace vna {

// One scan point as the program hands it over. The magnitude and angle are
// written rounded to single precision whatever precision they come in.
struct TouchstonePoint {
  double frequencyHz = 0.0;
  double db = 0.0;
  double angleDeg = 0.0;
};

// Which program writes: it decides the comment line at the top.
enum class FileOrigin { impedanceAnalyzer, transmissionAnalyzer };

inline constexpr std::string_view kNotCompatible = " error : the file is not compatible ";
// The merge writes its new version under this name beside the file.
inline constexpr std::string_view kMergeTempName = "spartemp.tmp";

// Numbers as they appear in the file: the frequency with 16 significant
// digits ("%.16g"), magnitudes and angles rounded to single precision and
// written with 7 ("%.7g"). No plus sign, no trailing decimal point, the same
// text in every locale.
std::string frequencyText(double hz);
std::string valueText(double value);

// The three header lines, CR LF included.
std::string touchstoneHeader(FileOrigin origin);

// One data line, CR LF included.
std::string s1pLine(const TouchstonePoint& point);
std::string s2pLine(ParameterSlot slot, const TouchstonePoint& point);

// Whole files: the header, then one line per point in order. A one-port
// file is only ever written by the impedance analyzer. `notes` become
// comment lines ("! " + note, CR LF) under the header's comment lines,
// before the option line, saying how the values were measured; the
// analyzers write none.
std::string s1pContent(std::span<const TouchstonePoint> points, std::span<const std::string> notes = {});
std::string s2pContent(FileOrigin origin, ParameterSlot slot, std::span<const TouchstonePoint> points,
                       std::span<const std::string> notes = {});

// "! " + note + CR LF.
std::string commentLine(std::string_view note);

// Which of the four slots (in ParameterSlot order) hold values in the data
// lines of a two-port text: a slot whose every pair is the literal "0.0 0.0"
// the writer puts in the slots it did not measure holds none (a measured 0
// is written "0").
std::array<bool, 4> slotsHoldingValues(std::string_view text);

// Whether a scan of these frequencies (hertz, point 0 first) can be merged
// into an existing two-port file: the file must be one the merge can fill
// (see mergeS2p) and hold the scan's plan, as many points and point for
// point the same frequency as the writer prints it (16 digits, compared to
// 1e-12). Merging by index into a file of another plan would put each value
// on another frequency's line. For another plan, `difference` says how, as a
// line under kNotCompatible: "101 points in the file, 51 in the scan", or
// "line 12: 10000000 Hz in the file, 20000000 Hz in the scan" (the file's
// own line number, its frequency in hertz whatever its unit).
enum class MergeFit { fits, notCompatible, otherPlan };
struct MergeCheck {
  MergeFit fit = MergeFit::fits;
  std::string difference;  // only for otherPlan
};
MergeCheck checkMerge(std::string_view existing, std::span<const double> scanHz);

// The new version of an existing two-port file with `slot` taken from
// `points` (data line k gets point k), or the reason it cannot be merged.
// The header, comments, blank lines, frequencies and the other columns are
// kept as they stand. Refused (kNotCompatible): a file without a usable
// option line (S parameters, DB, R 50) or without data lines, a data line of
// other than nine numbers, numbers before the option line or after a second
// one, and a file of another plan than the points' (checkMerge; `detail`
// then says how they differ). An empty scan is refused as well.
struct MergeResult {
  std::optional<std::string> content;
  std::string reason;  // empty when content is there
  std::string detail;  // a second line for the reason, when there is one
  bool ok() const { return content.has_value(); }
};
MergeResult mergeS2p(std::string_view existing, ParameterSlot slot, std::span<const TouchstonePoint> points);

// On disk: each replaces `file` only once the new content is completely
// written (see atomic_file.h); an incompatible or unreadable file for a
// merge is left untouched and the reason returned (with the merge's detail).
SaveResult saveS1p(const std::filesystem::path& file, std::span<const TouchstonePoint> points,
                   std::span<const std::string> notes = {});
SaveResult saveS2p(const std::filesystem::path& file, FileOrigin origin, ParameterSlot slot,
                   std::span<const TouchstonePoint> points, std::span<const std::string> notes = {});
SaveResult mergeS2pFile(const std::filesystem::path& file, ParameterSlot slot, std::span<const TouchstonePoint> points);

}  // namespace vna
