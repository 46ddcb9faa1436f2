// The side panel as a full redraw draws it on the background page, from the
// program's field table and mode texts, and its fields as the hover shows them.
#include <string>

#include "display/layout.h"
#include "display/measurement_drawing.h"
#include "display/typed_entry.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

void drawTraceBlock(Screen& s, int nameRow, std::string_view name, std::string_view unit, int nameColour,
                    std::string_view picture, double max, double min, bool showDivision) {
  s.color(nameColour, 0);
  s.printAt(nameRow, P + 2, name);
  s.printAt(nameRow + 1, P + 2, unit);
  s.color(colour::kText);
  s.printAt(nameRow, P + 8, "Max:");
  s.locate(nameRow, P + 12);
  s.printPicture(picture, max);
  s.printAt(nameRow + 1, P + 8, "MIN:");
  s.locate(nameRow + 1, P + 12);
  s.printPicture(picture, min);
  if (showDivision) {
    s.printAt(nameRow + 2, P + 7, "/div:");
    s.locate(nameRow + 2, P + 12);
    s.printPicture(picture, (max - min) / 10);
  }
}

void printFrequency(Screen& s, int row, int labelColumn, std::string_view label, double value) {
  s.printAt(row, labelColumn, label);
  s.locate(row, P + 13);
  s.printPicture(kFrequencyPicture, value);
}

void drawReadoutTemplates(Screen& s, const ReadoutFormat& f) {
  std::string row(f.rowTemplate);
  const std::string_view labels[3] = {"marker   1:", "marker   2:", "marker 2-1:"};
  for (int i = 0; i < 3; ++i) {
    row.replace(0, labels[i].size(), labels[i]);
    s.color(colour::kText, 0);
    s.printAt(45 + i, 2, row);
    s.color(colour::kTrace1);
    s.printAt(45 + i, f.unit1Column, f.unit1);
    s.color(colour::kTrace2);
    s.printAt(45 + i, f.unit2Column, f.unit2);
  }
  s.color(colour::kMarker1);
  s.printAt(45, 11, "1");
  s.printAt(47, 11, "1");
  s.color(colour::kMarker2);
  s.printAt(46, 11, "2");
  s.printAt(47, 9, "2");
  s.color(colour::kText);
}

}  // namespace

// Center and span exist only on a linear sweep; the length only while no
// correction is involved; the delay aperture only in the delay mode.
bool fieldShown(const ScreenView& view, PanelItem item) {
  if (isCenterOrSpan(item)) return !view.state.plan.logSweep;
  const CalibrationProcedure* p = view.profile.procedure;
  if (item == PanelItem::Length && p) return lengthApplies(*p, view.state.control.procedureState);
  if (item == PanelItem::DelayAperture) return view.state.control.displayMode == view.profile.delayApertureMode;
  return true;
}

void drawPanel(Screen& s, const ScreenView& view) {
  const ModeSpec& m = view.mode;
  const ScanControl& c = view.state.control;
  const SweepPlan& plan = view.state.plan;
  const auto rowOf = [&](PanelItem item) {
    const PanelField* f = findField(view.profile.fields, item);
    return f ? f->row : 0;
  };
  s.setPages(kBackgroundPage, kVisiblePage);
  s.clearPage();

  const bool titleHovered = view.profile.titleFollowsHover && view.panel.hovered(PanelItem::Title);
  s.color(titleHovered ? 0 : colour::kTrace1, titleHovered ? colour::kTrace1 : 0);
  for (std::size_t i = 0; i < m.title.size(); ++i)
    if (!m.title[i].empty()) s.printAt(view.profile.titleRow + static_cast<int>(i), P + 2, m.title[i]);

  const ModeScales scales = view.state.scales.of(c.displayMode);
  const std::string_view picture = view.profile.scales.picture;
  if (const int row = rowOf(PanelItem::Trace1Max))
    drawTraceBlock(s, row, m.trace1Name, m.trace1Unit, colour::kTrace1, picture, scales.trace1Max, scales.trace1Min,
                   !m.logTrace1);
  if (const int row = rowOf(PanelItem::Trace2Max))
    drawTraceBlock(s, row, m.trace2Name, m.trace2Unit, colour::kTrace2, picture, scales.trace2Max, scales.trace2Min,
                   !m.logTrace1);

  s.color(colour::kText, 0);
  if (const int row = rowOf(PanelItem::FreqMax)) printFrequency(s, row, P + 2, "freq  Max:", plan.freqMax);
  if (const int row = rowOf(PanelItem::FreqMin)) {
    printFrequency(s, row, P + 2, "(Hz)  Min:", plan.freqMin);
    if (!plan.logSweep) printFrequency(s, row + 1, P + 7, "/div:", (plan.freqMax - plan.freqMin) / 10);
  }
  if (const int row = rowOf(PanelItem::Center); row && !plan.logSweep)
    printFrequency(s, row, P + 5, "center:", plan.center);
  if (const int row = rowOf(PanelItem::Span); row && !plan.logSweep) printFrequency(s, row, P + 7, "span:", plan.span);
  if (const int row = rowOf(PanelItem::Sweep)) s.printAt(row, P + 6, plan.logSweep ? "sweep: log   " : "sweep: linear");
  if (const int row = rowOf(PanelItem::Points)) {
    s.printAt(row, P + 2, "meas/scan:");
    s.printNumber(plan.points);
  }
  if (const int row = rowOf(PanelItem::SampleCode)) {
    s.printAt(row, P + 4, "ms/meas:");
    s.printNumber(msPerMeasurement(plan.sampleCode));
  }
  if (const int row = rowOf(PanelItem::Length); row && fieldShown(view, PanelItem::Length)) {
    s.printAt(row, P + 2, "length(m):");
    s.locate(row, P + 13);
    s.printPicture(kLengthPicture, view.state.cableLength);
  }
  if (const int row = rowOf(PanelItem::Procedure); row && view.profile.procedure) {
    s.printAt(row, P + 2, view.profile.procedure->label);
    const bool hovered = view.panel.hovered(PanelItem::Procedure);
    s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
    s.printAt(row, P + 12, view.profile.procedure->state(c.procedureState).panelText);
  }
  if (const int row = rowOf(PanelItem::Display)) {
    s.color(colour::kText, 0);
    s.printAt(row, P + 4, "display:");
    if (view.panel.hovered(PanelItem::Display)) s.color(0, colour::kText);
    const auto choice = static_cast<std::size_t>(c.displayChoice);
    s.printAt(row, view.profile.displayChoiceColumn, choice < m.displayChoice.size() ? m.displayChoice[choice] : "");
  }
  s.color(colour::kText, 0);
  for (const PanelField& f : view.profile.fields) {
    if (f.kind != FieldKind::Button) continue;
    s.printAt(f.row, f.labelColumn, f.item == PanelItem::Start ? startLabel(view) : f.label);
  }
  drawReadoutTemplates(s, m.readout);
  view.hooks.panel.drawPanelExtras(s, view.panel);
  s.color(colour::kText, 0);
}

void showField(Screen& s, const ScreenView& view, const PanelField& f, bool hovered) {
  s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
  const int m = view.state.control.displayMode;
  const SweepPlan& plan = view.state.plan;
  switch (f.item) {
    case PanelItem::Trace1Max:
    case PanelItem::Trace1Min:
    case PanelItem::Trace2Max:
    case PanelItem::Trace2Min:
      s.locate(f.row, P + 12);
      s.printPicture(view.profile.scales.picture, scaleValue(view.state.scales, f.item, m));
      break;
    case PanelItem::FreqMax:
    case PanelItem::FreqMin:
    case PanelItem::Center:
    case PanelItem::Span:
      s.locate(f.row, P + 12);
      s.printPicture("##########.##", frequencyValue(view.state.plan, f.item));
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
      s.printPicture(kLengthPicture, view.state.cableLength);
      break;
    case PanelItem::Procedure:
      if (view.profile.procedure)
        s.printAt(f.row, P + 12, view.profile.procedure->state(view.state.control.procedureState).panelText);
      break;
    case PanelItem::DelayAperture:
    case PanelItem::Parameter:
    case PanelItem::ProgramChoice: view.hooks.panel.showProgramChoice(s, f.item, hovered); break;
    case PanelItem::Start: {
      const CalibrationProcedure* p = view.profile.procedure;
      const bool awaiting = p && p->role(view.state.control.procedureState) == StepRole::Awaiting;
      s.printAt(f.row, f.labelColumn, awaiting ? p->startLabel : f.hoverLabel);
      break;
    }
    default: s.printAt(f.row, f.labelColumn, f.hoverLabel); break;
  }
  s.color(colour::kText, 0);
}

}  // namespace vna
