// The idle loop of the impedance analyzer: side panel items, marker
// dragging, the zoom key, typed numbers and the buttons.
#include <algorithm>
#include <string>

#include "analyzer/impedance_analyzer.h"
#include "analyzer/scale_check.h"
#include "display/help_screen.h"
#include "display/impedance_panel.h"
#include "display/impedance_texts.h"
#include "display/layout.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

bool isScale(PanelItem item) { return item >= PanelItem::Trace1Max && item <= PanelItem::Trace2Min; }
bool isFrequency(PanelItem item) { return item >= PanelItem::FreqMax && item <= PanelItem::Span; }
bool isCapacitanceMode(int m) { return m == 2 || m == 5 || m == 7; }
bool isInductanceMode(int m) { return m == 3 || m == 6 || m == 8; }
bool isImpedanceMode(int m) { return m == 0 || m == 1 || m == 10; }

// Unit letters of trace 1: a capacitance is in pF, an inductance in nH, an
// impedance in ohms.
std::optional<double> trace1Factor(int mode, char k) {
  if (k == key::kEnter) return 1.0;
  if (isCapacitanceMode(mode)) {
    if (k == 'p') return 1.0;
    if (k == 'n') return 1e3;
    if (k == 'u') return 1e6;
  }
  if (isInductanceMode(mode)) {
    if (k == 'n') return 1.0;
    if (k == 'u') return 1e3;
  }
  if (isImpedanceMode(mode) && k == 'k') return 1e3;
  if ((isInductanceMode(mode) || isImpedanceMode(mode)) && (k == 'm' || k == 'M')) return 1e6;
  return std::nullopt;
}

std::optional<double> trace2Factor(int mode, char k) {
  if (k == key::kEnter) return 1.0;
  if (mode == 1 || mode == 7 || mode == 8) {
    if (k == 'k') return 1e3;
    if (k == 'm' || k == 'M') return 1e6;
  }
  return std::nullopt;
}

std::optional<double> frequencyFactor(char k, double typed) {
  if (k == key::kEnter) return 1.0;
  if (typed > 0 && (k == 'k' || k == 'K')) return 1e3;
  if (typed > 0 && (k == 'm' || k == 'M')) return 1e6;
  return std::nullopt;
}

}  // namespace

ImpedanceAnalyzer::Next ImpedanceAnalyzer::idlePass() {
  const MouseState mouse = screen_.readMouse();
  latch_.release(mouse.buttons);
  const Next next = handlePanel(mouse);
  if (next != Next::Idle) return next;
  dragMarkers(mouse);
  updateHover(screen_.readMouse());
  if (ctl_.recomputeRequested && !ctl_.scanning && !validationPending()) {
    recomputeAll();
    redrawAll();
    panel_.clearHover();
    ctl_.currentPoint = 0;
    ctl_.recomputeRequested = false;
  }
  const std::string k = screen_.readKey();
  screen_.sleep(10);
  if (k.empty()) return Next::Idle;
  return handleKey(k);
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::handleKey(const std::string& k) {
  const int code = static_cast<unsigned char>(k[0]);
  if (k.size() == 1 && code == key::kEsc) return Next::Exit;
  if (k.size() == 1 && code == key::kSpace) {
    const int state = ctl_.calibrationState;
    if (validationPending() || !(state == calibration::kOff || state >= calibration::kOn)) return Next::Idle;
    return startScanning();
  }
  if (k.size() == 1 && code == key::kCtrlV) {
    zoomOnMarkers();
    return Next::Idle;
  }
  if (k.size() == 1 && code >= 45 && code <= 57 && code != 47) {
    for (const PanelField& f : impedancePanelFields()) {
      if (f.kind == FieldKind::Number && panel_.hovered(f.item)) {
        numberEntry(f.item, k);
        return ctl_.exitRequested ? Next::Exit : Next::Idle;
      }
    }
  }
  return Next::Idle;
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::startScanning() {
  if (ctl_.restartPending) {
    ctl_.currentPoint = ctl_.resumePoint = 0;
    ctl_.restartPending = ctl_.scanComplete = ctl_.memoryValid = false;
  }
  ctl_.scanning = true;
  ctl_.currentPoint = ctl_.resumePoint;
  redrawAll();
  return Next::ScanStart;
}

ImpedanceAnalyzer::Next ImpedanceAnalyzer::startButton() {
  if (validationPending()) return Next::Idle;
  int& state = ctl_.calibrationState;
  if (state == calibration::kAsked || state == calibration::kAwaitingShort ||
      state == calibration::kAwaitingReference) {
    state += 1;
    ctl_.currentPoint = ctl_.resumePoint = 0;
    ctl_.restartPending = ctl_.scanComplete = ctl_.memoryValid = false;
  }
  return startScanning();
}

// ---------------------------------------------------------------- panel items

ImpedanceAnalyzer::Next ImpedanceAnalyzer::handlePanel(const MouseState& mouse) {
  for (const PanelField& f : impedancePanelFields()) {
    int& lastWheel = panel_.lastWheel[static_cast<std::size_t>(f.item)];
    if (!panel_.hovered(f.item)) {
      lastWheel = mouse.wheel;  // notches made elsewhere never act on a field
      continue;
    }
    const int wheelDelta = mouse.wheel - lastWheel;
    lastWheel = mouse.wheel;
    const Click click = latch_.take(mouse.buttons);
    switch (f.kind) {
      case FieldKind::Number:
        if (click == Click::Left) {
          screen_.color(0, colour::kTrace1);
          screen_.printAt(f.row, P + 12, "_" + std::string(13, ' '));
          numberEntry(f.item, {});
          if (ctl_.exitRequested) return Next::Exit;
        } else if (wheelDelta != 0) {
          wheelStep(f.item, mouse, wheelDelta);
        }
        break;
      case FieldKind::Choice:
        if (click != Click::None) {
          choiceClick(f.item, click);
        } else if (wheelDelta != 0 && (f.item == PanelItem::SampleCode ||
                                       (f.item == PanelItem::Title && mouse.y > 8))) {
          choiceClick(f.item, wheelDelta > 0 ? Click::Left : Click::Right);
          screen_.sleep(100);
        }
        break;
      case FieldKind::Button: {
        const bool bothButtons = f.item == PanelItem::Help || f.item == PanelItem::Reference ||
                                 f.item == PanelItem::Exit;
        if (click == Click::None || (click == Click::Right && !bothButtons)) break;
        switch (f.item) {
          case PanelItem::Copy: copyToMemory(); break;
          case PanelItem::Save: saveToFile(); break;
          case PanelItem::Start: return startButton();
          case PanelItem::Help:
            helpScreen(screen_, latch_, helpPage(ProgramKind::ImpedanceAnalyzer));
            redrawAll();
            checkScales();
            panel_.clearHover();
            break;
          case PanelItem::Reference:
            break;  // the Reference Load screen comes with the calibration work
          case PanelItem::Exit: return Next::Exit;
          default: break;
        }
        break;
      }
    }
  }
  return Next::Idle;
}

void ImpedanceAnalyzer::choiceClick(PanelItem item, Click click) {
  const bool left = click == Click::Left;
  const Step step = left ? Step::Next : Step::Previous;
  switch (item) {
    case PanelItem::Title:
      ctl_.displayMode = left ? (ctl_.displayMode + 1) % 11 : (ctl_.displayMode + 10) % 11;
      ctl_.recomputeRequested = true;
      break;
    case PanelItem::Sweep:
      plan_.logSweep = !plan_.logSweep;
      ctl_.restartPending = true;
      ctl_.currentPoint = 0;
      if (ctl_.calibrationState == calibration::kOn) ctl_.calibrationState = calibration::kWarning;
      redrawAll();
      break;
    case PanelItem::Points:
      plan_.points = static_cast<std::int16_t>(stepPoints(plan_.points, step));
      rescaleMarkers(plan_);
      ctl_.restartPending = true;
      ctl_.resumePoint = ctl_.currentPoint = 0;
      ctl_.calibrationState = calibration::kOff;
      redrawAll();
      break;
    case PanelItem::SampleCode:
      plan_.sampleCode = stepSampleCode(plan_.sampleCode, step);
      ctl_.recomputeRequested = true;
      break;
    case PanelItem::Calibrate:
      if (!left) return;
      ctl_.calibrationState = ctl_.calibrationState == calibration::kOff ? calibration::kAsked : calibration::kOff;
      convertPoint(ctl_.currentPoint);
      redrawAll();
      break;
    case PanelItem::Display: {
      int& choice = ctl_.displayChoice;
      choice = left ? (choice + 1) % 4 : (choice + 3) % 4;
      if (choice == 3 && !ctl_.memoryValid) choice = 1;
      if (choice == 2 && !ctl_.memoryValid) choice = 0;
      ctl_.recomputeRequested = true;
      break;
    }
    default:
      return;
  }
  panel_.clearHover();
}

// ---------------------------------------------------------------- numbers

namespace {

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

bool acceptScaleStep(const ScaleSet& s, PanelItem item, int mode, double v) {
  const auto m = static_cast<std::size_t>(mode);
  const bool inRange = v > -999999999.99 && v < 9999999999.98;
  switch (item) {
    case PanelItem::Trace1Max: return inRange && v > s.trace1Min[m];
    case PanelItem::Trace1Min:
      return v < 9999999999.98 && v < s.trace1Max[m] && (mode < 10 ? v > -999999999.99 : v > 0.0008);
    case PanelItem::Trace2Max: return inRange && v > s.trace2Min[m];
    default: return inRange && v < s.trace2Max[m];
  }
}

}  // namespace

void ImpedanceAnalyzer::numberEntry(PanelItem item, std::string pendingKey) {
  const PanelField& f = fieldOf(item);
  const int mode = ctl_.displayMode;
  EntrySpec entry;
  entry.row = f.row;
  entry.column = P + 12;
  if (item == PanelItem::Trace1Max || item == PanelItem::Trace1Min) {
    entry.blanks = 14;
    entry.maxLength = 13;
    entry.factorOf = [mode](char k, double) { return trace1Factor(mode, k); };
    entry.accept = [mode](double v) { return v < 9999999999.98 && (mode < 10 ? v > -999999999.98 : v > 0.0008); };
  } else if (isScale(item)) {
    entry.blanks = 14;
    entry.maxLength = 11;
    entry.factorOf = [mode](char k, double) { return trace2Factor(mode, k); };
    entry.accept = [](double v) { return v > -999999999.98 && v < 9999999999.98; };
  } else if (item == PanelItem::Length) {
    entry.maxLength = 11;
    entry.factorOf = [](char k, double) { return k == key::kEnter ? std::optional<double>(1.0) : std::nullopt; };
    entry.accept = [](double v) { return v > -999.99991 && v < 9999.99991; };
  } else {
    entry.maxLength = 11;
    entry.allowMinus = false;
    entry.factorOf = frequencyFactor;
    entry.accept = acceptTypedFrequency;
    entry.onFirstCharacter = [this] { ctl_.invalidateScan(); };
  }
  const EntryResult result = enterNumber(screen_, entry, std::move(pendingKey));
  if (result.end == EntryEnd::Exit) {
    ctl_.exitRequested = true;
    return;
  }
  if (isFrequency(item)) {
    frequencyValue(plan_, item) = result.value;
    plan_.centerSpanEntry = item == PanelItem::Center || item == PanelItem::Span;
    ctl_.resumePoint = 0;
    if (ctl_.calibrationState > calibration::kMeasuringOpen) ctl_.calibrationState = calibration::kWarning;
    checkScales();
    redrawAll();
    panel_.clearHover();
    return;
  }
  if (item == PanelItem::Length) {
    cableLength_ = result.value;
  } else {
    scaleValue(scales_, item, mode) = result.value;
  }
  checkScales();
  ctl_.recomputeRequested = true;
  panel_.setHover(item, false);
}

void ImpedanceAnalyzer::wheelStep(PanelItem item, const MouseState& mouse, int delta) {
  const double sign = delta > 0 ? 1.0 : -1.0;
  if (isScale(item)) {
    double& value = scaleValue(scales_, item, ctl_.displayMode);
    const double v = value + sign * wheelStepScale(mouse.x);
    if (v == value || !acceptScaleStep(scales_, item, ctl_.displayMode, v)) return;
    value = v;
  } else if (item == PanelItem::Length) {
    const double v = cableLength_ + sign * wheelStepLength(mouse.x);
    if (v == cableLength_ || !(v > -999.0 && v < 999.0)) return;
    cableLength_ = v;
  } else {
    double& value = frequencyValue(plan_, item);
    const double v = value + sign * wheelStepFrequency(mouse.x);
    const bool accepted = item == PanelItem::FreqMax   ? acceptFreqMaxStep(plan_, v)
                          : item == PanelItem::FreqMin ? acceptFreqMinStep(plan_, v)
                          : item == PanelItem::Center  ? acceptCenterStep(plan_, v)
                                                       : acceptSpanStep(plan_, v);
    if (v == value || !accepted) return;
    value = v;
    screen_.sleep(100);
    panel_.setHover(item, false);
    ctl_.invalidateScan();
    plan_.centerSpanEntry = item == PanelItem::Center || item == PanelItem::Span;
    if (ctl_.calibrationState > calibration::kMeasuringReference) ctl_.calibrationState = calibration::kWarning;
    checkScales();
    redrawAll();
    return;
  }
  screen_.sleep(100);
  panel_.setHover(item, false);
  ctl_.recomputeRequested = true;
}

void ImpedanceAnalyzer::checkScales() { vna::checkScales(screen_, errors_, scales_, ctl_.displayMode, plan_); }

// ---------------------------------------------------------------- hover

void ImpedanceAnalyzer::updateHover(const MouseState& mouse) {
  for (const PanelField& f : impedancePanelFields()) {
    bool inside = insideZone(f, mouse.x, mouse.y);
    if ((f.item == PanelItem::Center || f.item == PanelItem::Span) && plan_.logSweep) inside = false;
    if (f.item == PanelItem::Length && ctl_.calibrationState != calibration::kOff) inside = false;
    if (inside == panel_.hovered(f.item)) continue;
    panel_.setHover(f.item, inside);
    showField(f.item, inside);
  }
}

void ImpedanceAnalyzer::showField(PanelItem item, bool hovered) {
  Screen& s = screen_;
  const PanelField& f = fieldOf(item);
  if (item == PanelItem::Title || item == PanelItem::Display) {
    redrawAll();
    return;
  }
  if (hovered) {
    s.color(0, colour::kText);
  } else {
    s.color(colour::kText, 0);
  }
  const auto m = static_cast<std::size_t>(ctl_.displayMode);
  switch (item) {
    case PanelItem::Trace1Max: s.locate(f.row, P + 12); s.printPicture("##########.###", scales_.trace1Max[m]); break;
    case PanelItem::Trace1Min: s.locate(f.row, P + 12); s.printPicture("##########.###", scales_.trace1Min[m]); break;
    case PanelItem::Trace2Max: s.locate(f.row, P + 12); s.printPicture("##########.###", scales_.trace2Max[m]); break;
    case PanelItem::Trace2Min: s.locate(f.row, P + 12); s.printPicture("##########.###", scales_.trace2Min[m]); break;
    case PanelItem::FreqMax:
    case PanelItem::FreqMin:
    case PanelItem::Center:
    case PanelItem::Span:
      s.locate(f.row, P + 12);
      s.printPicture("##########.##", frequencyValue(plan_, item));
      break;
    case PanelItem::Sweep: s.printAt(f.row, P + 12, plan_.logSweep ? " log         " : " linear      "); break;
    case PanelItem::Points:
    case PanelItem::SampleCode:
      s.printAt(f.row, P + 13, std::string(12, ' '));
      s.locate(f.row, P + 12);
      s.printNumber(item == PanelItem::Points ? plan_.points : msPerMeasurement(plan_.sampleCode));
      break;
    case PanelItem::Length:
      s.printAt(f.row, P + 12, std::string(12, ' '));
      s.locate(f.row, P + 13);
      s.printPicture("####.####", cableLength_);
      break;
    case PanelItem::Calibrate: s.printAt(f.row, P + 12, calibrationStateText(ctl_.calibrationState)); break;
    case PanelItem::Copy: s.printAt(f.row, P + 3, "Copy Measure to Memory"); break;
    case PanelItem::Save: s.printAt(f.row, P + 3, "Save Measure to File  "); break;
    case PanelItem::Start:
      s.printAt(f.row, P + 2,
                calibration::inProcedure(ctl_.calibrationState) && ctl_.calibrationState % 2 == 1
                    ? " Start calibrate"
                    : " Start          ");
      break;
    case PanelItem::Help: s.printAt(f.row, P + 2, " Help           "); break;
    case PanelItem::Reference: s.printAt(f.row, P + 2, " Reference Load "); break;
    case PanelItem::Exit: s.printAt(f.row, P + 2, " Exit           "); break;
    default: break;
  }
  s.color(colour::kText, 0);
}

// ---------------------------------------------------------------- buttons

void ImpedanceAnalyzer::showAcquisitionError() {
  screen_.color(0, colour::kErrorBack);
  screen_.printAt(31, P + 2, " error : aquisition ");
  screen_.printAt(32, P + 2, " not completed      ");
  screen_.color(colour::kText, 0);
}

void ImpedanceAnalyzer::copyToMemory() {
  if (!ctl_.scanComplete) {
    showAcquisitionError();
    return;
  }
  std::copy_n(scan_.rawRatio.begin(), plan_.points, scan_.memoryRatio.begin());
  ctl_.memoryValid = true;
  screen_.color(0, colour::kTrace1);
  screen_.printAt(28, P + 3, "    Measure copied    ");
  screen_.sleep(1200);
  screen_.printAt(28, P + 3, "Copy Measure to Memory");
  screen_.color(colour::kText, 0);
}

void ImpedanceAnalyzer::saveToFile() {
  if (!ctl_.scanComplete) showAcquisitionError();
  // The Save As dialog comes with the measurement files.
}

// ---------------------------------------------------------------- markers

void ImpedanceAnalyzer::dragMarkers(const MouseState& mouse) {
  const auto drag = [&](std::int32_t& offset, std::int32_t& index, bool& grabbed, bool otherGrabbed) {
    const int x = kPlot.origin + offset;
    const bool inZone = mouse.x > x - 7 && mouse.x < x + 7 && mouse.y > 2 && mouse.y < 694;
    if (inZone && !otherGrabbed) grabbed = true;
    if (!inZone && grabbed && mouse.buttons == 0) grabbed = false;
    if (grabbed && mouse.buttons == 1 && mouse.x != x && mouse.x > 2 && mouse.x < 804) {
      offset = std::clamp(mouse.x, 3, 803) - kPlot.origin;
      index = markerIndexFor(plan_.points, offset);
      refreshTraces();
    }
  };
  drag(plan_.markerOffset1, plan_.markerIndex1, markerGrabbed1_, markerGrabbed2_);
  if (!markerGrabbed1_) drag(plan_.markerOffset2, plan_.markerIndex2, markerGrabbed2_, markerGrabbed1_);
}

void ImpedanceAnalyzer::zoomOnMarkers() {
  const double f1 = scan_.frequency[static_cast<std::size_t>(std::clamp(plan_.markerIndex1, 0, kMaxPoints - 1))];
  const double f2 = scan_.frequency[static_cast<std::size_t>(std::clamp(plan_.markerIndex2, 0, kMaxPoints - 1))];
  if (f1 == f2) {
    plan_.center = f1;
    plan_.centerSpanEntry = true;
  } else {
    plan_.freqMin = std::min(f1, f2);
    plan_.freqMax = std::max(f1, f2);
    plan_.centerSpanEntry = false;
  }
  ctl_.invalidateScan();
  if (ctl_.calibrationState > calibration::kMeasuringOpen) ctl_.calibrationState = calibration::kWarning;
  checkScales();
  redrawAll();
  panel_.clearHover();
}

}  // namespace vna
