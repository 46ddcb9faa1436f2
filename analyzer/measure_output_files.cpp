#include "analyzer/measure_output_files.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "analyzer/measure_notes.h"
#include "reflection/impedance_quantities.h"
#include "transmission/transmission_columns.h"
#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

namespace fs = std::filesystem;

// Empty when files can be made in `folder`, named `name` as the user gave
// it (empty for the current folder); otherwise what is wrong and what to
// do. Found before the first sweep, so that no sweep is measured for nothing.
std::string folderProblem(const fs::path& folder, const std::string& name) {
  const std::string shown = name.empty() ? "the current folder" : "the folder " + name;
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (!fs::exists(status)) return shown + " does not exist: make it (mkdir -p " + name + ") or write elsewhere";
  if (!fs::is_directory(status)) return name + " is not a folder: name a folder to write into";
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return shown + " is not writable (" + std::strerror(errno) + "): write elsewhere or change its rights";
  return {};
}

}  // namespace

// The points of the file, each the result of its inputs' means: corrected
// with the calibration's standards when there is one, as the analyzers show
// them otherwise.
std::vector<TouchstonePoint> filePoints(MeasureCommand command, std::span<const PointInputs> inputs) {
  std::vector<TouchstonePoint> points;
  for (const PointInputs& p : inputs) {
    const Complex result = p.result();
    points.push_back(command == MeasureCommand::Reflection ? reflectionDbAngle(p.frequency, result)
                                                           : transmissionDbAngle(p.frequency, result));
  }
  return points;
}

// NAME.s1p, or NAME-0003.s1p of several sweeps, in `directory`.
fs::path outputFile(const MeasureOptions& o, const fs::path& directory, int sweep) {
  fs::path file = directory / *o.output;
  if (o.sweeps == 1) return file;
  char number[16];
  std::snprintf(number, sizeof number, "-%04d", sweep + 1);
  return file.parent_path() / (file.stem().string() + number + file.extension().string());
}

// As the Save As dialog saves: a new .s1p or .s2p, or the slot merged into
// an existing .s2p; "-" to standard output. Each with our comment lines.
SaveResult writePoints(const MeasureOptions& o, MeasureSetting& s, const fs::path& file,
                       const std::vector<TouchstonePoint>& points, std::vector<std::string> notes) {
  const FileOrigin origin =
      o.command == MeasureCommand::Reflection ? FileOrigin::impedanceAnalyzer : FileOrigin::transmissionAnalyzer;
  std::error_code error;
  const bool merge = o.twoPort && *o.output != "-" && fs::is_regular_file(file, error);
  if (merge) {
    const ReadResult existing = readWholeFile(file);
    if (!existing.bytes) return SaveResult::failure(existing.reason);
    const MergeResult merged = mergeS2p(*existing.bytes, o.slot, points);
    // Checked before the sweep already; the file may have changed since.
    if (!merged.ok() && !merged.detail.empty())
      return SaveResult::failure(file.string() + " holds another plan than this sweep's (" + merged.detail +
                                 "): it is unchanged; name a new file with -o");
    if (!merged.ok())
      return SaveResult::failure(file.string() +
                                 " cannot take the slot: it is no two-port file of S parameters in dB against 50 "
                                 "ohms with data lines; name a new file with -o");
    return saveAtomicallyThrough(file, kMergeTempName, notedMerge(*merged.content, o.slot, slotNotes(o.slot, notes)));
  }
  if (o.twoPort) {
    notes = slotNotes(o.slot, notes);
    std::array<bool, 4> measured{};
    measured[static_cast<std::size_t>(o.slot)] = true;
    notes.push_back(slotsNote(measured));
  }
  if (*o.output == "-") {
    const std::string text = o.twoPort ? s2pContent(origin, o.slot, points, notes) : s1pContent(points, notes);
    if (std::fwrite(text.data(), 1, text.size(), s.out) != text.size() || std::fflush(s.out) != 0)
      return SaveResult::failure(std::string("standard output: ") + std::strerror(errno));
    return SaveResult::success();
  }
  return o.twoPort ? saveS2p(file, origin, o.slot, points, notes) : saveS1p(file, points, notes);
}

// The folder the run writes into: the output's, or the calibration file's.
std::string outputFolderProblem(const MeasureOptions& o, const fs::path& directory) {
  std::optional<fs::path> named;
  if (o.command == MeasureCommand::Calibrate || o.command == MeasureCommand::Normalize) named = o.calFile;
  if (o.output && *o.output != "-") named = fs::path(*o.output);
  if (!named) return {};
  const fs::path parent = named->parent_path();
  return folderProblem(directory / parent, parent.string());
}

// A sweep saved into an existing two-port file is merged into it point by
// point, which only means something when the file holds the same plan; the
// plan's frequencies and the file are both known before the instrument is
// touched, so a file of another plan, or one the merge cannot fill at all,
// is refused before minutes of sweeping rather than after. Every numbered
// target of --sweeps that exists is looked at.
std::optional<Refusal> mergeTargetRefusal(const MeasureOptions& o, const fs::path& directory) {
  const bool saving = o.command == MeasureCommand::Reflection || o.command == MeasureCommand::Transmission;
  if (!saving || !o.twoPort || *o.output == "-") return std::nullopt;
  std::vector<double> frequency(static_cast<std::size_t>(o.plan.points) + 2);
  buildFrequencyList(o.plan, frequency);
  const std::span<const double> scanHz(frequency.data(), static_cast<std::size_t>(o.plan.points));
  for (int k = 0; k < o.sweeps; ++k) {
    const fs::path file = outputFile(o, directory, k);
    const std::string shown = outputFile(o, {}, k).string();
    std::error_code error;
    if (!fs::is_regular_file(file, error)) continue;
    const ReadResult read = readWholeFile(file);
    if (!read.bytes) return Refusal{MeasureExit::CannotWrite, read.reason};
    const MergeCheck check = checkMerge(*read.bytes, scanHz);
    if (check.fit == MergeFit::otherPlan)
      return Refusal{MeasureExit::OtherPlan, shown + " holds another plan than this sweep's (" + check.difference +
                                                 "): sweep with the plan it was measured with, or give -o a new name"};
    if (check.fit == MergeFit::notCompatible)
      return Refusal{MeasureExit::CannotWrite,
                     shown +
                         " is not compatible (not a two-port file in dB against 50 ohms that can take the "
                         "sweep): give -o a new name"};
  }
  return std::nullopt;
}

}  // namespace vna
