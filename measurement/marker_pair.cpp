#include "measurement/marker_pair.h"

#include <algorithm>

namespace vna {
namespace {

constexpr int kOrigin = 3;  // the plot box's left edge

bool drag(std::int32_t& offset, std::int32_t& index, bool& grabbed, bool otherGrabbed, int points,
          const MouseState& mouse) {
  const int x = kOrigin + offset;
  const bool inZone = mouse.x > x - 7 && mouse.x < x + 7 && mouse.y > 2 && mouse.y < 694;
  if (inZone && !otherGrabbed) grabbed = true;
  if (!inZone && grabbed && mouse.buttons == 0) grabbed = false;
  if (!(grabbed && mouse.buttons == 1 && mouse.x != x && mouse.x > 2 && mouse.x < 804)) return false;
  offset = std::clamp(mouse.x, kOrigin, kOrigin + 800) - kOrigin;
  index = markerIndexFor(points, offset);
  return true;
}

}  // namespace

bool dragMarkers(MarkerPair& m, SweepPlan& plan, const MouseState& mouse) {
  bool moved = drag(plan.markerOffset1, plan.markerIndex1, m.markerGrabbed1, m.markerGrabbed2, plan.points, mouse);
  if (!m.markerGrabbed1)
    moved = drag(plan.markerOffset2, plan.markerIndex2, m.markerGrabbed2, m.markerGrabbed1, plan.points, mouse) ||
            moved;
  return moved;
}

void zoomToMarkers(SweepPlan& plan, double f1, double f2) {
  if (f1 == f2) {
    plan.center = f1;
    plan.centerSpanEntry = true;
    return;
  }
  plan.freqMin = std::min(f1, f2);
  plan.freqMax = std::max(f1, f2);
  plan.centerSpanEntry = false;
}

}  // namespace vna
