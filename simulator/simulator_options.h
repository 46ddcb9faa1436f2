// The command line of the instrument-simulator program.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "simulator/command_text.h"
#include "simulator/device_models.h"
#include "simulator/fault_plan.h"
#include "simulator/instrument_model.h"

namespace vna {

struct SimulatorOptions {
  InstrumentSettings settings;
  std::uint64_t seed = 1;
  Device device = Device::seriesRlc(10.0, 1.0e-6, 100.0e-12);  // resonant at 15.9 MHz
  FaultPlan fault;
  bool link = true;         // make /dev/ttyUSB<n> point at the pseudo-terminal
  std::optional<int> port;  // n; the first free one if not given
  std::string linkDirectory = "/dev";
  std::string controlFifo;  // besides standard input
  bool log = false;
  bool help = false;
  bool version = false;
};

ParseResult<SimulatorOptions> parseSimulatorOptions(std::span<const std::string_view> arguments);

std::string simulatorHelp();

}  // namespace vna
