// The text form of a device, as typed after --device or "device" on the
// control channel: a kind and its values, e.g. "resistor 100",
// "rlc-series 10 1u 100p", "load 50 0 0", "bandpass-lc 10M 1M 4".
#pragma once

#include <string>
#include <string_view>

#include "simulator/command_text.h"
#include "simulator/device_models.h"

namespace vna {

ParseResult<Device> parseDevice(std::string_view text);

// The same syntax back, so that describe then parse gives the device again.
std::string describeDevice(const Device& device);

// One line per kind with its values, for --help and "help".
std::string deviceSyntaxHelp();

}  // namespace vna
