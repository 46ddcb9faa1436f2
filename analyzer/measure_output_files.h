// Where a measurement's files go and how they are written: the points of a
// Touchstone file, its name among several sweeps, a new file or a slot
// merged into an existing two-port file, and the checks made before the
// first sweep so that no sweep is measured for a file that cannot be written.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyzer/measure_program.h"
#include "analyzer/point_inputs.h"
#include "files/atomic_file.h"
#include "files/touchstone_writer.h"

namespace vna {

// The points of the file, each the result of its inputs' means.
std::vector<TouchstonePoint> filePoints(MeasureCommand command, std::span<const PointInputs> inputs);
// NAME.s1p, or NAME-0003.s1p of several sweeps, in `directory`.
std::filesystem::path outputFile(const MeasureOptions& o, const std::filesystem::path& directory, int sweep);
// A new .s1p or .s2p, the slot merged into an existing .s2p, or "-".
SaveResult writePoints(const MeasureOptions& o, MeasureSetting& s, const std::filesystem::path& file,
                       const std::vector<TouchstonePoint>& points, std::vector<std::string> notes);
// Empty when the run can write where it is to write; otherwise what is
// wrong and what to do.
std::string outputFolderProblem(const MeasureOptions& o, const std::filesystem::path& directory);

struct Refusal {
  MeasureExit status;
  std::string message;
};
// A two-port target of another plan, or one the merge cannot fill.
std::optional<Refusal> mergeTargetRefusal(const MeasureOptions& o, const std::filesystem::path& directory);

}  // namespace vna
