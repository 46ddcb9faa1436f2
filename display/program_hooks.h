// The few things a program does its own way behind the shared measurement
// screen, one small interface per concern. The hooks reach the program's
// state through the references they were built with. Where a program has
// nothing for a concern, the interface itself, with its empty defaults, is
// the implementation.
#pragma once

#include "display/click_latch.h"
#include "display/panel_fields.h"
#include "platform/screen.h"

namespace vna {

// The quantities of a point.
class PointQuantities {
 public:
  virtual ~PointQuantities() = default;
  // Derives the displayed quantities of point i (trace1, trace2 and the
  // memory traces) from the converted ratio and the program's own arrays.
  virtual void derivePoint(int i) = 0;
  // Points at each end of the measured range without a trace 2 value (the
  // group delay's half aperture): neither drawn nor read out.
  virtual int trace2Trim() const { return 0; }
  // The viewers' second port, drawn in the memory traces' places and colours.
  virtual bool secondCurvesShown() const { return false; }
};

// The program's own rows of the side panel.
class ProgramPanel {
 public:
  virtual ~ProgramPanel() = default;
  // Panel parts only this program draws (a circuit symbol, an extra row),
  // drawn over the finished panel.
  virtual void drawPanelExtras(Screen&, const PanelState&) const {}
  // A click, Left or Right, on a choice the program serves (the delay
  // aperture, the viewers' parameter, a program's own); true when it changed
  // a setting. An item takes the pointer only while shown.
  virtual bool programChoice(PanelItem, Click) { return false; }
  virtual void showProgramChoice(Screen&, PanelItem, bool /*hovered*/) const {}
  // After every scale validation, for limits of the program's own settings.
  virtual void afterScaleCheck() {}
};

// The program's own button (Reference Load, Adjustment, File Access).
class ProgramButton {
 public:
  virtual ~ProgramButton() = default;
  // True when the measurement screen is to be left.
  virtual bool press(Screen&, ClickLatch&) { return false; }
};

// "Save measure to File" after a complete scan.
class MeasurementOutput {
 public:
  virtual ~MeasurementOutput() = default;
  // The Save As dialog. True when the user asked for a copy of the screen,
  // which copyScreen makes after the redraw, so that it shows the
  // measurement and not the dialog; copyScreen says false when the copy
  // failed (and said why on the screen).
  virtual bool saveMeasure(Screen&, ClickLatch&) { return false; }
  virtual bool copyScreen(Screen&) { return true; }
};

// What the shared screen asks of the program.
struct ProgramHooks {
  PointQuantities& quantities;
  ProgramPanel& panel;
  ProgramButton& button;
  MeasurementOutput& output;
};

}  // namespace vna
