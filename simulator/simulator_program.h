// The instrument-simulator program: the virtual instrument served in real
// time on a pseudo-terminal, linked as /dev/ttyUSB<n> where it may be, with
// a control channel on standard input (and optionally a FIFO).
#pragma once

#include <span>
#include <string_view>

namespace vna {

// Runs until SIGINT, SIGTERM or "quit"; returns the exit status (0 after a
// normal end, 1 when it could not start, 2 for a bad command line).
int runInstrumentSimulator(std::span<const std::string_view> arguments);

}  // namespace vna
