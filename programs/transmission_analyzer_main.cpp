// transmission-analyzer: measures two-port devices (filters, amplifiers).
#include <cstdio>
#include <memory>

#include "platform/serial_port.h"
#include "platform/x11_backend.h"
#include "analyzer/transmission_analyzer.h"

int main() {
  vna::X11Backend backend("transmission-analyzer");
  if (!backend.ok()) {
    std::fprintf(stderr, "transmission-analyzer: %s\n", backend.error().c_str());
    return 1;
  }
  vna::Screen screen(backend);
  vna::TransmissionAnalyzer program(screen, [](int portNumber) -> std::unique_ptr<vna::SerialChannel> {
    return std::make_unique<vna::SerialPort>(vna::serialDeviceName(portNumber));
  });
  return program.run();
}
