// The control language of the virtual instrument, one command per line, as
// read by the simulator program from standard input or a FIFO and usable
// by tests and scripts on a model directly:
//   device SPEC          what is connected ("device capacitor 100p")
//   fault SPEC           misbehave ("fault stall 2", "fault none")
//   noise COUNTS         converter noise, rms 24-bit counts per sample
//   ar-gain G            input A's gain relative to R
//   ar-phase DEGREES     input A's phase relative to R
//   level DBM            level at input R
//   clock HZ             the generators' reference clock
//   compression on|off   detector compression
//   errors on|off        bridge and path errors
//   log on|off           log every exchange
//   status               one line: device, fault, frequency
//   help                 this list
//   quit                 end the simulator
// Blank lines and lines starting with '#' are ignored.
#pragma once

#include <string>
#include <string_view>

#include "simulator/instrument_model.h"

namespace vna {

struct ControlReply {
  bool ok = true;
  std::string message;  // what to tell the user (an error when !ok)
  bool quit = false;
};

ControlReply applyControlLine(std::string_view line, InstrumentModel& model, double now);

std::string controlHelp();
std::string describeStatus(const InstrumentModel& model, double now);

}  // namespace vna
