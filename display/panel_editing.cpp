// The side panel's reactions: choice fields, typed numbers, wheel steps and
// the hover highlight, for whatever fields a program's table lists.
#include <string>

#include "display/layout.h"
#include "display/measurement_screen.h"
#include "display/typed_entry.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

bool isCenterOrSpan(PanelItem item) { return item == PanelItem::Center || item == PanelItem::Span; }

double& scaleValue(ScaleSet& scales, PanelItem item, int mode) {
  const auto m = static_cast<std::size_t>(mode);
  switch (item) {
    case PanelItem::Trace1Max: return scales.trace1Max[m];
    case PanelItem::Trace1Min: return scales.trace1Min[m];
    case PanelItem::Trace2Max: return scales.trace2Max[m];
    default: return scales.trace2Min[m];
  }
}

double& frequencyValue(SweepPlan& plan, PanelItem item) {
  switch (item) {
    case PanelItem::FreqMax: return plan.freqMax;
    case PanelItem::FreqMin: return plan.freqMin;
    case PanelItem::Center: return plan.center;
    default: return plan.span;
  }
}

// A scale stepped by the wheel stays within the picture and on its side of
// the other bound; a logarithmic trace 1 keeps its MIN above zero.
bool acceptScaleStep(const ScaleFormat& f, const ModeScales& s, PanelItem item, bool logTrace1, double v) {
  const bool inRange = v > f.wheelLow && v < f.wheelHigh;
  switch (item) {
    case PanelItem::Trace1Max: return inRange && v > s.trace1Min;
    case PanelItem::Trace1Min:
      return v < f.wheelHigh && v < s.trace1Max && (logTrace1 ? v > f.logFloor : v > f.wheelLow);
    case PanelItem::Trace2Max: return inRange && v > s.trace2Min;
    default: return inRange && v < s.trace2Max;
  }
}

}  // namespace

// Center and span exist only on a linear sweep; the length only while no
// correction is involved; the delay aperture only in the delay mode.
bool MeasurementScreen::fieldActive(PanelItem item) const {
  if (isCenterOrSpan(item)) return !state_.plan.logSweep;
  if (item == PanelItem::Length && profile_.procedure)
    return lengthApplies(*profile_.procedure, state_.control.procedureState);
  if (item == PanelItem::DelayAperture) return state_.control.displayMode == profile_.delayApertureMode;
  return true;
}

void MeasurementScreen::choiceClick(PanelItem item, Click click) {
  ScanControl& c = state_.control;
  SweepPlan& plan = state_.plan;
  const CalibrationProcedure* p = profile_.procedure;
  const bool left = click == Click::Left;
  const int modes = static_cast<int>(profile_.modes.size());
  switch (item) {
    case PanelItem::Title:
      c.displayMode = left ? (c.displayMode + 1) % modes : (c.displayMode + modes - 1) % modes;
      c.recomputeRequested = true;
      break;
    case PanelItem::Sweep:
      plan.logSweep = !plan.logSweep;
      c.restartPending = true;
      c.currentPoint = 0;
      if (p) c.procedureState = afterSweepToggle(*p, c.procedureState);
      redrawAll();
      break;
    case PanelItem::Points:
      plan.points = stepPoints(plan.points, left ? Step::Next : Step::Previous);
      rescaleMarkers(plan);
      c.restartPending = true;
      c.resumePoint = c.currentPoint = 0;
      if (p) c.procedureState = afterPointsChange(*p, c.procedureState);
      redrawAll();
      break;
    case PanelItem::SampleCode:
      plan.sampleCode = stepSampleCode(plan.sampleCode, left ? Step::Next : Step::Previous);
      c.recomputeRequested = true;
      break;
    case PanelItem::DelayAperture:
    case PanelItem::Parameter:
    case PanelItem::ProgramChoice:
      if (!hooks_.panel.programChoice(item, click)) return;
      c.recomputeRequested = true;
      break;
    case PanelItem::Procedure:
      if (!left || !p) return;
      procedureClick();
      break;
    case PanelItem::Display:
      c.displayChoice = profile_.stepDisplayChoice(c.displayChoice, left, c.displayMode, c.memoryValid);
      c.recomputeRequested = true;
      break;
    default:
      return;
  }
  panel_.clearHover();
}

// Off asks for the first standard; any other state goes back to off, the
// standards measured so far staying in memory.
void MeasurementScreen::procedureClick() {
  const CalibrationProcedure& p = *profile_.procedure;
  ScanControl& c = state_.control;
  c.procedureState = afterItemClick(p, c.procedureState);
  hooks_.quantities.derivePoint(c.currentPoint);
  redrawAll();
  if (c.procedureState == p.asked && !p.askPrompt[0].empty()) {
    screen_.color(0, colour::kText);
    screen_.printAt(20, 20, p.askPrompt[0]);
    screen_.printAt(21, 20, p.askPrompt[1]);
    screen_.color(colour::kText, 0);
  }
}

// The resets of a frequency change, typed or stepped.
void MeasurementScreen::frequencyChanged(PanelItem item, bool typed) {
  ScanControl& c = state_.control;
  c.invalidateScan();
  state_.plan.centerSpanEntry = isCenterOrSpan(item);
  if (const CalibrationProcedure* p = profile_.procedure)
    c.procedureState = typed ? afterTypedFrequency(*p, c.procedureState) : afterFrequencyStep(*p, c.procedureState);
  checkScales();
  redrawAll();
}

void MeasurementScreen::numberEntry(PanelItem item, std::string pendingKey) {
  const PanelField* field = findField(profile_.fields, item);
  if (!field) return;
  EntrySpec entry = typedEntryRule(item, profile_.scales, mode());
  entry.row = field->row;
  entry.column = P + 12;
  // The first character typed into a frequency already invalidates the scan.
  if (isFrequencyItem(item)) entry.onFirstCharacter = [this] { state_.control.invalidateScan(); };
  const EntryResult result = enterNumber(screen_, entry, std::move(pendingKey));
  if (result.end == EntryEnd::Exit) {
    state_.control.exitRequested = true;
    return;
  }
  if (isFrequencyItem(item)) {
    frequencyValue(state_.plan, item) = result.value;
    frequencyChanged(item, true);
    panel_.clearHover();
    return;
  }
  if (item == PanelItem::Length) {
    state_.cableLength = result.value;
  } else {
    scaleValue(state_.scales, item, state_.control.displayMode) = result.value;
  }
  checkScales();
  state_.control.recomputeRequested = true;
  panel_.setHover(item, false);
}

void MeasurementScreen::wheelStep(PanelItem item, const MouseState& mouse, int delta) {
  const double sign = delta > 0 ? 1.0 : -1.0;
  const int m = state_.control.displayMode;
  if (isScaleItem(item)) {
    double& value = scaleValue(state_.scales, item, m);
    const double v = value + sign * vna::wheelStep(mouse.x, profile_.scales.wheelWeights);
    if (v == value || !acceptScaleStep(profile_.scales, state_.scales.of(m), item, mode().logTrace1, v)) return;
    value = v;
  } else if (item == PanelItem::Length) {
    const double v = state_.cableLength + sign * wheelStepLength(mouse.x);
    if (v == state_.cableLength || !(v > -999.0 && v < 999.0)) return;
    state_.cableLength = v;
  } else {
    SweepPlan& plan = state_.plan;
    double& value = frequencyValue(plan, item);
    const double v = value + sign * vna::wheelStep(mouse.x, profile_.scales.frequencyWeights);
    const bool accepted = item == PanelItem::FreqMax   ? acceptFreqMaxStep(plan, v)
                          : item == PanelItem::FreqMin ? acceptFreqMinStep(plan, v)
                          : item == PanelItem::Center  ? acceptCenterStep(plan, v)
                                                       : acceptSpanStep(plan, v);
    if (v == value || !accepted) return;
    value = v;
    screen_.sleep(100);
    panel_.setHover(item, false);
    frequencyChanged(item, false);
    return;
  }
  screen_.sleep(100);
  panel_.setHover(item, false);
  state_.control.recomputeRequested = true;
}

// ---------------------------------------------------------------- hover

void MeasurementScreen::updateHover(const MouseState& mouse) {
  for (const PanelField& f : profile_.fields) {
    const bool inside = f.kind != FieldKind::Shown && insideZone(f, mouse.x, mouse.y) && fieldActive(f.item);
    if (inside == panel_.hovered(f.item)) continue;
    panel_.setHover(f.item, inside);
    showField(f, inside);
  }
}

// Reprints a field on the visible page, inverse while hovered.
void MeasurementScreen::showField(const PanelField& f, bool hovered) {
  Screen& s = screen_;
  if (f.item == PanelItem::Title || f.item == PanelItem::Display) {
    redrawAll();  // both are drawn inverse from their hover flag
    return;
  }
  s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
  const int m = state_.control.displayMode;
  const SweepPlan& plan = state_.plan;
  switch (f.item) {
    case PanelItem::Trace1Max:
    case PanelItem::Trace1Min:
    case PanelItem::Trace2Max:
    case PanelItem::Trace2Min:
      s.locate(f.row, P + 12);
      s.printPicture(profile_.scales.picture, scaleValue(state_.scales, f.item, m));
      break;
    case PanelItem::FreqMax:
    case PanelItem::FreqMin:
    case PanelItem::Center:
    case PanelItem::Span:
      s.locate(f.row, P + 12);
      s.printPicture("##########.##", frequencyValue(state_.plan, f.item));
      break;
    case PanelItem::Sweep: s.printAt(f.row, P + 12, plan.logSweep ? " log         " : " linear      "); break;
    case PanelItem::Points:
    case PanelItem::SampleCode:
      s.printAt(f.row, P + 13, std::string(12, ' '));
      s.locate(f.row, P + 12);
      s.printNumber(f.item == PanelItem::Points ? plan.points : msPerMeasurement(plan.sampleCode));
      break;
    case PanelItem::Length:
      s.printAt(f.row, P + 12, std::string(12, ' '));
      s.locate(f.row, P + 13);
      s.printPicture(kLengthPicture, state_.cableLength);
      break;
    case PanelItem::Procedure:
      if (profile_.procedure)
        s.printAt(f.row, P + 12, profile_.procedure->state(state_.control.procedureState).panelText);
      break;
    case PanelItem::DelayAperture:
    case PanelItem::Parameter:
    case PanelItem::ProgramChoice: hooks_.panel.showProgramChoice(s, f.item, hovered); break;
    case PanelItem::Start: {
      const CalibrationProcedure* p = profile_.procedure;
      const bool awaiting = p && p->role(state_.control.procedureState) == StepRole::Awaiting;
      s.printAt(f.row, f.labelColumn, awaiting ? p->startLabel : f.hoverLabel);
      break;
    }
    default: s.printAt(f.row, f.labelColumn, f.hoverLabel); break;
  }
  s.color(colour::kText, 0);
}

}  // namespace vna
