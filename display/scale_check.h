// Validation of the two vertical scales and the frequency plan after every
// change: one flag per rule and an error box per violated rule, then the
// plan's two descriptions (min/max, center/span) brought into agreement.
// The rules are pure; drawing the boxes is a separate step.
#pragma once

#include <array>
#include <string_view>

#include "measurement/scale_set.h"
#include "measurement/sweep_plan.h"
#include "platform/screen.h"

namespace vna {

// The five validation flags: trace 1 scale, trace 2 scale, frequency order,
// upper band edge, lower band edge.
struct ErrorFlags {
  std::array<bool, 5> flag{};
  bool any() const { return flag[0] || flag[1] || flag[2] || flag[3] || flag[4]; }
};

struct ScaleVerdict {
  ErrorFlags flags;
  // The message line of each failing rule, in the order the rules run; an
  // empty message writes only the "Error" line.
  std::array<std::string_view, 5> messages{};
  int failures = 0;
};

// `trace2Message` is the current mode's text for a reversed trace 2 scale.
ScaleVerdict validateScales(const ScaleSet& scales, int displayMode, const SweepPlan& plan,
                            std::string_view trace2Message);

// One box per failure, in order, so the last failing rule's message is seen.
void showErrorBoxes(Screen& screen, const ScaleVerdict& verdict);

// The whole check as the loops call it: validate, show, synchronise the plan.
void checkScales(Screen& screen, ErrorFlags& errors, const ScaleSet& scales, int displayMode, SweepPlan& plan,
                 std::string_view trace2Message);

}  // namespace vna
