#include "simulator/simulator_options.h"

#include "simulator/control_commands.h"
#include "simulator/device_syntax.h"

namespace vna {
namespace {

using Result = ParseResult<SimulatorOptions>;

// What an option takes after it.
enum class Takes { Nothing, Number, Whole, Device, Fault, Text };

// One option: its name, what it takes, the range of a number and where the
// value goes. The messages and the parser read the same row.
struct OptionRow {
  std::string_view name;
  Takes takes;
  double low = 0, high = 0;
  void (*apply)(SimulatorOptions&, double) = nullptr;  // numbers
};

template <double InstrumentSettings::*field>
void setSetting(SimulatorOptions& o, double v) {
  o.settings.*field = v;
}

constexpr OptionRow kOptions[] = {
    {"--help", Takes::Nothing},
    {"-h", Takes::Nothing},
    {"--version", Takes::Nothing},
    {"--log", Takes::Nothing},
    {"--no-link", Takes::Nothing},
    {"--no-compression", Takes::Nothing},
    {"--no-errors", Takes::Nothing},
    {"--device", Takes::Device},
    {"--fault", Takes::Fault},
    {"--link-dir", Takes::Text},
    {"--control", Takes::Text},
    {"--seed", Takes::Whole, 0, 1.0e15, [](SimulatorOptions& o, double v) { o.seed = static_cast<std::uint64_t>(v); }},
    {"--port", Takes::Whole, 0, 255, [](SimulatorOptions& o, double v) { o.port = static_cast<int>(v); }},
    {"--noise", Takes::Number, 0.0, 1.0e7, setSetting<&InstrumentSettings::noiseCounts>},
    {"--clock", Takes::Number, 1.0e6, 1.0e9, setSetting<&InstrumentSettings::clockHz>},
    {"--ar-gain", Takes::Number, 0.01, 100.0, setSetting<&InstrumentSettings::arGain>},
    {"--ar-phase", Takes::Number, -360.0, 360.0, setSetting<&InstrumentSettings::arPhaseDegrees>},
    {"--level", Takes::Number, -100.0, 20.0, setSetting<&InstrumentSettings::referenceLevelDbm>},
};

const OptionRow* findOption(std::string_view name) {
  for (const OptionRow& row : kOptions)
    if (row.name == name) return &row;
  return nullptr;
}

// "a number from 0 to 10M", "a whole number from 0 to 255".
std::string rangeText(const OptionRow& row) {
  if (row.takes == Takes::Whole)
    return "a whole number from " + std::to_string(static_cast<long long>(row.low)) + " to " +
           std::to_string(static_cast<long long>(row.high));
  return "a number from " + formatSiValue(row.low) + " to " + formatSiValue(row.high);
}

void applyFlag(SimulatorOptions& o, std::string_view name) {
  if (name == "--help" || name == "-h") o.help = true;
  if (name == "--version") o.version = true;
  if (name == "--log") o.log = true;
  if (name == "--no-link") o.link = false;
  if (name == "--no-compression") o.settings.compression = false;
  if (name == "--no-errors") o.settings.pathErrors = PathErrors::None;
}

// The error, or nothing when the value is taken.
std::optional<std::string> applyValue(SimulatorOptions& o, const OptionRow& row, std::string_view value) {
  const std::string named = std::string(row.name) + " " + std::string(value);
  switch (row.takes) {
    case Takes::Device: {
      const auto d = parseDevice(value);
      if (!d.value) return std::string(row.name) + ": " + d.error;
      o.device = *d.value;
      return std::nullopt;
    }
    case Takes::Fault: {
      const auto f = parseFault(value);
      if (!f.value) return std::string(row.name) + ": " + f.error;
      o.fault = *f.value;
      return std::nullopt;
    }
    case Takes::Text:
      if (value.empty()) return std::string(row.name) + ": the name is empty";
      (row.name == "--link-dir" ? o.linkDirectory : o.controlFifo) = std::string(value);
      return std::nullopt;
    case Takes::Whole: {
      const auto n = parseWholeNumber(value);
      if (!n || *n < row.low || *n > row.high) return named + ": give " + rangeText(row);
      row.apply(o, static_cast<double>(*n));
      return std::nullopt;
    }
    case Takes::Number: {
      const auto v = parseSiValue(value);
      if (!v || *v < row.low || *v > row.high)
        return named + ": give " + rangeText(row) + " (SI prefixes such as 10k or 2.5M; m is milli)";
      row.apply(o, *v);
      return std::nullopt;
    }
    case Takes::Nothing: break;
  }
  return std::nullopt;
}

}  // namespace

ParseResult<SimulatorOptions> parseSimulatorOptions(std::span<const std::string_view> arguments) {
  SimulatorOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    std::optional<std::string_view> value;
    if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (!name.starts_with("-"))
      return Result::failure("unexpected argument \"" + std::string(name) + "\" (try --help)");
    const OptionRow* row = findOption(name);
    if (!row) return Result::failure(std::string(name) + ": unknown option (try --help)");
    if (row->takes == Takes::Nothing) {
      if (value) return Result::failure(std::string(name) + ": takes no value");
      applyFlag(options, name);
      continue;
    }
    if (!value) {
      if (i + 1 >= arguments.size())
        return Result::failure(
            std::string(name) + ": the value is missing" +
            (row->takes == Takes::Whole || row->takes == Takes::Number ? ", " + rangeText(*row) : std::string()) +
            " (try --help)");
      value = arguments[++i];
    }
    if (auto error = applyValue(options, *row, *value)) return Result::failure(*error);
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
         "  --version           the version and the licence\n"
         "Numbers take SI prefixes: 25f, 100p, 4.7k, 10n, 1.5M (m is milli, M mega).\n"
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
