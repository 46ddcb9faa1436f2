#include "display/impedance_panel.h"

#include <string>

#include "display/impedance_texts.h"
#include "display/layout.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;
constexpr std::string_view kScalePicture = "##########.###";
constexpr std::string_view kFrequencyPicture = "#########.##";

bool calibrating(int state) { return state >= 1 && state <= 6; }

// The equivalent-circuit symbols of the C and L modes, drawn in the current
// text colour from (912, 39): the leads, then the component.
void drawCapacitorPlates(Screen& s, int x, int y, int c) {
  s.line(x, y - 6, x, y + 6, c);
  s.line(x + 4, y - 6, x + 4, y + 6, c);
}

void drawCoil(Screen& s, int x, int y, int c) {
  for (int turn = 0; turn < 4; ++turn) {
    const int x0 = x + turn * 5;
    s.line(x0, y, x0 + 1, y - 3, c);
    s.line(x0 + 1, y - 3, x0 + 4, y - 3, c);
    s.line(x0 + 4, y - 3, x0 + 5, y, c);
  }
}

void drawCircuitSymbol(Screen& s, int displayMode, int c) {
  const int x = 912, y = 39;
  const bool capacitor = displayMode == 2 || displayMode == 5 || displayMode == 7;
  const bool series = displayMode == 2 || displayMode == 3;
  const int width = capacitor ? 4 : 20;
  if (series) {
    s.line(x, y, x + 20, y, c);
    if (capacitor) {
      drawCapacitorPlates(s, x + 20, y, c);
    } else {
      drawCoil(s, x + 20, y, c);
    }
    s.line(x + 20 + width, y, x + 60, y, c);
    return;
  }
  // Parallel model: the component and a resistor side by side between two rails.
  s.line(x, y, x + 60, y, c);
  s.line(x + 10, y, x + 10, y + 4, c);
  s.line(x + 50, y, x + 50, y + 4, c);
  if (capacitor) {
    s.line(x + 10, y + 4, x + 28, y + 4, c);
    drawCapacitorPlates(s, x + 28, y + 4, c);
    s.line(x + 32, y + 4, x + 50, y + 4, c);
  } else {
    s.line(x + 10, y + 4, x + 20, y + 4, c);
    drawCoil(s, x + 20, y + 4, c);
    s.line(x + 40, y + 4, x + 50, y + 4, c);
  }
  s.line(x + 10, y - 4, x + 10, y, c);
  s.line(x + 50, y - 4, x + 50, y, c);
  s.box(x + 22, y - 6, x + 38, y - 2, c);
  s.line(x + 10, y - 4, x + 22, y - 4, c);
  s.line(x + 38, y - 4, x + 50, y - 4, c);
  s.pixel(x, y, c);
}

void drawTraceBlock(Screen& s, int nameRow, std::string_view name, std::string_view unit, int nameColour,
                    double max, double min, bool showDivision) {
  s.color(nameColour, 0);
  s.printAt(nameRow, P + 2, name);
  s.printAt(nameRow + 1, P + 2, unit);
  s.color(colour::kText);
  s.printAt(nameRow, P + 8, "Max:");
  s.locate(nameRow, P + 12);
  s.printPicture(kScalePicture, max);
  s.printAt(nameRow + 1, P + 8, "MIN:");
  s.locate(nameRow + 1, P + 12);
  s.printPicture(kScalePicture, min);
  if (showDivision) {
    s.printAt(nameRow + 2, P + 7, "/div:");
    s.locate(nameRow + 2, P + 12);
    s.printPicture(kScalePicture, (max - min) / 10);
  }
}

void printFrequency(Screen& s, int row, int labelColumn, std::string_view label, double value) {
  s.printAt(row, labelColumn, label);
  s.locate(row, P + 13);
  s.printPicture(kFrequencyPicture, value);
}

void drawReadoutTemplates(Screen& s, int displayMode) {
  const ImpedanceModeTexts& texts = impedanceModeTexts(displayMode);
  std::string row = std::string(impedanceReadoutTemplate(displayMode));
  const std::string_view labels[3] = {"marker   1:", "marker   2:", "marker 2-1:"};
  for (int i = 0; i < 3; ++i) {
    row.replace(0, labels[i].size(), labels[i]);
    s.color(colour::kText, 0);
    s.printAt(45 + i, 2, row);
    s.color(colour::kTrace1);
    s.printAt(45 + i, 44, texts.readoutUnit1);
    s.color(colour::kTrace2);
    s.printAt(45 + i, 61, texts.readoutUnit2);
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

std::string_view startButtonLabel(bool scanning, int calibrationState) {
  if (scanning) return calibrating(calibrationState) ? " Abort calibrate" : " Stop    ";
  return calibrating(calibrationState) ? " Start calibrate" : " Start  ";
}

void drawImpedancePanel(Screen& s, const PanelView& v) {
  const ImpedanceModeTexts& texts = impedanceModeTexts(v.displayMode);
  s.setPages(kBackgroundPage, kVisiblePage);
  s.clearPage();

  if (v.titleHovered) {
    s.color(0, colour::kTrace1);
  } else {
    s.color(colour::kTrace1, 0);
  }
  s.printAt(2, P + 2, texts.title1);
  s.printAt(3, P + 2, texts.title2);
  if (v.displayMode == 2 || v.displayMode == 3 || (v.displayMode >= 5 && v.displayMode <= 8))
    drawCircuitSymbol(s, v.displayMode, v.titleHovered ? 0 : colour::kTrace1);

  const bool linearScale = v.displayMode < 10;
  drawTraceBlock(s, 6, texts.trace1Name, texts.trace1Unit, colour::kTrace1, v.trace1Max, v.trace1Min, linearScale);
  drawTraceBlock(s, 10, texts.trace2Name, texts.trace2Unit, colour::kTrace2, v.trace2Max, v.trace2Min, linearScale);

  s.color(colour::kText, 0);
  printFrequency(s, 14, P + 2, "freq  Max:", v.freqMax);
  printFrequency(s, 15, P + 2, "(Hz)  Min:", v.freqMin);
  if (!v.logSweep) {
    printFrequency(s, 16, P + 7, "/div:", (v.freqMax - v.freqMin) / 10);
    printFrequency(s, 17, P + 5, "center:", v.center);
    printFrequency(s, 18, P + 7, "span:", v.span);
  }
  s.printAt(20, P + 6, v.logSweep ? "sweep: log   " : "sweep: linear");
  s.printAt(21, P + 2, "meas/scan:");
  s.printNumber(v.points);
  s.printAt(22, P + 4, "ms/meas:");
  s.printNumber(v.msPerMeasurement);
  if (v.calibrationState == 0) {
    s.printAt(24, P + 2, "length(m):");
    s.locate(24, P + 13);
    s.printPicture("####.####", v.cableLength);
  }
  s.printAt(25, P + 2, "calibrate:");
  if (v.calibrateHovered) {
    s.color(0, colour::kText);
  } else {
    s.color(colour::kText, 0);
  }
  s.printAt(25, P + 12, calibrationStateText(v.calibrationState));

  s.color(colour::kText, 0);
  s.printAt(26, P + 4, "display:");
  if (v.displayHovered) s.color(0, colour::kText);
  s.printAt(26, P + 12, texts.displayChoice[static_cast<std::size_t>(v.displayChoice & 3)]);

  s.color(colour::kText, 0);
  s.printAt(28, P + 3, "Copy measure to Memory");
  s.printAt(29, P + 3, "Save measure to File");
  s.printAt(36, P + 2, startButtonLabel(v.scanning, v.calibrationState));
  s.printAt(38, P + 2, " Help ");
  s.printAt(40, P + 2, " Reference Load");
  s.printAt(42, P + 2, " Exit ");

  drawReadoutTemplates(s, v.displayMode);
}

}  // namespace vna
