// vna-measure --load "R L C": the reference load of a calibration, in one
// argument, each value within the limits of the analyzers' Reference Load
// screen (L and C are typed there in nH and pF).
#pragma once

#include <string>
#include <string_view>

#include "analyzer/measure_options.h"

namespace vna {

// An empty string when accepted (o.loadOverride is set), otherwise the error.
std::string referenceLoadOption(MeasureOptions& o, std::string_view value);

}  // namespace vna
