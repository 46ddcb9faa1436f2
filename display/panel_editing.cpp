// The side panel's reactions: choice fields, typed numbers, wheel steps and
// the hover highlight, for whatever fields a program's table lists.
#include <string>

#include "display/layout.h"
#include "display/measurement_screen.h"
#include "display/typed_entry.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

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

bool MeasurementScreen::fieldActive(PanelItem item) const {
  return fieldShown(view(), item);
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
      c.requestRecompute();
      break;
    case PanelItem::Sweep:
      plan.logSweep = !plan.logSweep;
      c.sweepKindChanged();
      if (p) c.procedureState = afterSweepToggle(*p, c.procedureState);
      redrawAll();
      break;
    case PanelItem::Points:
      plan.points = stepPoints(plan.points, left ? Step::Next : Step::Previous);
      rescaleMarkers(plan);
      c.pointCountChanged();
      if (p) c.procedureState = afterPointsChange(*p, c.procedureState);
      redrawAll();
      break;
    case PanelItem::SampleCode:
      plan.sampleCode = stepSampleCode(plan.sampleCode, left ? Step::Next : Step::Previous);
      c.requestRecompute();
      break;
    case PanelItem::DelayAperture:
    case PanelItem::Parameter:
    case PanelItem::ProgramChoice:
      if (!hooks_.panel.programChoice(item, click)) return;
      c.requestRecompute();
      break;
    case PanelItem::Procedure:
      if (!left || !p) return;
      procedureClick();
      break;
    case PanelItem::Display:
      c.displayChoice = profile_.stepDisplayChoice(c.displayChoice, left, c.displayMode, c.memoryValid());
      c.requestRecompute();
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
  hooks_.quantities.derivePoint(c.currentPoint());
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
  c.frequenciesChanged();
  state_.plan.centerSpanEntry = isCenterOrSpan(item);
  if (const CalibrationProcedure* p = profile_.procedure)
    c.procedureState = typed ? afterTypedFrequency(*p, c.procedureState) : afterFrequencyStep(*p, c.procedureState);
  checkScales();
  redrawAll();
}

EntryEnd MeasurementScreen::numberEntry(PanelItem item, std::string pendingKey) {
  const PanelField* field = findField(profile_.fields, item);
  if (!field) return EntryEnd::Accepted;  // nothing to enter
  EntrySpec entry = typedEntryRule(item, profile_.scales, mode());
  entry.row = field->row;
  entry.column = P + 12;
  // The first character typed into a frequency already invalidates the scan.
  if (isFrequencyItem(item)) entry.onFirstCharacter = [this] { state_.control.frequenciesChanged(); };
  const EntryResult result = enterNumber(screen_, entry, std::move(pendingKey));
  if (result.end == EntryEnd::Exit) return result.end;
  if (isFrequencyItem(item)) {
    frequencyValue(state_.plan, item) = result.value;
    frequencyChanged(item, true);
    panel_.clearHover();
    return result.end;
  }
  if (item == PanelItem::Length) {
    state_.cableLength = result.value;
  } else {
    scaleValue(state_.scales, item, state_.control.displayMode) = result.value;
  }
  checkScales();
  state_.control.requestRecompute();
  panel_.setHover(item, false);
  return result.end;
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
  state_.control.requestRecompute();
}

// ---------------------------------------------------------------- hover

std::array<bool, kPanelItems> MeasurementScreen::hoverChanges(const MouseState& mouse) const {
  std::array<bool, kPanelItems> changed{};
  for (const PanelField& f : profile_.fields) {
    const bool inside = f.kind != FieldKind::Shown && insideZone(f, mouse.x, mouse.y) && fieldActive(f.item);
    changed[static_cast<std::size_t>(f.item)] = inside != panel_.hovered(f.item);
  }
  return changed;
}

// The title and the "display:" item are drawn inverse from their flags by
// the full redraw; every other field is printed again where it stands.
void MeasurementScreen::changeHover(const std::array<bool, kPanelItems>& changed) {
  const auto hasChanged = [&](PanelItem item) { return changed[static_cast<std::size_t>(item)]; };
  for (const PanelField& f : profile_.fields)
    if (hasChanged(f.item)) panel_.setHover(f.item, !panel_.hovered(f.item));
  if (hasChanged(PanelItem::Title) || hasChanged(PanelItem::Display)) redrawAll();
  for (const PanelField& f : profile_.fields)
    if (hasChanged(f.item) && f.item != PanelItem::Title && f.item != PanelItem::Display)
      showField(screen_, view(), f, panel_.hovered(f.item));
}

}  // namespace vna
