// impedance-analyzer: measures one-port devices by reflection.
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "analyzer/impedance_analyzer.h"
#include "platform/serial_port.h"
#include "platform/window_command_line.h"
#include "platform/x11_backend.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const vna::WindowCommand command = vna::readWindowCommandLine(vna::impedanceAnalyzerText(), arguments);
  if (const std::optional<int> status = vna::finishWithoutWindow(command)) return *status;
  vna::X11Backend backend("impedance-analyzer");
  if (!backend.ok()) {
    std::fprintf(stderr, "impedance-analyzer: %s\n", backend.error().c_str());
    return 1;
  }
  vna::Screen screen(backend);
  vna::ImpedanceAnalyzer program(screen, [](int portNumber) -> std::unique_ptr<vna::SerialChannel> {
    return std::make_unique<vna::SerialPort>(vna::serialDeviceName(portNumber));
  });
  return program.run();
}
