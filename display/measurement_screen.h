// The measurement screen every program shows: the side panel loop (hover,
// choices, typed numbers, wheel steps, buttons), marker dragging and the
// zoom key, the traces and the marker readout, and the full redraw. A
// program is a MeasurementProfile (tables) and ProgramHooks.
//
// Each pass of a loop reads the input once, decides from it and the state
// what to do, does it, and draws: the drawing functions are const and read
// no input.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "display/click_latch.h"
#include "display/measurement_drawing.h"
#include "display/measurement_profile.h"
#include "display/panel_fields.h"
#include "display/program_hooks.h"
#include "display/scale_check.h"
#include "display/trace_layer.h"
#include "measurement/measurement_state.h"
#include "platform/screen.h"

namespace vna {

// One look at the keyboard and the mouse: everything a pass of a loop
// decides from. Taking it also puts on the window what was drawn before.
struct UserInput {
  MouseState mouse;
  std::string key;  // empty: none waiting
};

// Leave: the program's button asked to leave the screen (the viewers' File Access).
enum class IdleResult { Stay, StartScan, Exit, Leave };

// What a pass of the idle loop does with the side panel, decided from the
// state and the input before anything changes: the highlighted field under
// the pointer and what the user did to it.
struct PanelAction {
  const PanelField* field = nullptr;
  Click click = Click::None;
  int wheelDelta = 0;
};

// What a key read in the idle loop asks for.
enum class KeyAction { None, Exit, StartScan, Zoom, NumberEntry };
struct KeyDecision {
  KeyAction action = KeyAction::None;
  PanelItem entryItem = PanelItem::Title;  // NumberEntry: the highlighted number
};

class MeasurementScreen {
 public:
  MeasurementScreen(Screen& screen, MeasurementState& state, const MeasurementProfile& profile,
                    const ProgramHooks& hooks);

  // One pass of the idle loop, in its specified step order.
  IdleResult idlePass();
  UserInput readInput();

  // Panel, plot frame, readout and traces: all three pages.
  void redrawAll();
  // The trace layer only: background copied to the composition page, readout, traces.
  void refreshTraces();
  void recomputeAll();
  void checkScales();
  bool validationPending() const { return errors_.any(); }
  void clearHover() { panel_.clearHover(); }

  // What the drawing functions draw from.
  ScreenView view() const;

  Screen& screen() { return screen_; }
  ClickLatch& latch() { return latch_; }
  const MeasurementProfile& profile() const { return profile_; }
  const ModeSpec& mode() const;
  const ErrorFlags& errors() const { return errors_; }
  const CalibrationProcedure* procedure() const { return profile_.procedure; }

 private:
  // Deciding, from the state and the input, without changing either.
  PanelAction decidePanel(const MouseState& mouse) const;
  KeyDecision decideKey(const std::string& key) const;
  std::array<bool, kPanelItems> hoverChanges(const MouseState& mouse) const;
  bool fieldActive(PanelItem item) const;

  // Doing what was decided.
  IdleResult actOnPanel(const PanelAction& action, const MouseState& mouse);
  IdleResult actOnKey(const KeyDecision& decision, const std::string& key);
  void changeHover(const std::array<bool, kPanelItems>& changed);
  IdleResult actOnButton(PanelItem item);
  IdleResult startButton();
  IdleResult startScanning();
  void choiceClick(PanelItem item, Click click);
  void procedureClick();
  EntryEnd numberEntry(PanelItem item, std::string pendingKey);
  void wheelStep(PanelItem item, const MouseState& mouse, int delta);
  void frequencyChanged(PanelItem item, bool typed);
  void zoomOnMarkers();
  void afterDialog();
  void copyToMemory();
  void saveToFile();
  // A program may offer only some display choices in a mode or without a
  // memory: the choice is mended before the panel shows it.
  void mendDisplayChoice();

  Screen& screen_;
  MeasurementState& state_;
  const MeasurementProfile& profile_;
  ProgramHooks hooks_;
  PanelState panel_;
  ErrorFlags errors_;
  ClickLatch latch_;
  // Where the pointer was at the last look: the Stop button is drawn
  // highlighted under it.
  int pointerX_ = -1, pointerY_ = -1;
  // Where each point is drawn when the plan's points are not evenly spaced,
  // worked out again with the quantities.
  std::vector<double> pointX_;
  // What the traces last drew, so that a scan point redraws only what it changes.
  TraceLayer traceLayer_;
};

}  // namespace vna
