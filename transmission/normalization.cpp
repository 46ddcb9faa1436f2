#include "transmission/normalization.h"

#include <array>

namespace vna {
namespace {

constexpr int P = 101;  // the panel's text column

constexpr std::array<std::string_view, 2> kPrompt{" Replace the device under test with a     ",
                                                  " through connection, then start normalize "};

// The reference scan ends in the on state and scanning goes on: the next
// sweep is normalized.
constexpr StepEnd kReferenceTaken{
    {ProcedureText{20, 20, "normalization: done", true}, ProcedureText{25, P + 2, "normalize: on     ", false}},
    1900,
    {},
    true};

// Role, panel text, next state, standard, typed frequency degrades, sweep
// toggle degrades, prompt redrawn with the traces, end of the scan.
const std::array<ProcedureState, 5> kStates{{
    {StepRole::Off, " off         "},
    {StepRole::Awaiting, " asked       ", static_cast<int>(NormalizeState::Running), -1, false, false, kPrompt},
    {StepRole::Measuring, " running     ", static_cast<int>(NormalizeState::On), 0, false, false, {},
     kReferenceTaken},
    {StepRole::On, " on          ", 0, -1, true, false},
    {StepRole::Warning, " warning     ", 0, -1, true, false},
}};

const CalibrationProcedure kProcedure{
    "normalize:",
    kStates,
    static_cast<int>(NormalizeState::Asked),
    static_cast<int>(NormalizeState::Warning),
    kPrompt,
    " Start normalize",
    " Abort normalize",
    " Normalization aborted ",
};

}  // namespace

const CalibrationProcedure& normalizationProcedure() { return kProcedure; }

}  // namespace vna
