#include "analyzer/impedance_analyzer.h"

#include <algorithm>

#include "analyzer/protocol.h"
#include "analyzer/sample_conversion.h"
#include "analyzer/scale_check.h"
#include "display/impedance_panel.h"
#include "display/layout.h"
#include "display/plot.h"
#include "files/serial_port_screen.h"
#include "reflection/impedance_quantities.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;
constexpr std::string_view kStopLabel = " Stop           ";
constexpr std::string_view kAbortLabel = " Abort calibrate";

}  // namespace

ImpedanceAnalyzer::ImpedanceAnalyzer(Screen& screen, ChannelFactory openChannel, std::filesystem::path settingsFile)
    : screen_(screen), openChannel_(std::move(openChannel)), settingsFile_(std::move(settingsFile)) {}

int ImpedanceAnalyzer::run() {
  startUp();
  Next next = Next::ScanStart;  // the program scans at once
  while (next != Next::Exit) {
    switch (next) {
      case Next::ScanStart:
        scanStart();
        next = Next::Scan;
        break;
      case Next::Scan:
        next = scanPass();
        break;
      case Next::Idle:
        next = idlePass();
        break;
      case Next::Exit:
        break;
    }
  }
  if (channel_) channel_->close();
  return 0;
}

// ---------------------------------------------------------------- start-up

void ImpedanceAnalyzer::startUp() {
  screen_.setPages(kVisiblePage, kVisiblePage);
  screen_.movePointer(1, 1);
  for (const PaletteEntry& e : kPalette) screen_.setPalette(e.index, e.r, e.g, e.b);
  rescaleMarkers(plan_);
  settings_ = usableSettings(loadSettings(settingsFile_));
  link_.portNumber = settings_.portNumber;
  link_.clockHz = settings_.clockHz;
  splash();
  redrawAll();
  channel_ = openChannel_(link_.portNumber);
  Instrument(link_, *channel_, screen_).configureAndOpen();
  ctl_.scanning = true;
}

void ImpedanceAnalyzer::splash() {
  screen_.color(colour::kText, 0);
  screen_.printAt(6, 38, " A Network Analyzer program ");
  screen_.printAt(18, 34, "To measure R,L,C and impedances");
  screen_.printAt(45, 5, "F2: Setup");
  for (int pass = 0; pass < 81; ++pass) {
    const std::string k = screen_.readKey();
    if (k.size() == 2 && static_cast<unsigned char>(k[1]) == key::kF2) {
      serialPortScreen(screen_, latch_, settingsFile_, link_.portNumber);
      settings_.portNumber = link_.portNumber;
    }
    screen_.sleep(30);
  }
}

// ---------------------------------------------------------------- scan loop

void ImpedanceAnalyzer::scanStart() {
  ctl_.currentPoint = 0;
  buildFrequencyList(plan_, scan_.frequency);
  ctl_.currentPoint = ctl_.resumePoint;
  ctl_.restartPending = false;
  link_.sampleCode = plan_.sampleCode;
  Instrument instrument(link_, *channel_, screen_);
  const auto p = static_cast<std::size_t>(ctl_.currentPoint);
  instrument.loadFrequency(scan_.frequency[p]);
  instrument.applyFrequency();
  screen_.sleep(20);
  instrument.loadFrequency(scan_.frequency[p + 1]);
  screen_.sleep(20);
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::scanPass() {
  Instrument instrument(link_, *channel_, screen_);
  if (ctl_.currentPoint == 0) screen_.sleep(10);

  const bool calibrating = calibration::inProcedure(ctl_.calibrationState);
  const AcquireContext context{!calibrating, calibrating ? kAbortLabel : kStopLabel, ctl_.stopRequested,
                               stopHighlighted_, latch_};
  instrument.acquirePoint(context);
  if (screen_.closeRequested()) return Next::Exit;
  if (link_.timedOut) {
    ctl_.scanning = false;
    if (ctl_.calibrationState < calibration::kOn) ctl_.calibrationState = calibration::kOff;
    return handleTimeout();
  }

  const MouseState mouse = screen_.readMouse();
  latch_.release(mouse.buttons);
  if (stopHighlighted_ && latch_.take(mouse.buttons & 1) == Click::Left) return stopScan();
  const std::string k = screen_.readKey();
  if (k == " " || ctl_.stopRequested) return stopScan();
  if (k.size() == 1 && k[0] == key::kEsc) return Next::Exit;

  instrument.applyFrequency();
  const double strobe = screen_.timer();
  convertPoint(ctl_.currentPoint);
  refreshTraces();

  ctl_.resumePoint = ctl_.currentPoint;
  ctl_.currentPoint += 1;
  if (ctl_.currentPoint == plan_.points) {
    ctl_.currentPoint = 0;
    ctl_.scanComplete = true;
    if (calibration::measuring(ctl_.calibrationState)) endCalibrationStep();
  }
  if (!ctl_.scanning) return Next::Idle;

  instrument.loadFrequency(scan_.frequency[static_cast<std::size_t>(ctl_.currentPoint) + 1]);
  // The instrument needs 37 ms after the strobe before the next acquisition.
  while (screen_.timer() - strobe < 0.024) screen_.sleep(15);
  screen_.pauseUntil(strobe + 0.037);
  return Next::Scan;
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::stopScan() {
  ctl_.scanning = false;
  ctl_.stopRequested = false;
  stopHighlighted_ = false;
  if (calibration::measuring(ctl_.calibrationState)) {
    ctl_.calibrationState = calibration::kOff;
    screen_.color(0, colour::kText);
    screen_.printAt(20, 20, " Calibration aborted ");
    screen_.color(colour::kText, 0);
    screen_.sleep(2000);
  }
  redrawAll();
  ctl_.recomputeRequested = false;
  panel_.clearHover();
  return Next::Idle;
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::handleTimeout() {
  stopHighlighted_ = false;
  screen_.color(colour::kText, 0);
  screen_.printAt(36, P + 2, " Start  ");
  channel_->close();
  screen_.color(0, colour::kErrorBack);
  screen_.printAt(31, P + 2, " Error: USB timeout    ");
  screen_.printAt(32, P + 2, " USB Reset : wait (3s) ");
  screen_.sleep(1200);
  if (!Instrument(link_, *channel_, screen_).reopen()) {
    screen_.printAt(31, P + 2, " USB port             ");
    screen_.printAt(32, P + 2, " could not be opended ");
  } else {
    screen_.sleep(1600);
    screen_.printAt(31, P + 2, " Try to scan again    ");
    screen_.printAt(32, P + 2, " if it fails :        ");
    screen_.printAt(33, P + 2, " try to restart the PC");
  }
  screen_.color(colour::kText, 0);
  return Next::Idle;
}

// The end of a standard's scan moves the procedure on and asks for the next
// standard.
void ImpedanceAnalyzer::endCalibrationStep() {
  ctl_.calibrationState += 1;
  ctl_.scanning = false;
  ctl_.resumePoint = 0;
  ctl_.scanComplete = false;
  ctl_.memoryValid = false;
  Screen& s = screen_;
  const auto prompt = [&](std::string_view line1, std::string_view line2) {
    s.color(0, colour::kText);
    s.printAt(20, 20, line1);
    s.printAt(21, 20, line2);
    s.color(colour::kText, 0);
  };
  s.color(colour::kText, 0);
  switch (ctl_.calibrationState) {
    case calibration::kAwaitingShort:
      s.printAt(25, P + 2, "calibrate: short  ");
      s.sleep(900);
      redrawAll();
      prompt("Replace the open circuit with a short circuit ", "          then start calibrate                ");
      s.printAt(36, P + 2, " start calibrate");
      break;
    case calibration::kAwaitingReference:
      s.printAt(25, P + 2, "calibrate: ref    ");
      s.sleep(900);
      redrawAll();
      prompt("Replace the short circuit with a ", " reference load, then start calibrate       ");
      s.color(0, colour::kText);
      s.locate(20, 53);
      s.printPicture("####.###", settings_.refR);
      s.printAt(20, 61, " \xEA ");
      s.color(colour::kText, 0);
      s.printAt(36, P + 2, " start calibrate");
      break;
    default:  // on
      s.sleep(900);
      redrawAll();
      prompt("calibration done, replace the reference load with the",
             "device under test, then start     the measurement    ");
      s.printAt(25, P + 2, "calibrate: on     ");
      s.printAt(36, P + 2, " start          ");
      break;
  }
}

void ImpedanceAnalyzer::convertPoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  if (ctl_.scanning) {
    const auto samples = static_cast<std::size_t>(link_.sampleCode + 1);
    const ConvertedPoint converted =
        convertSamples(std::span(link_.sampleR).first(samples), std::span(link_.sampleA).first(samples),
                       link_.sampleCode, settings_.arGain, settings_.arPhase);
    scan_.rawRatio[p] = converted.ratio;
    scan_.workRatio[p] = converted.ratio;
    scan_.levelA[p] = converted.levelA;
    scan_.levelR[p] = converted.levelR;
    switch (ctl_.calibrationState) {
      case calibration::kMeasuringOpen: scan_.openStd[p] = converted.ratio; break;
      case calibration::kMeasuringShort: scan_.shortStd[p] = converted.ratio; break;
      case calibration::kMeasuringReference: scan_.loadStd[p] = converted.ratio; break;
      default: break;
    }
  }
  if (ctl_.calibrationState == calibration::kOff) {
    scan_.workRatio[p] = rotateByElectricalLength(scan_.rawRatio[p], cableLength_, scan_.frequency[p]);
    scan_.workMemory[p] = rotateByElectricalLength(scan_.memoryRatio[p], cableLength_, scan_.frequency[p]);
  }
  if (calibrated()) correctPoint(i);
  deriveQuantities(i);
}

bool ImpedanceAnalyzer::calibrated() const {
  return ctl_.calibrationState == calibration::kOn || ctl_.calibrationState == calibration::kWarning;
}

bool ImpedanceAnalyzer::memoryShown() const {
  return (ctl_.displayChoice == 2 || ctl_.displayChoice == 3) && ctl_.memoryValid && ctl_.scanComplete;
}

void ImpedanceAnalyzer::correctPoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  const Complex zl = referenceLoadImpedance(settings_.refR, settings_.refL, settings_.refC, scan_.frequency[p]);
  const auto correct = [&](Complex m) {
    return correctedImpedance(m, scan_.openStd[p], scan_.shortStd[p], scan_.loadStd[p], zl);
  };
  scan_.impedance[p] = correct(scan_.workRatio[p]);
  if (memoryShown()) scan_.memoryImpedance[p] = correct(scan_.memoryRatio[p]);
}

void ImpedanceAnalyzer::deriveQuantities(int i) {
  const auto p = static_cast<std::size_t>(i);
  const double f = scan_.frequency[p];
  const Complex z = calibrated() ? scan_.impedance[p] : nominalImpedance(scan_.workRatio[p]);
  const Quantities q = impedanceQuantities(ctl_.displayMode, z, f);
  scan_.trace1[p] = q.first;
  scan_.trace2[p] = q.second;
  if (ctl_.displayChoice != 2 && ctl_.displayChoice != 3) return;
  const Complex zm = calibrated() ? scan_.memoryImpedance[p] : nominalImpedance(scan_.workMemory[p]);
  const Quantities m = impedanceQuantities(ctl_.displayMode, zm, f);
  if (memoryShown()) scan_.memoryTrace1[p] = m.first;
  scan_.memoryTrace2[p] = m.second;
}

void ImpedanceAnalyzer::recomputeAll() {
  for (int i = 0; i < plan_.points; ++i) convertPoint(i);
}

// ---------------------------------------------------------------- drawing

void ImpedanceAnalyzer::redrawAll() {
  drawPanel();
  const int mode = ctl_.displayMode;
  drawPlotFrame(screen_, PlotFrameView{plan_.logSweep, plan_.freqMin, plan_.freqMax, mode == 10,
                                       scales_.trace1Max[10], scales_.trace1Min[10], true});
  drawMarkerReadout();
  drawTraces();
  // A full redraw would wipe the error box of a value still wrong, leaving
  // Start refused with nothing on the screen to say why: show it again.
  if (validationPending()) checkScales();
}

void ImpedanceAnalyzer::refreshTraces() {
  screen_.copyPage(kBackgroundPage, kCompositionPage);
  drawMarkerReadout();
  drawTraces();
}

void ImpedanceAnalyzer::drawPanel() {
  const auto m = static_cast<std::size_t>(ctl_.displayMode);
  PanelView view;
  view.displayMode = ctl_.displayMode;
  view.displayChoice = ctl_.displayChoice;
  view.trace1Max = scales_.trace1Max[m];
  view.trace1Min = scales_.trace1Min[m];
  view.trace2Max = scales_.trace2Max[m];
  view.trace2Min = scales_.trace2Min[m];
  view.freqMax = plan_.freqMax;
  view.freqMin = plan_.freqMin;
  view.center = plan_.center;
  view.span = plan_.span;
  view.logSweep = plan_.logSweep;
  view.points = plan_.points;
  view.msPerMeasurement = msPerMeasurement(plan_.sampleCode);
  view.cableLength = cableLength_;
  view.calibrationState = ctl_.calibrationState;
  view.scanning = ctl_.scanning;
  view.titleHovered = panel_.hovered(PanelItem::Title);
  view.calibrateHovered = panel_.hovered(PanelItem::Calibrate);
  view.displayHovered = panel_.hovered(PanelItem::Display);
  drawImpedancePanel(screen_, view);
}

void ImpedanceAnalyzer::drawMarkerReadout() {
  Screen& s = screen_;
  s.setPages(kCompositionPage, kVisiblePage);
  s.color(colour::kText, 0);
  const auto measured = [&](int index) { return ctl_.scanComplete || ctl_.resumePoint >= index; };
  const auto quantity = [&](int row, int column, double v) {
    s.locate(row, column);
    if (v > -999999999.98 && v < 9999999999.98) {
      s.printPicture("##########.###", v);
    } else {
      s.print("  overscale  ");
    }
  };
  const auto blanks = [&](int row) {
    s.printAt(row, 13, std::string(12, ' '));
    s.printAt(row, 29, std::string(14, ' '));
    s.printAt(row, 46, std::string(13, ' '));
  };
  const int index[2] = {plan_.markerIndex1, plan_.markerIndex2};
  for (int m = 0; m < 2; ++m) {
    const int row = 45 + m;
    const auto i = static_cast<std::size_t>(std::clamp(index[m], 0, kMaxPoints - 1));
    if (!measured(index[m])) {
      blanks(row);
      continue;
    }
    s.locate(row, 13);
    s.printPicture("#########.##", scan_.frequency[i]);
    quantity(row, 29, scan_.trace1[i]);
    quantity(row, 46, scan_.trace2[i]);
  }
  if (ctl_.scanComplete || (measured(index[0]) && measured(index[1]))) {
    const auto a = static_cast<std::size_t>(std::clamp(index[0], 0, kMaxPoints - 1));
    const auto b = static_cast<std::size_t>(std::clamp(index[1], 0, kMaxPoints - 1));
    s.locate(47, 13);
    s.printPicture("#########.##", scan_.frequency[b] - scan_.frequency[a]);
    quantity(47, 29, scan_.trace1[b] - scan_.trace1[a]);
    quantity(47, 46, scan_.trace2[b] - scan_.trace2[a]);
  } else {
    blanks(47);
  }
}

void ImpedanceAnalyzer::drawTraces() {
  const auto m = static_cast<std::size_t>(ctl_.displayMode);
  const int points = plan_.points;
  TraceView v;
  v.points = points;
  v.scanning = ctl_.scanning;
  v.currentPoint = ctl_.currentPoint;
  v.segments = ctl_.restartPending ? 0 : ctl_.scanComplete ? points - 1 : ctl_.resumePoint;
  v.markerOffset1 = plan_.markerOffset1;
  v.markerOffset2 = plan_.markerOffset2;
  v.logTrace1 = ctl_.displayMode == 10;
  v.trace1Max = scales_.trace1Max[m];
  v.trace1Min = scales_.trace1Min[m];
  v.trace2Max = scales_.trace2Max[m];
  v.trace2Min = scales_.trace2Min[m];
  const int choice = ctl_.displayChoice;
  v.drawTrace2 = choice == 0 || choice == 2;
  v.drawMemory1 = memoryShown();
  v.drawMemory2 = choice == 2 && memoryShown();
  const auto n = static_cast<std::size_t>(points);
  v.trace1 = std::span(scan_.trace1).first(n);
  v.trace2 = std::span(scan_.trace2).first(n);
  v.memory1 = std::span(scan_.memoryTrace1).first(n);
  v.memory2 = std::span(scan_.memoryTrace2).first(n);
  if (ctl_.scanning) {
    const auto p = static_cast<std::size_t>(ctl_.currentPoint);
    scan_.levelA[p] = std::max(scan_.levelA[p], -5.0);  // the bars start at -100 dBm
    scan_.levelR[p] = std::max(scan_.levelR[p], -5.0);
    v.levelBars = true;
    v.levelA = scan_.levelA[p];
    v.levelR = scan_.levelR[p];
    const bool calibrating = calibration::measuring(ctl_.calibrationState);
    v.startLabel = calibrating ? kAbortLabel : kStopLabel;
    const MouseState mouse = screen_.readMouse();
    v.startHovered = insideZone(fieldOf(PanelItem::Start), mouse.x, mouse.y);
  }
  if (ctl_.calibrationState == calibration::kAsked) {
    v.promptLine1 = " Replace the device under test with an    ";
    v.promptLine2 = " open circuit  , then start calibrate     ";
  }
  vna::drawTraces(screen_, v);
}

}  // namespace vna
