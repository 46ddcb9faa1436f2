// The trace layer: the marker readout, the traces, and what a running scan
// shows over them (the scan line, the level bars, the Stop button).
#include <algorithm>
#include <string>

#include "display/layout.h"
#include "display/measurement_drawing.h"
#include "display/plot.h"
#include "display/trace_layer.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

std::size_t clampIndex(int i, std::size_t size) {
  return static_cast<std::size_t>(std::clamp(i, 0, static_cast<int>(size) - 1));
}

}  // namespace

void drawMarkerReadout(Screen& s, const ScreenView& view) {
  const ScanControl& c = view.state.control;
  const ScanRecord& r = view.state.record;
  const ReadoutFormat& f = view.mode.readout;
  s.setPages(kCompositionPage, kVisiblePage);
  s.color(colour::kText, 0);
  const auto value = [&](int row, int column, std::string_view picture, double v) {
    s.locate(row, column);
    if (view.profile.overscaleReadout && !(v > -999999999.98 && v < 9999999999.98)) {
      s.print("  overscale  ");
    } else {
      s.printPicture(picture, v);
    }
  };
  const auto blank2 = [&](int row) { s.printAt(row, f.value2Column, std::string(f.blank2Width, ' ')); };
  const auto blanks = [&](int row) {
    s.printAt(row, 13, std::string(12, ' '));
    s.printAt(row, f.blank1Column, std::string(f.blank1Width, ' '));
    blank2(row);
  };
  // Trace 2 may lack values near both ends of the measured range.
  const int trim = view.hooks.quantities.trace2Trim();
  const int lastMeasured = c.scanComplete() ? view.state.plan.points - 1 : c.resumePoint();
  const auto hasTrace2 = [&](int i) { return trim == 0 || (i >= trim && i <= lastMeasured - trim); };
  const int index[2] = {view.state.plan.markerIndex1, view.state.plan.markerIndex2};
  for (int m = 0; m < 2; ++m) {
    const int row = 45 + m;
    const std::size_t i = clampIndex(index[m], r.frequency.size());
    if (!c.measured(index[m])) {
      blanks(row);
      continue;
    }
    s.locate(row, 13);
    s.printPicture("#########.##", r.frequency[i]);
    value(row, f.value1Column, f.value1Picture, r.trace1[i]);
    if (hasTrace2(index[m])) {
      value(row, f.value2Column, f.value2Picture, r.trace2[i]);
    } else {
      blank2(row);
    }
  }
  if (!(c.measured(index[0]) && c.measured(index[1]))) {
    blanks(47);
    return;
  }
  const std::size_t a = clampIndex(index[0], r.frequency.size()), b = clampIndex(index[1], r.frequency.size());
  s.locate(47, 13);
  s.printPicture("#########.##", r.frequency[b] - r.frequency[a]);
  value(47, f.value1Column, f.value1Picture, r.trace1[b] - r.trace1[a]);
  if (hasTrace2(index[0]) && hasTrace2(index[1])) {
    value(47, f.value2Column, f.value2Picture, r.trace2[b] - r.trace2[a]);
  } else {
    blank2(47);
  }
}

std::string_view startLabel(const ScreenView& view) {
  const CalibrationProcedure* p = view.profile.procedure;
  const bool inSteps = p && inProcedure(*p, view.state.control.procedureState);
  if (view.state.control.scanning()) return inSteps ? p->abortLabel : " Stop    ";
  return inSteps ? p->startLabel : " Start  ";
}

std::string_view runningStartLabel(const ScreenView& view) {
  const CalibrationProcedure* p = view.profile.procedure;
  return p && measuringStandard(*p, view.state.control.procedureState) ? p->abortLabel : " Stop           ";
}

void showProcedureState(Screen& screen_, const ScreenView& view) {
  if (const PanelField* f = findField(view.profile.fields, PanelItem::Procedure); f && view.profile.procedure) {
    screen_.color(colour::kText, 0);
    screen_.printAt(f->row, P + 12, view.profile.procedure->state(view.state.control.procedureState).panelText);
  }
}

void showStartButton(Screen& screen_, const ScreenView& view, bool highlighted) {
  screen_.color(highlighted ? 0 : colour::kText, highlighted ? colour::kText : 0);
  screen_.printAt(36, P + 2, runningStartLabel(view));
  screen_.color(colour::kText, 0);
  if (!highlighted) screen_.box(kStopButton.x0, kStopButton.y0, kStopButton.x1, kStopButton.y1, colour::kTrace1);
}

void drawTraces(Screen& screen_, TraceLayer& layer, const ScreenView& view) {
  const ScanControl& c = view.state.control;
  const ScanRecord& r = view.state.record;
  const ModeScales s = view.state.scales.of(c.displayMode);
  const int points = view.state.plan.points;
  TraceView v;
  v.points = points;
  v.scanning = c.scanning();
  v.currentPoint = c.currentPoint();
  v.segments = c.segments(points);
  v.markerOffset1 = view.state.plan.markerOffset1;
  v.markerOffset2 = view.state.plan.markerOffset2;
  v.logTrace1 = view.mode.logTrace1;
  v.trace1Max = s.trace1Max;
  v.trace1Min = s.trace1Min;
  v.trace2Max = s.trace2Max;
  v.trace2Min = s.trace2Min;
  v.drawTrace2 = c.displayChoice == display_choice::kBoth || c.displayChoice == display_choice::kBothWithMemory;
  v.drawMemory1 = c.memoryShown();
  v.drawMemory2 = c.displayChoice == display_choice::kBothWithMemory && c.memoryShown();
  if (view.hooks.quantities.secondCurvesShown()) {
    v.drawMemory1 = true;
    v.drawMemory2 = v.drawTrace2;
  }
  const auto n = static_cast<std::size_t>(points);
  v.trace1 = std::span(r.trace1).first(n);
  v.trace2 = std::span(r.trace2).first(n);
  v.memory1 = std::span(r.memoryTrace1).first(n);
  v.memory2 = std::span(r.memoryTrace2).first(n);
  v.trace2Trim = view.hooks.quantities.trace2Trim();
  if (view.pointX.size() == n) v.pointX = view.pointX;
  if (c.displayChoice == display_choice::kLevels) {
    v.levelTraceA = std::span(r.levelA).first(n);
    v.levelTraceR = std::span(r.levelR).first(n);
  }
  if (c.scanning() && view.profile.levelMeter) {
    const std::size_t p = clampIndex(c.currentPoint(), r.levelA.size());
    v.levelBars = true;
    v.levelA = r.levelA[p];
    v.levelR = r.levelR[p];
  }
  if (c.scanning()) {
    v.startLabel = runningStartLabel(view);
    v.startHovered = kStopButton.contains(view.pointerX, view.pointerY);
  }
  if (view.profile.procedure) {
    const auto& prompt = view.profile.procedure->state(c.procedureState).tracePrompt;
    v.promptLine1 = prompt[0];
    v.promptLine2 = prompt[1];
  }
  layer.draw(screen_, v);
}

}  // namespace vna
