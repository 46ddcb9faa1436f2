// impedance-analyzer: measures one-port devices by reflection.
#include <cstdio>
#include <memory>

#include "analyzer/impedance_analyzer.h"
#include "platform/serial_port.h"
#include "platform/x11_backend.h"

int main() {
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
