// The measurement screen every program shows: the side panel loop (hover,
// choices, typed numbers, wheel steps, buttons), marker dragging and the
// zoom key, the traces and the marker readout, and the full redraw. A
// program is a MeasurementProfile (tables) and MeasurementHooks.
#pragma once

#include <vector>

#include <string>

#include "display/click_latch.h"
#include "display/measurement_profile.h"
#include "display/panel_fields.h"
#include "display/scale_check.h"
#include "display/trace_layer.h"
#include "measurement/measurement_state.h"
#include "platform/screen.h"

namespace vna {

// Leave: the program's button asked to leave the screen (the viewers' File Access).
enum class IdleResult { Stay, StartScan, Exit, Leave };

class MeasurementScreen {
 public:
  MeasurementScreen(Screen& screen, MeasurementState& state, const MeasurementProfile& profile,
                    MeasurementHooks& hooks);

  // One pass of the idle loop, in its specified step order.
  IdleResult idlePass();

  // Panel, plot frame, readout and traces: all three pages.
  void redrawAll();
  // The trace layer only: background copied to the composition page, readout, traces.
  void refreshTraces();
  void recomputeAll();
  void checkScales();
  bool validationPending() const { return errors_.any(); }
  void clearHover() { panel_.clearHover(); }

  // The start button's label as the panel draws it, and as it is reprinted
  // (padded) while hovered or while a scan runs.
  std::string_view startLabel() const;
  std::string_view runningStartLabel() const;
  void showStartButton(bool highlighted);
  // Reprints the calibrate or normalize item's state in plain colours.
  void showProcedureState();

  Screen& screen() { return screen_; }
  ClickLatch& latch() { return latch_; }
  const MeasurementProfile& profile() const { return profile_; }
  const ModeSpec& mode() const;
  const ErrorFlags& errors() const { return errors_; }
  const CalibrationProcedure* procedure() const { return profile_.procedure; }

 private:
  // Idle loop steps.
  IdleResult handlePanel(const MouseState& mouse);
  IdleResult handleKey(const std::string& key);
  IdleResult startButton();
  IdleResult startScanning();
  void choiceClick(PanelItem item, Click click);
  void procedureClick();
  void numberEntry(PanelItem item, std::string pendingKey);
  void wheelStep(PanelItem item, const MouseState& mouse, int delta);
  void frequencyChanged(PanelItem item, bool typed);
  void updateHover(const MouseState& mouse);
  void showField(const PanelField& field, bool hovered);
  void zoomOnMarkers();
  void helpButton();
  void copyToMemory();
  void saveToFile();
  void showAcquisitionError();
  bool fieldActive(PanelItem item) const;

  // Drawing.
  void drawPanel();
  void drawMarkerReadout();
  void drawTraces();

  Screen& screen_;
  MeasurementState& state_;
  const MeasurementProfile& profile_;
  MeasurementHooks& hooks_;
  PanelState panel_;
  ErrorFlags errors_;
  ClickLatch latch_;
  // Where each point is drawn when the plan's points are not evenly spaced,
  // worked out again with the quantities.
  std::vector<double> pointX_;
  // What the traces last drew, so that a scan point redraws only what it changes.
  TraceLayer traceLayer_;
};

}  // namespace vna
