// The side panel as a full redraw draws it on the background page, from the
// program's field table and mode texts.
#include <string>

#include "display/layout.h"
#include "display/measurement_screen.h"
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

void MeasurementScreen::drawPanel() {
  Screen& s = screen_;
  const ModeSpec& m = mode();
  ScanControl& c = state_.control;
  const SweepPlan& plan = state_.plan;
  const auto rowOf = [&](PanelItem item) {
    const PanelField* f = findField(profile_.fields, item);
    return f ? f->row : 0;
  };
  s.setPages(kBackgroundPage, kVisiblePage);
  s.clearPage();

  const bool titleHovered = profile_.titleFollowsHover && panel_.hovered(PanelItem::Title);
  s.color(titleHovered ? 0 : colour::kTrace1, titleHovered ? colour::kTrace1 : 0);
  for (std::size_t i = 0; i < m.title.size(); ++i)
    if (!m.title[i].empty()) s.printAt(profile_.titleRow + static_cast<int>(i), P + 2, m.title[i]);

  const ModeScales scales = state_.scales.of(c.displayMode);
  const std::string_view picture = profile_.scales.picture;
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
  if (const int row = rowOf(PanelItem::Length); row && fieldActive(PanelItem::Length)) {
    s.printAt(row, P + 2, "length(m):");
    s.locate(row, P + 13);
    s.printPicture(kLengthPicture, state_.cableLength);
  }
  if (const int row = rowOf(PanelItem::Procedure); row && profile_.procedure) {
    s.printAt(row, P + 2, profile_.procedure->label);
    const bool hovered = panel_.hovered(PanelItem::Procedure);
    s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
    s.printAt(row, P + 12, profile_.procedure->state(c.procedureState).panelText);
  }
  if (const int row = rowOf(PanelItem::Display)) {
    s.color(colour::kText, 0);
    s.printAt(row, P + 4, "display:");
    if (panel_.hovered(PanelItem::Display)) s.color(0, colour::kText);
    if (profile_.shownDisplayChoice)
      c.displayChoice = profile_.shownDisplayChoice(c.displayChoice, c.displayMode, c.memoryValid);
    const auto choice = static_cast<std::size_t>(c.displayChoice);
    s.printAt(row, profile_.displayChoiceColumn, choice < m.displayChoice.size() ? m.displayChoice[choice] : "");
  }
  s.color(colour::kText, 0);
  for (const PanelField& f : profile_.fields) {
    if (f.kind != FieldKind::Button) continue;
    s.printAt(f.row, f.labelColumn, f.item == PanelItem::Start ? startLabel() : f.label);
  }
  drawReadoutTemplates(s, m.readout);
  hooks_.panel.drawPanelExtras(s, panel_);
  s.color(colour::kText, 0);
}

}  // namespace vna
