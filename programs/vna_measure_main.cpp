// vna-measure: calibrated measurements from the command line, without a window.
#include <unistd.h>

#include <memory>
#include <string_view>
#include <vector>

#include "analyzer/measure_host.h"
#include "analyzer/measure_program.h"
#include "platform/serial_port.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const vna::MeasureOptions options = vna::parseMeasureOptions(args);
  vna::SystemHost host;
  vna::MeasureSetting setting{
      ".",
      [](int portNumber) -> std::unique_ptr<vna::SerialChannel> {
        return std::make_unique<vna::SerialPort>(vna::serialDeviceName(portNumber));
      },
      host,
      [&host] { return host.interrupted(); },
  };
  setting.progress = !options.quiet && isatty(STDERR_FILENO);
  return vna::runMeasure(options, setting);
}
