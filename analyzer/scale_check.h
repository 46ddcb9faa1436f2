// Validation of the two vertical scales and the frequency plan after every
// change: an error box per violated rule, one flag per rule, and the plan's
// two descriptions (min/max, center/span) brought into agreement.
#pragma once

#include "analyzer/sweep_plan.h"
#include "display/panel_fields.h"
#include "display/scale_set.h"
#include "platform/screen.h"

namespace vna {

// Message of a reversed trace 2 scale by mode; empty writes only the "Error" line.
using Trace2Message = std::string_view (*)(int displayMode);
std::string_view impedanceTrace2Message(int displayMode);

void checkScales(Screen& screen, ErrorFlags& errors, const ScaleSet& scales, int displayMode, SweepPlan& plan,
                 Trace2Message trace2Message = impedanceTrace2Message);

}  // namespace vna
