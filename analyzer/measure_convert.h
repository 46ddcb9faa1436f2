// vna-measure convert: the quantities of a Touchstone file's points, as the
// measuring commands write them of the instrument's, without touching the
// instrument. Any file the viewers read, on its own reference resistance.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyzer/measure_program.h"
#include "analyzer/quantity_choice.h"
#include "files/parameter_slot.h"

namespace vna {

using Complex = std::complex<double>;

// The chosen quantities of every point, row by row.
struct ConvertedScan {
  std::vector<double> frequency;  // hertz, the file's own
  std::vector<double> values;     // points x columns
  std::size_t columns = 0;
  double reference = 50;  // ohms, of the parameter read
  std::span<const double> row(std::size_t point) const { return std::span(values).subspan(point * columns, columns); }
};
struct Conversion {
  std::optional<ConvertedScan> scan;
  std::string reason;  // the reader's, without its blanks at the ends
};

// One parameter of a Touchstone file, as the file gives it: the frequencies,
// the complex values in full precision, and the reference resistance of its
// port. Or the reader's reason, without its blanks at the ends.
struct SlotReading {
  std::vector<double> frequency;  // hertz
  std::vector<Complex> s;
  double reference = 50;  // ohms
};
struct SlotRead {
  std::optional<SlotReading> slot;
  std::string reason;
};
// `twoPortFile`: the file is read as a two-port file (its name ends in s2p).
SlotRead readSlot(std::span<const std::uint8_t> bytes, bool twoPortFile, ParameterSlot slot);

// The reflection a slot holds as an impedance on the port's reference.
std::vector<Complex> impedancesOf(const SlotReading& slot);

// `twoPortFile`: the file is read as a two-port file (its name ends in s2p).
// s of a reflection slot becomes Z = R0 (1 + s)/(1 - s) on the file's R0 of
// that port; an exact s = 1 (an ideal open) gives an infinite Z and values
// that are not numbers, as the formulas give them.
Conversion convertTouchstone(std::span<const std::uint8_t> bytes, bool twoPortFile, ParameterSlot slot,
                             const QuantityChoice& choice);

// The convert command: reads options.input, writes options.output (a file
// whole or not at all, or standard output); the exit status.
int runConvert(const MeasureOptions& options, MeasureSetting& setting);

}  // namespace vna
