// The two markers: which one follows the mouse, and the zoom that turns the
// pair into a new frequency range. Their offsets and indices live in the
// sweep plan.
#pragma once

#include "measurement/sweep_plan.h"
#include "platform/input.h"

namespace vna {

struct MarkerPair {
  bool markerGrabbed1 = false;
  bool markerGrabbed2 = false;
};

// A marker is grabbed by hovering within 7 pixels of its line and follows the
// pointer while the left button alone is held; marker 1 has the first claim.
// Returns true when a marker moved (the trace layer must be redrawn).
bool dragMarkers(MarkerPair& markers, SweepPlan& plan, const MouseState& mouse);

// The zoom key: the markers' frequencies become the range (ordered low to
// high), or, when both markers sit on one frequency, the new center.
void zoomToMarkers(SweepPlan& plan, double frequency1, double frequency2);

}  // namespace vna
