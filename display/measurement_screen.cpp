#include "display/measurement_screen.h"

#include <algorithm>

#include "display/help_screen.h"
#include "display/layout.h"
#include "display/plot.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

std::size_t clampIndex(int i, std::size_t size) {
  return static_cast<std::size_t>(std::clamp(i, 0, static_cast<int>(size) - 1));
}

}  // namespace

MeasurementScreen::MeasurementScreen(Screen& screen, MeasurementState& state, const MeasurementProfile& profile,
                                     MeasurementHooks& hooks)
    : screen_(screen), state_(state), profile_(profile), hooks_(hooks) {}

const ModeSpec& MeasurementScreen::mode() const {
  const auto m = static_cast<std::size_t>(state_.control.displayMode);
  return profile_.modes[m < profile_.modes.size() ? m : 0];
}

// ---------------------------------------------------------------- idle loop

IdleResult MeasurementScreen::idlePass() {
  const MouseState mouse = screen_.readMouse();
  latch_.release(mouse.buttons);
  const IdleResult result = handlePanel(mouse);
  if (result != IdleResult::Stay) return result;
  if (dragMarkers(state_.markers, state_.plan, mouse)) refreshTraces();
  updateHover(mouse);  // the same read: a press it reported is not read a second time
  ScanControl& c = state_.control;
  if (c.recomputeRequested && !c.scanning && !validationPending()) {
    recomputeAll();
    redrawAll();
    panel_.clearHover();
    c.currentPoint = 0;
    c.recomputeRequested = false;
  }
  const std::string k = screen_.readKey();
  screen_.sleep(10);
  if (k.empty()) return IdleResult::Stay;
  return handleKey(k);
}

IdleResult MeasurementScreen::handleKey(const std::string& k) {
  const int code = static_cast<unsigned char>(k[0]);
  if (k.size() != 1) return IdleResult::Stay;
  if (code == key::kEsc) return IdleResult::Exit;
  if (code == key::kSpace) {
    const CalibrationProcedure* p = profile_.procedure;
    if (!findField(profile_.fields, PanelItem::Start) || validationPending()) return IdleResult::Stay;
    if (p && !spaceAllowed(*p, state_.control.procedureState)) return IdleResult::Stay;
    return startScanning();
  }
  if (code == key::kCtrlV) {
    if (profile_.zoomKey) zoomOnMarkers();
    return IdleResult::Stay;
  }
  if (code >= 45 && code <= 57 && code != 47) {
    for (const PanelField& f : profile_.fields) {
      if (f.kind == FieldKind::Number && panel_.hovered(f.item)) {
        numberEntry(f.item, k);
        return state_.control.exitRequested ? IdleResult::Exit : IdleResult::Stay;
      }
    }
  }
  return IdleResult::Stay;
}

IdleResult MeasurementScreen::startScanning() {
  ScanControl& c = state_.control;
  if (c.restartPending) {
    c.currentPoint = c.resumePoint = 0;
    c.restartPending = c.scanComplete = c.memoryValid = false;
  }
  c.scanning = true;
  c.currentPoint = c.resumePoint;
  redrawAll();
  return IdleResult::StartScan;
}

IdleResult MeasurementScreen::startButton() {
  if (validationPending()) return IdleResult::Stay;
  ScanControl& c = state_.control;
  if (const CalibrationProcedure* p = profile_.procedure; p && p->role(c.procedureState) == StepRole::Awaiting) {
    // A standard's scan covers the whole plan from its first point.
    c.procedureState = afterStart(*p, c.procedureState);
    c.currentPoint = c.resumePoint = 0;
    c.restartPending = c.scanComplete = c.memoryValid = false;
  }
  return startScanning();
}

IdleResult MeasurementScreen::handlePanel(const MouseState& mouse) {
  for (const PanelField& f : profile_.fields) {
    int& lastWheel = panel_.lastWheel[static_cast<std::size_t>(f.item)];
    // A press that comes with the pointer already elsewhere belongs to the
    // item it is now over, which lights up first: the highlighted item acts
    // only while the pointer is still on it.
    if (!panel_.hovered(f.item) || !insideZone(f, mouse.x, mouse.y)) {
      lastWheel = mouse.wheel;  // notches made elsewhere never act on a field
      continue;
    }
    const int wheelDelta = mouse.wheel - lastWheel;
    lastWheel = mouse.wheel;
    const Click click = latch_.take(mouse.buttons);
    switch (f.kind) {
      case FieldKind::Shown: break;
      case FieldKind::Number:
        if (click == Click::Left) {
          screen_.color(0, colour::kTrace1);
          screen_.printAt(f.row, P + 12, "_" + std::string(13, ' '));
          numberEntry(f.item, {});
          if (state_.control.exitRequested) return IdleResult::Exit;
        } else if (wheelDelta != 0) {
          wheelStep(f.item, mouse, wheelDelta);
        }
        break;
      case FieldKind::Choice:
        if (click != Click::None) {
          choiceClick(f.item, click);
        } else if (wheelDelta != 0 && (f.item == PanelItem::SampleCode || (f.item == PanelItem::Title && mouse.y > 8))) {
          choiceClick(f.item, wheelDelta > 0 ? Click::Left : Click::Right);
          screen_.sleep(100);
        }
        break;
      case FieldKind::Button: {
        // Help, the program's own button and Exit answer either button.
        const bool eitherButton =
            f.item == PanelItem::Help || f.item == PanelItem::ProgramButton || f.item == PanelItem::Exit;
        if (click == Click::None || (click == Click::Right && !eitherButton)) break;
        switch (f.item) {
          case PanelItem::Copy: copyToMemory(); break;
          case PanelItem::Save: saveToFile(); break;
          case PanelItem::Start: return startButton();
          case PanelItem::Help: helpButton(); break;
          case PanelItem::ProgramButton:
            if (hooks_.programButton(screen_, latch_)) return IdleResult::Leave;
            redrawAll();
            checkScales();
            panel_.clearHover();
            break;
          case PanelItem::Exit: return IdleResult::Exit;
          default: break;
        }
        break;
      }
    }
  }
  return IdleResult::Stay;
}

void MeasurementScreen::helpButton() {
  if (profile_.help) helpScreen(screen_, latch_, *profile_.help);
  redrawAll();
  checkScales();
  panel_.clearHover();
}

// ---------------------------------------------------------------- buttons

void MeasurementScreen::showAcquisitionError() {
  screen_.color(0, colour::kErrorBack);
  screen_.printAt(31, P + 2, " error : aquisition ");
  screen_.printAt(32, P + 2, " not completed      ");
  screen_.color(colour::kText, 0);
}

void MeasurementScreen::copyToMemory() {
  ScanControl& c = state_.control;
  if (!c.scanComplete) {
    showAcquisitionError();
    return;
  }
  std::copy_n(state_.record.rawRatio.begin(), state_.plan.points, state_.record.memoryRatio.begin());
  c.memoryValid = true;
  screen_.color(0, colour::kTrace1);
  screen_.printAt(28, P + 3, "    Measure copied    ");
  screen_.sleep(1200);
  screen_.printAt(28, P + 3, "Copy Measure to Memory");
  screen_.color(colour::kText, 0);
}

void MeasurementScreen::saveToFile() {
  if (!state_.control.scanComplete) {
    showAcquisitionError();
    return;
  }
  const bool copyWanted = hooks_.saveMeasure(screen_, latch_);
  redrawAll();
  checkScales();
  panel_.clearHover();
  if (copyWanted && !hooks_.copyScreen(screen_)) redrawAll();  // the failure message stood over the screen
}

void MeasurementScreen::zoomOnMarkers() {
  const ScanRecord& r = state_.record;
  SweepPlan& plan = state_.plan;
  ScanControl& c = state_.control;
  zoomToMarkers(plan, r.frequency[clampIndex(plan.markerIndex1, r.frequency.size())],
                r.frequency[clampIndex(plan.markerIndex2, r.frequency.size())]);
  c.invalidateScan();
  if (profile_.procedure) c.procedureState = afterTypedFrequency(*profile_.procedure, c.procedureState);
  checkScales();
  redrawAll();
  panel_.clearHover();
}

// ---------------------------------------------------------------- drawing

void MeasurementScreen::checkScales() {
  vna::checkScales(screen_, errors_, state_.scales, state_.control.displayMode, state_.plan, mode().trace2Error);
  hooks_.afterScaleCheck();
}

void MeasurementScreen::recomputeAll() {
  const SweepPlan& plan = state_.plan;
  for (int i = 0; i < plan.points; ++i) hooks_.derivePoint(i);
  pointX_.clear();
  if (!plan.evenSpacing) {
    for (int i = 0; i < plan.points; ++i)
      pointX_.push_back(frequencyOffset(state_.record.frequency[static_cast<std::size_t>(i)], plan.freqMin,
                                        plan.freqMax, plan.logSweep));
  }
}

void MeasurementScreen::redrawAll() {
  drawPanel();
  const ModeScales s = state_.scales.of(state_.control.displayMode);
  const SweepPlan& plan = state_.plan;
  drawPlotFrame(screen_, PlotFrameView{plan.logSweep, plan.freqMin, plan.freqMax, mode().logTrace1, s.trace1Max,
                                       s.trace1Min, profile_.levelMeter});
  drawMarkerReadout();
  drawTraces();
  // A full redraw would wipe the error box of a value still wrong, leaving
  // Start refused with nothing on the screen to say why: show it again.
  if (validationPending()) checkScales();
}

void MeasurementScreen::refreshTraces() {
  traceLayer_.restoreBackground(screen_);
  drawMarkerReadout();
  drawTraces();
}

void MeasurementScreen::drawMarkerReadout() {
  Screen& s = screen_;
  const ScanControl& c = state_.control;
  const ScanRecord& r = state_.record;
  const ReadoutFormat& f = mode().readout;
  s.setPages(kCompositionPage, kVisiblePage);
  s.color(colour::kText, 0);
  const auto value = [&](int row, int column, std::string_view picture, double v) {
    s.locate(row, column);
    if (profile_.overscaleReadout && !(v > -999999999.98 && v < 9999999999.98)) {
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
  const int trim = hooks_.trace2Trim();
  const int lastMeasured = c.scanComplete ? state_.plan.points - 1 : c.resumePoint;
  const auto hasTrace2 = [&](int i) { return trim == 0 || (i >= trim && i <= lastMeasured - trim); };
  const int index[2] = {state_.plan.markerIndex1, state_.plan.markerIndex2};
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

std::string_view MeasurementScreen::startLabel() const {
  const CalibrationProcedure* p = profile_.procedure;
  const bool inSteps = p && inProcedure(*p, state_.control.procedureState);
  if (state_.control.scanning) return inSteps ? p->abortLabel : " Stop    ";
  return inSteps ? p->startLabel : " Start  ";
}

std::string_view MeasurementScreen::runningStartLabel() const {
  const CalibrationProcedure* p = profile_.procedure;
  return p && measuringStandard(*p, state_.control.procedureState) ? p->abortLabel : " Stop           ";
}

void MeasurementScreen::showProcedureState() {
  if (const PanelField* f = findField(profile_.fields, PanelItem::Procedure); f && profile_.procedure) {
    screen_.color(colour::kText, 0);
    screen_.printAt(f->row, P + 12, profile_.procedure->state(state_.control.procedureState).panelText);
  }
}

void MeasurementScreen::showStartButton(bool highlighted) {
  screen_.color(highlighted ? 0 : colour::kText, highlighted ? colour::kText : 0);
  screen_.printAt(36, P + 2, runningStartLabel());
  screen_.color(colour::kText, 0);
  if (!highlighted) screen_.box(kStopButton.x0, kStopButton.y0, kStopButton.x1, kStopButton.y1, colour::kTrace1);
}

void MeasurementScreen::drawTraces() {
  const ScanControl& c = state_.control;
  ScanRecord& r = state_.record;
  const ModeScales s = state_.scales.of(c.displayMode);
  const int points = state_.plan.points;
  TraceView v;
  v.points = points;
  v.scanning = c.scanning;
  v.currentPoint = c.currentPoint;
  v.segments = c.segments(points);
  v.markerOffset1 = state_.plan.markerOffset1;
  v.markerOffset2 = state_.plan.markerOffset2;
  v.logTrace1 = mode().logTrace1;
  v.trace1Max = s.trace1Max;
  v.trace1Min = s.trace1Min;
  v.trace2Max = s.trace2Max;
  v.trace2Min = s.trace2Min;
  v.drawTrace2 = c.displayChoice == display_choice::kBoth || c.displayChoice == display_choice::kBothWithMemory;
  v.drawMemory1 = c.memoryShown();
  v.drawMemory2 = c.displayChoice == display_choice::kBothWithMemory && c.memoryShown();
  if (hooks_.secondCurvesShown()) {
    v.drawMemory1 = true;
    v.drawMemory2 = v.drawTrace2;
  }
  const auto n = static_cast<std::size_t>(points);
  v.trace1 = std::span(r.trace1).first(n);
  v.trace2 = std::span(r.trace2).first(n);
  v.memory1 = std::span(r.memoryTrace1).first(n);
  v.memory2 = std::span(r.memoryTrace2).first(n);
  v.trace2Trim = hooks_.trace2Trim();
  if (pointX_.size() == n) v.pointX = pointX_;
  if (c.displayChoice == display_choice::kLevels) {
    v.levelTraceA = std::span(r.levelA).first(n);
    v.levelTraceR = std::span(r.levelR).first(n);
  }
  if (c.scanning && profile_.levelMeter) {
    const std::size_t p = clampIndex(c.currentPoint, r.levelA.size());
    r.levelA[p] = std::max(r.levelA[p], -5.0);  // the bars start at -100 dBm
    r.levelR[p] = std::max(r.levelR[p], -5.0);
    v.levelBars = true;
    v.levelA = r.levelA[p];
    v.levelR = r.levelR[p];
  }
  if (c.scanning) {
    v.startLabel = runningStartLabel();
    const MouseState mouse = screen_.readMouse();
    v.startHovered = kStopButton.contains(mouse.x, mouse.y);
  }
  if (profile_.procedure) {
    const auto& prompt = profile_.procedure->state(c.procedureState).tracePrompt;
    v.promptLine1 = prompt[0];
    v.promptLine2 = prompt[1];
  }
  traceLayer_.draw(screen_, v);
}

}  // namespace vna
