// The comment lines vna-measure writes under the comment lines of its
// Touchstone files' header (before the option line, where scikit-rf and
// others keep a file's comments), so that a file says how its values came
// about: when and by which
// program, over which plan, with which calibration (or none), and in a
// two-port file which slots hold measured values:
//
//   ! measured 2026-05-04T14:03:12+02:00 by vna-measure 0.2.0
//   ! plan: 51 log points from 1000 Hz to 10000000 Hz at 40 ms per point
//   ! calibration: cal.txt, holding open, short and load; reference load 50 ohm, 0 H, 0 F
//   ! averaging: 16 sweeps per point, their mean
//
// (the last only with --average; a standard averaged over several sweeps is
// named "open (averaged over 16 sweeps)").
// In a two-port file each of the first three lines is led by its slot
// ("! s21 measured ..."), and a last line says which slots hold values:
//
//   ! slots measured: s21; s11, s12 and s22 hold 0.0 0.0 as placeholders, not values
#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/measure_options.h"
#include "files/parameter_slot.h"

namespace vna {

// ISO 8601 in local time with the offset from UTC: "2026-05-04T14:03:12+02:00".
std::string isoLocalTime(std::time_t time);

// The lines but the slots line, without the "! ".
std::vector<std::string> measurementNotes(std::string_view when, const MeasureOptions& options,
                                          const std::optional<Calibration>& calibration);

// The slots line, without the "! ", of the slots (ParameterSlot order) that hold values.
std::string slotsNote(const std::array<bool, 4>& measured);

// The notes of a two-port file, each led by the slot it speaks of
// ("s22 measured ..."), so that a file built up by several runs says how
// each of its parameters came about.
std::vector<std::string> slotNotes(ParameterSlot slot, std::span<const std::string> notes);

// A two-port text into which `slot` was just merged, with its notes true
// again: our earlier notes of that slot (now stale) replaced by `notes`
// (from slotNotes) and the slots line rewritten from the data lines. In a
// file without a slots line (another program's) the notes and the slots
// line go before the option line, as in our own.
std::string notedMerge(std::string_view merged, ParameterSlot slot, std::span<const std::string> notes);

}  // namespace vna
