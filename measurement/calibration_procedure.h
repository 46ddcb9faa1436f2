// A calibration procedure as data: its states, what each means to the scan
// and idle loops, the texts it shows, and the events that move it on or
// degrade it. The impedance analyzer's open/short/load calibration and the
// transmission analyzer's normalization are two tables of this shape.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace vna {

// What a state means to the loops.
enum class StepRole {
  Off,        // no correction; the electrical length applies
  Awaiting,   // a standard is asked for; only the Start button starts its scan
  Measuring,  // a scan stores a standard at every point
  On,         // the correction applies
  Warning,    // the correction applies, but the plan changed since the standards were taken
};

// A text the procedure shows, at a text row and column; inverse is colour 0
// on 15, otherwise 15 on 0.
struct ProcedureText {
  int row = 0;
  int column = 0;
  std::string_view text;
  bool inverse = false;
};

// What happens when a Measuring state's scan has visited every point.
struct StepEnd {
  std::array<ProcedureText, 2> before{};  // shown during the pause
  int pauseMs = 0;
  std::array<ProcedureText, 4> after{};   // shown after the full redraw that follows the pause
  bool keepScanning = false;              // otherwise the loop stops and waits for the next Start
};

struct ProcedureState {
  StepRole role = StepRole::Off;
  std::string_view panelText;  // 13 characters after the item's label
  int next = 0;                // Awaiting: the state Start enters; Measuring: the state its scan ends in
  int standard = -1;           // Measuring: the standard its scan stores
  bool typedFrequencyDegrades = false;  // a typed frequency or the zoom turns it into the warning state
  bool sweepToggleDegrades = false;     // so does toggling linear/log
  std::array<std::string_view, 2> tracePrompt{};  // rows 20 and 21, rewritten with every trace redraw
  StepEnd end{};
};

struct CalibrationProcedure {
  std::string_view label;       // "calibrate:" / "normalize:" at column P+2
  std::span<const ProcedureState> states;  // indexed by state number; state 0 is off
  int asked = 1;                // the state a click on the item enters from off
  int warning = 0;              // the state of a degraded correction
  std::array<std::string_view, 2> askPrompt{};  // rows 20 and 21 right after that click
  std::string_view startLabel;  // the start button while a standard is awaited
  std::string_view abortLabel;  // the start button while a standard is measured
  std::string_view abortedText; // row 20, column 20 for 2 s when a standard's scan is stopped

  const ProcedureState& state(int s) const {
    return states[static_cast<std::size_t>(s) < states.size() ? static_cast<std::size_t>(s) : 0];
  }
  StepRole role(int s) const { return state(s).role; }
};

// The loops' questions and the procedure's transitions, as pure functions.
inline bool correcting(const CalibrationProcedure& p, int s) {
  return p.role(s) == StepRole::On || p.role(s) == StepRole::Warning;
}
inline bool inProcedure(const CalibrationProcedure& p, int s) {
  return p.role(s) == StepRole::Awaiting || p.role(s) == StepRole::Measuring;
}
inline bool measuringStandard(const CalibrationProcedure& p, int s) { return p.role(s) == StepRole::Measuring; }
// The electrical length corrects the ratio only while no correction is involved.
inline bool lengthApplies(const CalibrationProcedure& p, int s) { return p.role(s) == StepRole::Off; }
// A standard's scan is never started or stopped by the space bar.
inline bool spaceAllowed(const CalibrationProcedure& p, int s) { return !inProcedure(p, s); }

inline int afterItemClick(const CalibrationProcedure& p, int s) { return p.role(s) == StepRole::Off ? p.asked : 0; }
inline int afterStart(const CalibrationProcedure& p, int s) {
  return p.role(s) == StepRole::Awaiting ? p.state(s).next : s;
}
inline int afterScanEnd(const CalibrationProcedure& p, int s) {
  return p.role(s) == StepRole::Measuring ? p.state(s).next : s;
}
inline int afterStop(const CalibrationProcedure& p, int s) { return p.role(s) == StepRole::Measuring ? 0 : s; }
inline int afterTimeout(const CalibrationProcedure& p, int s) { return correcting(p, s) ? s : 0; }
inline int afterPointsChange(const CalibrationProcedure&, int) { return 0; }
inline int afterFrequencyStep(const CalibrationProcedure& p, int s) { return correcting(p, s) ? p.warning : s; }
inline int afterTypedFrequency(const CalibrationProcedure& p, int s) {
  return p.state(s).typedFrequencyDegrades ? p.warning : s;
}
inline int afterSweepToggle(const CalibrationProcedure& p, int s) {
  return p.state(s).sweepToggleDegrades ? p.warning : s;
}

}  // namespace vna
