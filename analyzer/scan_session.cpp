#include "analyzer/scan_session.h"

#include <algorithm>

#include "display/layout.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

}  // namespace

ScanSession::ScanSession(MeasurementScreen& screen, MeasurementState& state, PointQuantities& quantities,
                         ProcedureSteps& steps, const ScanStyle& style, const SettingsFile& settings,
                         InstrumentLink& link)
    : screen_(screen),
      out_(screen.screen()),
      state_(state),
      quantities_(quantities),
      steps_(steps),
      style_(style),
      settings_(settings),
      link_(link) {}

void ScanSession::openInstrument(const ChannelFactory& openChannel) {
  channel_ = openChannel(link_.portNumber);
  engine_.emplace(link_, *channel_, static_cast<AcquisitionHost&>(*this), style_.pacing);
  if (!channel_->open()) {
    out_.color(0, colour::kText);
    out_.printAt(10, 20, "USB port could not be opended");
    out_.color(colour::kText, 0);
  }
  // The converter needs a moment after opening before the instrument listens.
  sleep(1500);
  instrument().resetInstrument();
}

void ScanSession::closeInstrument() {
  if (channel_) channel_->close();
}

// ---------------------------------------------------------------- scan loop

void ScanSession::scanStart() {
  ScanControl& c = state_.control;
  buildFrequencyList(state_.plan, state_.record.frequency);
  c.sweepBegins();
  link_.sampleCode = state_.plan.sampleCode;
  // The clock in use may have been changed on the Adjustment screen.
  link_.clockHz = settings_.clockHz;
  engine_->start(state_.record.frequency, c.currentPoint());
}

ScanStep ScanSession::scanPass() {
  ScanControl& c = state_.control;
  const CalibrationProcedure* procedure = screen_.procedure();
  if (c.currentPoint() == 0) sleep(10);

  const Acquired acquired = engine_->acquire();
  if (out_.closeRequested()) return ScanStep::Exit;
  if (acquired == Acquired::TimedOut) {
    c.stopped();
    if (procedure) c.procedureState = afterTimeout(*procedure, c.procedureState);
    return handleTimeout();
  }

  const UserInput input = screen_.readInput();
  if (stopHighlighted_ && screen_.latch().take(input.mouse.buttons & 1) == Click::Left) return stopScan();
  if (input.key == " " || c.stopRequested()) return stopScan();
  if (input.key.size() == 1 && input.key[0] == key::kEsc) return ScanStep::Exit;

  engine_->strobe();
  convertPoint(c.currentPoint());
  screen_.refreshTraces();

  if (c.pointMeasured(state_.plan.points) && procedure && measuringStandard(*procedure, c.procedureState))
    endProcedureStep();
  if (!c.scanning()) {
    // Whatever the idle loop finds under the pointer lights up anew.
    screen_.clearHover();
    return ScanStep::Idle;
  }

  // Look-ahead: the instrument already runs at point p + 1 since the strobe,
  // so p + 2 is loaded now (currentPoint has moved on to p + 1).
  engine_->loadAheadAndPace(state_.record.frequency[static_cast<std::size_t>(c.currentPoint()) + 1]);
  return ScanStep::NextPoint;
}

void ScanSession::convertPoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  const ConvertedPoint converted = engine_->convert(settings_.arGain, settings_.arPhase);
  ScanRecord& r = state_.record;
  r.rawRatio[p] = converted.ratio;
  r.workRatio[p] = converted.ratio;
  r.levelA[p] = converted.levelA;
  r.levelR[p] = converted.levelR;
  if (const CalibrationProcedure* procedure = screen_.procedure()) {
    const int standard = procedure->state(state_.control.procedureState).standard;
    if (measuringStandard(*procedure, state_.control.procedureState) && standard >= 0)
      steps_.storeStandard(standard, i);
  }
  quantities_.derivePoint(i);
  if (screen_.profile().levelMeter) {
    // The level bars and traces start at -100 dBm.
    r.levelA[p] = std::max(r.levelA[p], -5.0);
    r.levelR[p] = std::max(r.levelR[p], -5.0);
  }
}

ScanStep ScanSession::stopScan() {
  ScanControl& c = state_.control;
  c.stoppedByUser();
  stopHighlighted_ = false;
  const CalibrationProcedure* procedure = screen_.procedure();
  if (procedure && measuringStandard(*procedure, c.procedureState)) {
    c.procedureState = afterStop(*procedure, c.procedureState);
    showText({20, 20, procedure->abortedText, true});
    sleep(2000);
  }
  screen_.redrawAll();
  screen_.clearHover();
  return ScanStep::Idle;
}

ScanStep ScanSession::handleTimeout() {
  stopHighlighted_ = false;
  out_.color(colour::kText, 0);
  // The padded label, so that no letters of " Abort calibrate" or " Abort
  // normalize" stay beside it; and the procedure's state as it now is.
  out_.printAt(36, P + 2, " Start          ");
  showProcedureState(out_, screen_.view());
  channel_->close();
  out_.color(0, colour::kErrorBack);
  out_.printAt(31, P + 2, style_.timeoutLine1);
  out_.printAt(32, P + 2, style_.timeoutLine2);
  sleep(1200);
  if (!instrument().reopen()) {
    out_.printAt(31, P + 2, " USB port             ");
    out_.printAt(32, P + 2, " could not be opended ");
  } else {
    sleep(1600);
    out_.printAt(31, P + 2, " Try to scan again    ");
    out_.printAt(32, P + 2, " if it fails :        ");
    out_.printAt(33, P + 2, " try to restart the PC");
  }
  out_.color(colour::kText, 0);
  screen_.clearHover();
  return ScanStep::Idle;
}

// The end of a standard's scan moves the procedure on and says what comes next.
void ScanSession::endProcedureStep() {
  const CalibrationProcedure& procedure = *screen_.procedure();
  ScanControl& c = state_.control;
  const StepEnd& end = procedure.state(c.procedureState).end;
  c.procedureState = afterScanEnd(procedure, c.procedureState);
  if (!end.keepScanning) c.standardScanDone();
  for (const ProcedureText& t : end.before) showText(t);
  sleep(end.pauseMs);
  screen_.redrawAll();
  for (const ProcedureText& t : end.after) showText(t);
  steps_.afterProcedureStep(out_, c.procedureState);
}

void ScanSession::showText(const ProcedureText& t) {
  if (t.text.empty()) return;
  out_.color(t.inverse ? 0 : colour::kText, t.inverse ? colour::kText : 0);
  out_.printAt(t.row, t.column, t.text);
  out_.color(colour::kText, 0);
}

// ---------------------------------------------------------------- while the instrument transfers

double ScanSession::now() { return out_.timer(); }
void ScanSession::pauseUntil(double time) { out_.pauseUntil(time); }
void ScanSession::sleep(int ms) { out_.sleep(ms); }
void ScanSession::waitForActivity(double seconds, const WakeSource& wake) { out_.waitForActivity(seconds, wake); }

void ScanSession::warnIfLong(const AcquisitionProgress& progress) {
  if (progress.outstandingGroups > 50) {
    out_.color(0, colour::kTrace1);
    out_.printAt(31, P + 2, "      Wait      ");
    out_.color(colour::kText, 0);
  }
}

// A space, where allowed, or a click on the Stop button (which stops a
// calibration scan too) asks the scan to stop after this point; any other key
// pressed during an acquisition is dropped, Esc too. Only a closed window
// gives up at once: it must not wait for the instrument's reply (or seven
// seconds for none).
bool ScanSession::keepGoing(const AcquisitionProgress& progress) {
  const UserInput input = screen_.readInput();
  if (out_.closeRequested()) return false;
  const CalibrationProcedure* procedure = screen_.procedure();
  const bool spaceStops = !procedure || spaceAllowed(*procedure, state_.control.procedureState);
  if (input.key == " " && spaceStops) {
    state_.control.askToStop();
    stopHighlighted_ = false;
    warnIfLong(progress);
  }
  const MouseState& mouse = input.mouse;
  ClickLatch& latch = screen_.latch();
  const bool over = kStopButton.contains(mouse.x, mouse.y);
  if (over != stopHighlighted_) {
    stopHighlighted_ = over;
    showStartButton(out_, screen_.view(), over);
  }
  if (over && latch.take(mouse.buttons & 1) == Click::Left) {
    state_.control.askToStop();
    warnIfLong(progress);
  }
  return true;
}

}  // namespace vna
