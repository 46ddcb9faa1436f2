// Where the scan stands, owned by one object: the scan loop, the idle loop
// and the panel move it only through the transitions below, each named for
// what happened, and read it through the names the loops have always used.
// Beside it, the display settings both loops read.
#pragma once

namespace vna {

// DisplayChoice: which traces are drawn.
namespace display_choice {
inline constexpr int kBoth = 0;
inline constexpr int kFirstOnly = 1;
inline constexpr int kBothWithMemory = 2;
inline constexpr int kFirstWithMemory = 3;
inline constexpr int kLevels = 4;  // gain with the two input levels (transmission)
inline constexpr bool includesMemory(int choice) { return choice == kBothWithMemory || choice == kFirstWithMemory; }
}  // namespace display_choice

// Idle: no scan runs. StopAsked: a scan runs and stops after the point under way.
enum class ScanPhase { Idle, Scanning, StopAsked };

class ScanControl {
 public:
  // ------------------------------------------------------------ reading
  bool scanning() const { return phase_ != ScanPhase::Idle; }
  bool stopRequested() const { return phase_ == ScanPhase::StopAsked; }
  ScanPhase phase() const { return phase_; }
  int currentPoint() const { return currentPoint_; }
  int resumePoint() const { return resumePoint_; }  // last completed point; a restarted scan begins here
  bool scanComplete() const { return scanComplete_; }
  bool restartPending() const { return restartPending_; }
  bool memoryValid() const { return memoryValid_; }
  bool recomputeRequested() const { return recomputeRequested_; }

  // The memory traces are computed and drawn only over a complete scan.
  bool memoryShown() const { return display_choice::includesMemory(displayChoice) && memoryValid_ && scanComplete_; }
  // How many trace segments exist: none after a plan change, all of a complete scan.
  int segments(int points) const { return restartPending_ ? 0 : scanComplete_ ? points - 1 : resumePoint_; }
  bool measured(int index) const { return scanComplete_ || resumePoint_ >= index; }

  // ------------------------------------------------------------ scan loop
  // The scan loop begins its sweep where the last one stopped.
  void sweepBegins() {
    currentPoint_ = resumePoint_;
    restartPending_ = false;
  }
  // The point under way was measured; true when it ended the sweep.
  bool pointMeasured(int points) {
    resumePoint_ = currentPoint_;
    if (++currentPoint_ < points) return false;
    currentPoint_ = 0;
    scanComplete_ = true;
    return true;
  }
  // A space or the Stop button during a point: the scan stops after it.
  void askToStop() {
    if (phase_ == ScanPhase::Scanning) phase_ = ScanPhase::StopAsked;
  }
  // The scan stopped (by the user, a time-out or the end of a standard's
  // scan); a stop also drops a recomputation the idle loop had pending.
  void stopped() { phase_ = ScanPhase::Idle; }
  void stoppedByUser() {
    phase_ = ScanPhase::Idle;
    recomputeRequested_ = false;
  }
  // A calibration standard's scan ended and left nothing to show.
  void standardScanDone() {
    phase_ = ScanPhase::Idle;
    resumePoint_ = 0;
    scanComplete_ = false;
    memoryValid_ = false;
  }

  // ------------------------------------------------------------ idle loop and panel
  // Start (space or the button): a changed plan starts from scratch.
  void start() {
    if (restartPending_) fromFirstPoint();
    phase_ = ScanPhase::Scanning;
    currentPoint_ = resumePoint_;
  }
  // A standard's scan covers the whole plan: the next start begins at its
  // first point with nothing measured.
  void fromFirstPoint() {
    currentPoint_ = resumePoint_ = 0;
    restartPending_ = scanComplete_ = memoryValid_ = false;
  }
  // The frequencies changed (typed, stepped, zoomed): nothing measured holds.
  void frequenciesChanged() {
    scanComplete_ = false;
    memoryValid_ = false;
    currentPoint_ = 0;
    resumePoint_ = 0;
    restartPending_ = true;
  }
  // Linear and log swapped: the next start begins at point 0.
  void sweepKindChanged() {
    restartPending_ = true;
    currentPoint_ = 0;
  }
  void pointCountChanged() {
    restartPending_ = true;
    currentPoint_ = resumePoint_ = 0;
  }
  void memoryCopied() { memoryValid_ = true; }
  void requestRecompute() { recomputeRequested_ = true; }
  void recomputed() {
    currentPoint_ = 0;
    recomputeRequested_ = false;
  }
  // A file is shown as a complete scan of `points` points; nothing runs.
  void showsFile(int points) {
    phase_ = ScanPhase::Idle;
    scanComplete_ = true;
    restartPending_ = false;
    memoryValid_ = false;
    currentPoint_ = 0;
    resumePoint_ = points - 1;
  }

  // ------------------------------------------------------------ settings
  // The program's calibration procedure state: CalibrationState of the
  // impedance analyzer, NormalizeState of the transmission analyzer.
  int procedureState = 0;
  int displayMode = 0;
  int displayChoice = display_choice::kBoth;

 private:
  ScanPhase phase_ = ScanPhase::Scanning;  // the analyzers start scanning by themselves
  int currentPoint_ = 0;
  int resumePoint_ = 0;
  bool scanComplete_ = false;
  bool restartPending_ = false;
  bool memoryValid_ = false;
  bool recomputeRequested_ = false;
};

}  // namespace vna
