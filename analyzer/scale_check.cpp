#include "analyzer/scale_check.h"

#include "display/layout.h"

namespace vna {
namespace {

void errorBox(Screen& s, std::string_view message) {
  s.color(0, colour::kErrorBack);
  s.printAt(31, kPanelColumn + 2, "        Error          ");
  if (!message.empty()) s.printAt(32, kPanelColumn + 2, message);
  s.color(colour::kText, 0);
}

}  // namespace

std::string_view impedanceTrace2Message(int displayMode) {
  if (displayMode == 2) return " Delay Max < Delay Min ";
  if (displayMode == 0 || displayMode == 1) return " Phase Max < Phase Min ";
  return {};
}

void checkScales(Screen& s, ErrorFlags& e, const ScaleSet& scales, int mode, SweepPlan& plan,
                 Trace2Message trace2Message) {
  const auto m = static_cast<std::size_t>(mode);
  e.flag[0] = scales.trace1Min[m] > scales.trace1Max[m];
  if (e.flag[0]) errorBox(s, "  Gain Max < Gain Min  ");
  e.flag[1] = scales.trace2Min[m] > scales.trace2Max[m];
  if (e.flag[1]) errorBox(s, trace2Message(mode));
  e.flag[2] = plan.freqMin > plan.freqMax;
  if (e.flag[2]) errorBox(s, "  Freq Max < Freq Min  ");
  if (plan.centerSpanEntry) {
    e.flag[3] = plan.center + plan.span / 2 > 99999999.98;
    if (e.flag[3]) errorBox(s, "Center + Span/2 > 99MHz");
    e.flag[4] = plan.center - plan.span / 2 < 10.0;
    if (e.flag[4]) errorBox(s, "Center - Span/2 < 20Hz ");
  } else {
    // The band-edge rules concern a range entered as center and span; left
    // set after a switch to min/max entry they would block Start with no
    // box on the screen.
    e.flag[3] = e.flag[4] = false;
  }
  deriveRange(plan);
}

}  // namespace vna
