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

void showAcquisitionError(Screen& s) {
  s.color(0, colour::kErrorBack);
  s.printAt(31, P + 2, " error : aquisition ");
  s.printAt(32, P + 2, " not completed      ");
  s.color(colour::kText, 0);
}

}  // namespace

MeasurementScreen::MeasurementScreen(Screen& screen, MeasurementState& state, const MeasurementProfile& profile,
                                     const ProgramHooks& hooks)
    : screen_(screen), state_(state), profile_(profile), hooks_(hooks) {}

ScreenView MeasurementScreen::view() const {
  return {state_, profile_, mode(), panel_, hooks_, pointX_, pointerX_, pointerY_};
}

const ModeSpec& MeasurementScreen::mode() const {
  const auto m = static_cast<std::size_t>(state_.control.displayMode);
  return profile_.modes[m < profile_.modes.size() ? m : 0];
}

// ---------------------------------------------------------------- idle loop

UserInput MeasurementScreen::readInput() {
  UserInput input{screen_.readMouse(), screen_.readKey()};
  latch_.release(input.mouse.buttons);
  pointerX_ = input.mouse.x;
  pointerY_ = input.mouse.y;
  return input;
}

IdleResult MeasurementScreen::idlePass() {
  const UserInput input = readInput();
  const IdleResult result = actOnPanel(decidePanel(input.mouse), input.mouse);
  if (result != IdleResult::Stay) return result;
  if (dragMarkers(state_.markers, state_.plan, input.mouse)) refreshTraces();
  // The same look: a press the panel took is not seen a second time.
  changeHover(hoverChanges(input.mouse));
  ScanControl& c = state_.control;
  if (c.recomputeRequested() && !c.scanning() && !validationPending()) {
    recomputeAll();
    redrawAll();
    panel_.clearHover();
    c.recomputed();
  }
  screen_.sleep(10);
  if (input.key.empty()) return IdleResult::Stay;
  return actOnKey(decideKey(input.key), input.key);
}

// A press that comes with the pointer already elsewhere belongs to the item
// it is now over, which lights up first: the highlighted item acts only
// while the pointer is still on it.
PanelAction MeasurementScreen::decidePanel(const MouseState& mouse) const {
  for (const PanelField& f : profile_.fields) {
    if (panel_.hovered(f.item) && insideZone(f, mouse.x, mouse.y))
      return {&f, latch_.peek(mouse.buttons), mouse.wheel - panel_.wheelSeen};
  }
  return {};
}

KeyDecision MeasurementScreen::decideKey(const std::string& k) const {
  if (k.size() != 1) return {};
  const int code = static_cast<unsigned char>(k[0]);
  if (code == key::kEsc) return {KeyAction::Exit};
  if (code == key::kSpace) {
    const CalibrationProcedure* p = profile_.procedure;
    if (!findField(profile_.fields, PanelItem::Start) || validationPending()) return {};
    if (p && !spaceAllowed(*p, state_.control.procedureState)) return {};
    return {KeyAction::StartScan};
  }
  if (code == key::kCtrlV) return {profile_.zoomKey ? KeyAction::Zoom : KeyAction::None};
  if (code >= 45 && code <= 57 && code != 47) {
    for (const PanelField& f : profile_.fields)
      if (f.kind == FieldKind::Number && panel_.hovered(f.item)) return {KeyAction::NumberEntry, f.item};
  }
  return {};
}

IdleResult MeasurementScreen::actOnKey(const KeyDecision& decision, const std::string& key) {
  switch (decision.action) {
    case KeyAction::None: break;
    case KeyAction::Exit: return IdleResult::Exit;
    case KeyAction::StartScan: return startScanning();
    case KeyAction::Zoom: zoomOnMarkers(); break;
    case KeyAction::NumberEntry:
      if (numberEntry(decision.entryItem, key) == EntryEnd::Exit) return IdleResult::Exit;
      break;
  }
  return IdleResult::Stay;
}

IdleResult MeasurementScreen::startScanning() {
  state_.control.start();
  redrawAll();
  return IdleResult::StartScan;
}

IdleResult MeasurementScreen::startButton() {
  if (validationPending()) return IdleResult::Stay;
  ScanControl& c = state_.control;
  if (const CalibrationProcedure* p = profile_.procedure; p && p->role(c.procedureState) == StepRole::Awaiting) {
    c.procedureState = afterStart(*p, c.procedureState);
    c.fromFirstPoint();
  }
  return startScanning();
}

IdleResult MeasurementScreen::actOnPanel(const PanelAction& action, const MouseState& mouse) {
  panel_.wheelSeen = mouse.wheel;
  if (!action.field) return IdleResult::Stay;
  const PanelField& f = *action.field;
  latch_.take(mouse.buttons);
  const Click click = action.click;
  switch (f.kind) {
    case FieldKind::Shown: break;
    case FieldKind::Number:
      if (click == Click::Left) {
        screen_.color(0, colour::kTrace1);
        screen_.printAt(f.row, P + 12, "_" + std::string(13, ' '));
        if (numberEntry(f.item, {}) == EntryEnd::Exit) return IdleResult::Exit;
      } else if (action.wheelDelta != 0) {
        wheelStep(f.item, mouse, action.wheelDelta);
      }
      break;
    case FieldKind::Choice:
      if (click != Click::None) {
        choiceClick(f.item, click);
      } else if (action.wheelDelta != 0 &&
                 (f.item == PanelItem::SampleCode || (f.item == PanelItem::Title && mouse.y > 8))) {
        choiceClick(f.item, action.wheelDelta > 0 ? Click::Left : Click::Right);
        screen_.sleep(100);
      }
      break;
    case FieldKind::Button: {
      // Help, the program's own button and Exit answer either button.
      const bool eitherButton =
          f.item == PanelItem::Help || f.item == PanelItem::ProgramButton || f.item == PanelItem::Exit;
      if (click == Click::Left || (click == Click::Right && eitherButton)) return actOnButton(f.item);
      break;
    }
  }
  return IdleResult::Stay;
}

IdleResult MeasurementScreen::actOnButton(PanelItem item) {
  switch (item) {
    case PanelItem::Copy: copyToMemory(); break;
    case PanelItem::Save: saveToFile(); break;
    case PanelItem::Start: return startButton();
    case PanelItem::Help:
      if (profile_.help) helpScreen(screen_, latch_, *profile_.help);
      afterDialog();
      break;
    case PanelItem::ProgramButton:
      if (hooks_.button.press(screen_, latch_)) return IdleResult::Leave;
      afterDialog();
      break;
    case PanelItem::Exit: return IdleResult::Exit;
    default: break;
  }
  return IdleResult::Stay;
}

// A screen of its own covered the measurement: all of it comes back.
void MeasurementScreen::afterDialog() {
  redrawAll();
  checkScales();
  panel_.clearHover();
}

// ---------------------------------------------------------------- buttons

void MeasurementScreen::copyToMemory() {
  ScanControl& c = state_.control;
  if (!c.scanComplete()) {
    showAcquisitionError(screen_);
    return;
  }
  std::copy_n(state_.record.rawRatio.begin(), state_.plan.points, state_.record.memoryRatio.begin());
  c.memoryCopied();
  screen_.color(0, colour::kTrace1);
  screen_.printAt(28, P + 3, "    Measure copied    ");
  screen_.sleep(1200);
  screen_.printAt(28, P + 3, "Copy Measure to Memory");
  screen_.color(colour::kText, 0);
}

void MeasurementScreen::saveToFile() {
  if (!state_.control.scanComplete()) {
    showAcquisitionError(screen_);
    return;
  }
  const bool copyWanted = hooks_.output.saveMeasure(screen_, latch_);
  afterDialog();
  if (copyWanted && !hooks_.output.copyScreen(screen_)) redrawAll();  // the failure message stood over the screen
}

void MeasurementScreen::zoomOnMarkers() {
  const ScanRecord& r = state_.record;
  SweepPlan& plan = state_.plan;
  ScanControl& c = state_.control;
  zoomToMarkers(plan, r.frequency[clampIndex(plan.markerIndex1, r.frequency.size())],
                r.frequency[clampIndex(plan.markerIndex2, r.frequency.size())]);
  c.frequenciesChanged();
  if (profile_.procedure) c.procedureState = afterTypedFrequency(*profile_.procedure, c.procedureState);
  checkScales();
  redrawAll();
  panel_.clearHover();
}

// ---------------------------------------------------------------- drawing

void MeasurementScreen::checkScales() {
  vna::checkScales(screen_, errors_, state_.scales, state_.control.displayMode, state_.plan, mode().trace2Error);
  hooks_.panel.afterScaleCheck();
}

void MeasurementScreen::recomputeAll() {
  const SweepPlan& plan = state_.plan;
  for (int i = 0; i < plan.points; ++i) hooks_.quantities.derivePoint(i);
  pointX_.clear();
  if (!plan.evenSpacing) {
    for (int i = 0; i < plan.points; ++i)
      pointX_.push_back(frequencyOffset(state_.record.frequency[static_cast<std::size_t>(i)], plan.freqMin,
                                        plan.freqMax, plan.logSweep));
  }
}

void MeasurementScreen::mendDisplayChoice() {
  ScanControl& c = state_.control;
  if (profile_.shownDisplayChoice)
    c.displayChoice = profile_.shownDisplayChoice(c.displayChoice, c.displayMode, c.memoryValid());
}

void MeasurementScreen::redrawAll() {
  mendDisplayChoice();
  const ScreenView v = view();
  drawPanel(screen_, v);
  const ModeScales s = state_.scales.of(state_.control.displayMode);
  const SweepPlan& plan = state_.plan;
  drawPlotFrame(screen_, PlotFrameView{plan.logSweep, plan.freqMin, plan.freqMax, mode().logTrace1, s.trace1Max,
                                       s.trace1Min, profile_.levelMeter});
  drawMarkerReadout(screen_, v);
  drawTraces(screen_, traceLayer_, v);
  // A full redraw would wipe the error box of a value still wrong, leaving
  // Start refused with nothing on the screen to say why: show it again.
  if (validationPending()) checkScales();
}

void MeasurementScreen::refreshTraces() {
  traceLayer_.restoreBackground(screen_);
  const ScreenView v = view();
  drawMarkerReadout(screen_, v);
  drawTraces(screen_, traceLayer_, v);
}

}  // namespace vna
