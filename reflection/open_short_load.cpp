#include "reflection/open_short_load.h"

#include <array>

namespace vna {
namespace {

constexpr int P = 101;  // the panel's text column

constexpr ProcedureText inverse(int row, std::string_view text) { return {row, 20, text, true}; }
constexpr ProcedureText panel(int row, std::string_view text) { return {row, P + 2, text, false}; }

// The end of the open scan asks for the short, the end of the short scan for
// the reference load (whose value the program adds to the prompt), and the
// end of the load scan switches the correction on.
constexpr StepEnd kOpenMeasured{
    {panel(25, "calibrate: short  ")},
    900,
    {inverse(20, "Replace the open circuit with a short circuit "),
     inverse(21, "          then start calibrate                "), panel(36, " start calibrate")},
    false};
constexpr StepEnd kShortMeasured{
    {panel(25, "calibrate: ref    ")},
    900,
    {inverse(20, "Replace the short circuit with a "), inverse(21, " reference load, then start calibrate       "),
     panel(36, " start calibrate")},
    false};
constexpr StepEnd kLoadMeasured{
    {},
    900,
    {inverse(20, "calibration done, replace the reference load with the"),
     inverse(21, "device under test, then start     the measurement    "), panel(25, "calibrate: on     "),
     panel(36, " start          ")},
    false};

// Role, panel text, next state, standard, typed frequency degrades, sweep
// toggle degrades, prompt redrawn with the traces, end of the scan.
const std::array<ProcedureState, 9> kStates{{
    {StepRole::Off, " off         "},
    {StepRole::Awaiting, " asked       ", +CalibrationState::MeasuringOpen, -1, false, false,
     {" Replace the device under test with an    ", " open circuit  , then start calibrate     "}},
    {StepRole::Measuring, " open        ", +CalibrationState::AwaitingShort, static_cast<int>(Standard::Open), false,
     false, {}, kOpenMeasured},
    {StepRole::Awaiting, " short       ", +CalibrationState::MeasuringShort, -1, true},
    {StepRole::Measuring, " short       ", +CalibrationState::AwaitingReference, static_cast<int>(Standard::Short),
     true, false, {}, kShortMeasured},
    {StepRole::Awaiting, " reference   ", +CalibrationState::MeasuringReference, -1, true},
    {StepRole::Measuring, " reference   ", +CalibrationState::On, static_cast<int>(Standard::Load), true, false, {},
     kLoadMeasured},
    {StepRole::On, " on          ", 0, -1, true, true},
    {StepRole::Warning, " warning     ", 0, -1, true, false},
}};

const CalibrationProcedure kProcedure{
    "calibrate:",
    kStates,
    +CalibrationState::Asked,
    +CalibrationState::Warning,
    {" Replace the device under test with an    ", " open circuit , then start calibrate      "},
    " Start calibrate",
    " Abort calibrate",
    " Calibration aborted ",
};

}  // namespace

const CalibrationProcedure& openShortLoadProcedure() { return kProcedure; }

}  // namespace vna
