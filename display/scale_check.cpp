#include "display/scale_check.h"

#include "display/layout.h"

namespace vna {

ScaleVerdict validateScales(const ScaleSet& scales, int mode, const SweepPlan& plan, std::string_view trace2Message) {
  ScaleVerdict v;
  const ModeScales s = scales.of(mode);
  const auto rule = [&](int flag, bool failed, std::string_view message) {
    v.flags.flag[static_cast<std::size_t>(flag)] = failed;
    if (failed) v.messages[static_cast<std::size_t>(v.failures++)] = message;
  };
  rule(0, s.trace1Min > s.trace1Max, "  Gain Max < Gain Min  ");
  rule(1, s.trace2Min > s.trace2Max, trace2Message);
  rule(2, plan.freqMin > plan.freqMax, "  Freq Max < Freq Min  ");
  // The band-edge rules concern a range entered as center and span; left
  // set after a switch to min/max entry they would block Start with no box
  // on the screen, so they are cleared then.
  rule(3, plan.centerSpanEntry && plan.center + plan.span / 2 > 99999999.98, "Center + Span/2 > 99MHz");
  rule(4, plan.centerSpanEntry && plan.center - plan.span / 2 < 10.0, "Center - Span/2 < 20Hz ");
  return v;
}

void showErrorBoxes(Screen& s, const ScaleVerdict& verdict) {
  for (int i = 0; i < verdict.failures; ++i) {
    s.color(0, colour::kErrorBack);
    s.printAt(31, kPanelColumn + 2, "        Error          ");
    const std::string_view message = verdict.messages[static_cast<std::size_t>(i)];
    if (!message.empty()) s.printAt(32, kPanelColumn + 2, message);
    s.color(colour::kText, 0);
  }
}

void checkScales(Screen& screen, ErrorFlags& errors, const ScaleSet& scales, int displayMode, SweepPlan& plan,
                 std::string_view trace2Message) {
  const ScaleVerdict verdict = validateScales(scales, displayMode, plan, trace2Message);
  errors = verdict.flags;
  showErrorBoxes(screen, verdict);
  deriveRange(plan);
}

}  // namespace vna
