// The flags that tie the scan loop and the idle loop together, and the
// display settings both loops read.
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

struct ScanControl {
  bool scanning = true;  // the analyzers start scanning by themselves
  int currentPoint = 0;
  int resumePoint = 0;   // last completed point; a restarted scan begins here
  bool scanComplete = false;
  bool restartPending = false;
  bool memoryValid = false;
  bool recomputeRequested = false;
  bool stopRequested = false;
  bool exitRequested = false;
  // The program's calibration procedure state: CalibrationState of the
  // impedance analyzer, NormalizeState of the transmission analyzer.
  int procedureState = 0;
  int displayMode = 0;
  int displayChoice = display_choice::kBoth;

  // The memory traces are computed and drawn only over a complete scan.
  bool memoryShown() const { return display_choice::includesMemory(displayChoice) && memoryValid && scanComplete; }

  // The resets of a plan change: the next start begins at point 0 with no memory.
  void invalidateScan() {
    scanComplete = false;
    memoryValid = false;
    currentPoint = 0;
    resumePoint = 0;
    restartPending = true;
  }
  // How many trace segments exist: none after a plan change, all of a complete scan.
  int segments(int points) const { return restartPending ? 0 : scanComplete ? points - 1 : resumePoint; }
  bool measured(int index) const { return scanComplete || resumePoint >= index; }
};

}  // namespace vna
