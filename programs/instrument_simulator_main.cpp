// instrument-simulator: the virtual instrument on a pseudo-terminal.
#include <string_view>
#include <vector>

#include "simulator/simulator_program.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  return vna::runInstrumentSimulator(arguments);
}
