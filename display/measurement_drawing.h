// Drawing the measurement screen from what is: the panel, a field as the
// hover shows it, the marker readout and the trace layer. Every function
// takes what it draws as const and writes nothing but pixels.
#pragma once

#include <span>
#include <string_view>

#include "display/measurement_profile.h"
#include "display/panel_fields.h"
#include "display/program_hooks.h"
#include "display/trace_layer.h"
#include "measurement/measurement_state.h"
#include "platform/screen.h"

namespace vna {

struct ScreenView {
  const MeasurementState& state;
  const MeasurementProfile& profile;
  const ModeSpec& mode;
  const PanelState& panel;
  const ProgramHooks& hooks;  // asked only for what to draw
  // Where each point is drawn when the plan's points are not evenly spaced.
  std::span<const double> pointX;
  // Where the pointer was at the last look at the input.
  int pointerX = -1, pointerY = -1;
};

// A field exists in the present state (center and span on a linear sweep
// only, for example): it is drawn and takes the pointer.
bool fieldShown(const ScreenView& view, PanelItem item);
// The side panel on the background page.
void drawPanel(Screen& screen, const ScreenView& view);
// One field printed again on the visible page, inverse while hovered.
void showField(Screen& screen, const ScreenView& view, const PanelField& field, bool hovered);

// The marker readout and the traces on the composition page, then shown;
// `layer` remembers what it drew, so that a scan point redraws only what it
// changes.
void drawMarkerReadout(Screen& screen, const ScreenView& view);
void drawTraces(Screen& screen, TraceLayer& layer, const ScreenView& view);

// The start button's label as the panel draws it, and as it is reprinted
// (padded) while hovered or while a scan runs.
std::string_view startLabel(const ScreenView& view);
std::string_view runningStartLabel(const ScreenView& view);
void showStartButton(Screen& screen, const ScreenView& view, bool highlighted);
// The calibrate or normalize item's state in plain colours.
void showProcedureState(Screen& screen, const ScreenView& view);

}  // namespace vna
