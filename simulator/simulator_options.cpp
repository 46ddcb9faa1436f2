#include "simulator/simulator_options.h"

#include "simulator/control_commands.h"
#include "simulator/device_syntax.h"

namespace vna {
namespace {

using Result = ParseResult<SimulatorOptions>;

// Options that take a value; the value is the next argument.
std::optional<std::string> applyValue(SimulatorOptions& o, std::string_view option, std::string_view value) {
  const auto number = [&](double low, double high, double& target) -> std::optional<std::string> {
    const auto v = parseSiValue(value);
    if (!v || *v < low || *v > high) return std::string(option) + ": bad value \"" + std::string(value) + "\"";
    target = *v;
    return std::nullopt;
  };
  if (option == "--device") {
    const auto d = parseDevice(value);
    if (!d.value) return "--device: " + d.error;
    o.device = *d.value;
    return std::nullopt;
  }
  if (option == "--fault") {
    const auto f = parseFault(value);
    if (!f.value) return "--fault: " + f.error;
    o.fault = *f.value;
    return std::nullopt;
  }
  if (option == "--seed" || option == "--port") {
    const auto n = parseWholeNumber(value);
    if (!n || *n < 0 || (option == "--port" && *n > 255)) return std::string(option) + ": bad number";
    if (option == "--seed") o.seed = static_cast<std::uint64_t>(*n);
    if (option == "--port") o.port = static_cast<int>(*n);
    return std::nullopt;
  }
  if (option == "--link-dir") o.linkDirectory = std::string(value);
  if (option == "--control") o.controlFifo = std::string(value);
  if (option == "--link-dir" || option == "--control") return std::nullopt;
  if (option == "--noise") return number(0.0, 1.0e7, o.settings.noiseCounts);
  if (option == "--clock") return number(1.0e6, 1.0e9, o.settings.clockHz);
  if (option == "--ar-gain") return number(0.01, 100.0, o.settings.arGain);
  if (option == "--ar-phase") return number(-360.0, 360.0, o.settings.arPhaseDegrees);
  if (option == "--level") return number(-100.0, 20.0, o.settings.referenceLevelDbm);
  return "unknown option " + std::string(option) + " (try --help)";
}

bool applyFlag(SimulatorOptions& o, std::string_view option) {
  if (option == "--help" || option == "-h")
    o.help = true;
  else if (option == "--log")
    o.log = true;
  else if (option == "--no-link")
    o.link = false;
  else if (option == "--no-compression")
    o.settings.compression = false;
  else if (option == "--no-errors")
    o.settings.pathErrors = PathErrors::None;
  else
    return false;
  return true;
}

}  // namespace

ParseResult<SimulatorOptions> parseSimulatorOptions(std::span<const std::string_view> arguments) {
  SimulatorOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view option = arguments[i];
    std::string_view value;
    bool hasValue = false;
    if (const std::size_t eq = option.find('='); option.starts_with("--") && eq != std::string_view::npos) {
      value = option.substr(eq + 1);
      option = option.substr(0, eq);
      hasValue = true;
    }
    if (!hasValue && applyFlag(options, option)) continue;
    if (!hasValue) {
      if (i + 1 >= arguments.size()) {
        if (!option.starts_with("--")) return Result::failure("unexpected argument \"" + std::string(option) + "\"");
        return Result::failure(std::string(option) + " needs a value (try --help)");
      }
      value = arguments[++i];
    }
    if (!option.starts_with("--")) return Result::failure("unexpected argument \"" + std::string(option) + "\"");
    if (auto error = applyValue(options, option, value)) return Result::failure(*error);
  }
  return {options, {}};
}

std::string simulatorHelp() {
  return "Usage: instrument-simulator [options]\n"
         "A virtual vector network analyzer instrument on a pseudo-terminal. It answers the\n"
         "analyzer programs' serial protocol (reset, frequency words, strobe, acquisition)\n"
         "as the hardware would, at 57600 baud and 7 samples per 25 Hz period, with the\n"
         "device under test, the instrument's own errors, noise and faults chosen below.\n"
         "\n"
         "Options:\n"
         "  --device SPEC       device under test (default \"rlc-series 10 1u 100p\")\n"
         "  --fault SPEC        misbehave from the start (default none)\n"
         "  --noise COUNTS      converter noise, rms 24-bit counts per sample (default 100)\n"
         "  --seed N            seed of the noise (default 1)\n"
         "  --clock HZ          the generators' reference clock (default 150M)\n"
         "  --ar-gain G         input A's gain relative to input R (default 1.02)\n"
         "  --ar-phase DEGREES  input A's phase relative to input R (default 1.5)\n"
         "  --level DBM         level at input R (default 0)\n"
         "  --no-compression    an ideal detector\n"
         "  --no-errors         an ideal bridge and transmission path\n"
         "  --port N            serve as ttyUSB<N> (default: the first free number)\n"
         "  --link-dir DIR      make the ttyUSB<N> link in DIR (default /dev)\n"
         "  --no-link           make no link; just print the pseudo-terminal's name\n"
         "  --control FIFO      also read control commands from FIFO (made if missing)\n"
         "  --log               print every exchange with the program on standard error\n"
         "  --help              this text\n"
         "\n"
         "On start one line on standard output tells where it serves, e.g.\n"
         "  instrument-simulator: serving /dev/pts/5 as /dev/ttyUSB0\n"
         "Without the right to link it prints the command that makes the link instead.\n"
         "Diagnostics of malformed input from the program go to standard error.\n"
         "SIGINT or SIGTERM end it and remove the link.\n"
         "\n"
         "Control commands are read line by line from standard input (and the FIFO):\n" +
         controlHelp();
}

}  // namespace vna
