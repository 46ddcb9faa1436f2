#include "analyzer/measure_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

#include "analyzer/measure_file_options.h"
#include "analyzer/measure_load_option.h"
#include "platform/si_number.h"

namespace vna {
namespace {

using namespace std::string_literals;

constexpr double kLowestHz = 9, kHighestHz = 99999999.98;  // acceptTypedFrequency's bounds, both excluded

// The frequency rule as the messages and the usage say it.
constexpr std::string_view kFrequencyRule =
    "a frequency lies above 9 Hz and below 99999999.98 Hz; write it in Hz or with k or M (1k, 2.5M, 60M)";

// What went wrong with a typed frequency. "m" is milli, as everywhere in
// numbers, so "10m" is 0.01 Hz: whoever wrote it meant megahertz, and the
// message says how to write that.
std::string frequencyError(std::string_view named, std::string_view text, std::optional<double> hz) {
  if (!hz) return std::string(named) + ": not a frequency; " + std::string(kFrequencyRule);
  std::string message = std::string(named) + ": " + hertzText(*hz) + " Hz is " +
                        (*hz <= kLowestHz ? "not above 9 Hz" : "not below 99999999.98 Hz");
  if (const std::size_t milli = text.find('m'); milli != std::string_view::npos && !text.starts_with("m")) {
    std::string mega(text);
    mega[milli] = 'M';
    return message + "; m is milli: for megahertz write " + mega;
  }
  return message + "; " + std::string(kFrequencyRule);
}

// A whole number, SI prefixes allowed ("1k"), within int.
std::optional<int> parseWhole(std::string_view text) {
  const std::optional<long long> v = parseSiWhole(text);
  if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(*v);
}

}  // namespace

std::string hertzText(double hz) {
  std::array<char, 64> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), hz, std::chars_format::fixed);
  return ec == std::errc{} ? std::string(buffer.data(), end) : std::string("?");
}

namespace {

// The sample code the analyzers show as `ms` ms per measurement.
std::optional<int> sampleCodeFor(int ms) {
  int code = 6;
  do {
    if (msPerMeasurement(code) == ms) return code;
    code = stepSampleCode(code, Step::Next);
  } while (code != 6);
  return std::nullopt;
}

std::string_view commandName(MeasureCommand c) {
  switch (c) {
    case MeasureCommand::Calibrate: return "calibrate";
    case MeasureCommand::Reflection: return "reflection";
    case MeasureCommand::Normalize: return "normalize";
    case MeasureCommand::Transmission: return "transmission";
    case MeasureCommand::Convert: return "convert";
    case MeasureCommand::Analyze: return "analyze";
    case MeasureCommand::Help:
    case MeasureCommand::Version:
    case MeasureCommand::QuantityHelp: break;
  }
  return "help";
}

constexpr unsigned bit(MeasureCommand c) {
  return 1u << static_cast<unsigned>(c);
}
constexpr unsigned kMeasuring = bit(MeasureCommand::Reflection) | bit(MeasureCommand::Transmission);
constexpr unsigned kEvery = kMeasuring | bit(MeasureCommand::Calibrate) | bit(MeasureCommand::Normalize);
constexpr unsigned kWriting = kMeasuring | bit(MeasureCommand::Convert);  // the commands that write quantities
constexpr unsigned kReading = bit(MeasureCommand::Convert) | bit(MeasureCommand::Analyze);  // those that read a file

// What an option sets; --linear and --log set the same thing, so only one of them may be given.
enum class Key {
  Cal,
  Output,
  Slot,
  From,
  To,
  Points,
  Spacing,
  Ms,
  Port,
  Sweeps,
  Average,
  Load,
  Length,
  Quiet,
  Quantities,
  Format,
  As,
  Json,
  Report,
  Count
};

constexpr std::size_t kKeys = static_cast<std::size_t>(Key::Count);

struct OptionRule {
  std::string_view name;
  Key key;
  bool takesValue;
  unsigned commands;  // bits of the commands that take it
};

constexpr std::array<OptionRule, 21> kOptions{{
    {"--cal", Key::Cal, true, kEvery},
    {"-o", Key::Output, true, kWriting},
    {"--slot", Key::Slot, true, kWriting | kReading},
    {"--from", Key::From, true, kEvery},
    {"--to", Key::To, true, kEvery},
    {"--points", Key::Points, true, kEvery},
    {"--linear", Key::Spacing, false, kEvery},
    {"--log", Key::Spacing, false, kEvery},
    {"--ms", Key::Ms, true, kEvery},
    {"--port", Key::Port, true, kEvery},
    {"--sweeps", Key::Sweeps, true, kMeasuring},
    {"--average", Key::Average, true, kEvery},
    {"--load", Key::Load, true, bit(MeasureCommand::Calibrate)},
    {"--length", Key::Length, true, bit(MeasureCommand::Transmission)},
    {"--quiet", Key::Quiet, false, kEvery | kWriting | kReading},
    {"-q", Key::Quiet, false, kEvery | kWriting | kReading},
    {"--quantities", Key::Quantities, true, kWriting},
    {"--format", Key::Format, true, kWriting},
    {"--as", Key::As, true, bit(MeasureCommand::Analyze)},
    {"--json", Key::Json, false, bit(MeasureCommand::Analyze)},
    {"--report", Key::Report, true, bit(MeasureCommand::Analyze)},
}};

const OptionRule* findOption(std::string_view name) {
  for (const OptionRule& o : kOptions)
    if (o.name == name) return &o;
  return nullptr;
}

// "only calibrate takes", "only reflection, transmission and convert take".
std::string onlyTakenBy(unsigned commands) {
  std::vector<std::string_view> names;
  for (MeasureCommand c : {MeasureCommand::Calibrate, MeasureCommand::Reflection, MeasureCommand::Normalize,
                           MeasureCommand::Transmission, MeasureCommand::Convert, MeasureCommand::Analyze}) {
    if (commands & bit(c)) names.push_back(commandName(c));
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
  return "only " + text + (names.size() > 1 ? " take" : " takes") + " this option";
}

// The parse of one command line: the options so far and what was typed.
class Parser {
 public:
  explicit Parser(MeasureOptions& o) : o_(o) {}

  // An empty string when the value is accepted, otherwise the error.
  std::string apply(const OptionRule& rule, std::string_view value) {
    const std::string named = std::string(rule.name) + " " + std::string(value);
    switch (rule.key) {
      case Key::Cal:
        if (value.empty()) return "--cal: the calibration file's name is empty";
        o_.calFile = std::filesystem::path(value);
        return {};
      case Key::Output: return output(value);
      case Key::Slot: return slot(value);
      case Key::From:
      case Key::To: {
        const auto v = parseSiNumber(value);
        if (!v || !acceptTypedFrequency(*v)) return frequencyError(named, value, v);
        (rule.key == Key::From ? o_.plan.freqMin : o_.plan.freqMax) = *v;
        (rule.key == Key::From ? fromText_ : toText_) = value;
        return {};
      }
      case Key::Points: {
        const auto n = parseWhole(value);
        if (!n || !isScanLength(*n)) return named + ": the instrument scans " + pointsText() + " points";
        o_.plan.points = *n;
        return {};
      }
      case Key::Spacing: o_.plan.logSweep = rule.name == "--log"; return {};
      case Key::Ms: {
        const auto ms = parseWhole(value);
        const auto code = ms ? sampleCodeFor(*ms) : std::nullopt;
        if (!code) return named + ": the instrument measures a point in " + msText() + " ms";
        o_.plan.sampleCode = *code;
        return {};
      }
      case Key::Port: {
        const auto n = parseWhole(value);
        if (!n || *n < 0 || *n > 255)
          return named + ": the port is n of /dev/ttyUSB<n>, a whole number from 0 to 255 (ls /dev/ttyUSB* lists them)";
        o_.portOverride = *n;
        return {};
      }
      case Key::Sweeps: {
        const auto n = parseWhole(value);
        if (!n || *n < 1 || *n > 9999) return named + ": the number of sweeps is a whole number from 1 to 9999";
        o_.sweeps = *n;
        sweepsText_ = value;
        return {};
      }
      case Key::Average: {
        const auto n = parseWhole(value);
        if (!n || *n < 1 || *n > 1000)
          return named + ": the number of sweeps to average is a whole number from 1 to 1000";
        o_.average = *n;
        return {};
      }
      case Key::Load: return referenceLoadOption(o_, value);
      case Key::Length: {
        // The analyzers' typed length, shown with four decimals.
        const auto v = parseSiNumber(value);
        if (!v || !(*v > -999.99991 && *v < 9999.99991))
          return named + ": the electrical length is in metres, from -999.9999 to 9999.9999";
        o_.lengthMetres = *v;
        return {};
      }
      case Key::Quiet: o_.quiet = true; return {};
      case Key::Quantities: {
        const std::optional<QuantityKind> required =
            o_.command == MeasureCommand::Reflection     ? std::optional(QuantityKind::Reflection)
            : o_.command == MeasureCommand::Transmission ? std::optional(QuantityKind::Transmission)
                                                         : std::nullopt;
        QuantityListReading chosen = chooseQuantities(value, required);
        o_.quantities = std::move(chosen.choice);
        return chosen.error;
      }
      case Key::Format:
        o_.format = parseFormat(value);
        if (!o_.format) return named + ": the formats are touchstone, csv and jsonl";
        return {};
      case Key::As: return analyzeAsOption(o_, named, value);
      case Key::Json: o_.json = true; return {};
      case Key::Report: return analyzeReportOption(o_, named, value);
      case Key::Count: break;
    }
    return {};
  }

  // The rules that concern the whole line, once every argument is read.
  std::string finish(bool standardGiven, const std::array<bool, kKeys>& given) {
    const bool slotGiven = given[static_cast<std::size_t>(Key::Slot)];
    const MeasureCommand c = o_.command;
    const std::string name(commandName(c));
    if (c == MeasureCommand::Convert) return finishConvert(o_, slotGiven);
    if (c == MeasureCommand::Analyze) return finishAnalyze(o_, slotGiven);
    if (o_.format && o_.output && *o_.output != "-") {
      if (const auto named = formatOfName(*o_.output); named && *named != *o_.format)
        return "--format: -o " + *o_.output + " names a file of another format";
    }
    if (!o_.format && o_.output) o_.format = *o_.output == "-" ? OutputFormat::Touchstone : formatOfName(*o_.output);
    const bool quantitiesGiven = given[static_cast<std::size_t>(Key::Quantities)];
    if (o_.format == OutputFormat::Touchstone && quantitiesGiven)
      return "--quantities: a Touchstone file holds s-parameters; name a .csv or .jsonl output, or give --format";
    if (o_.format && o_.format != OutputFormat::Touchstone && slotGiven)
      return "--slot: only a Touchstone two-port output (.s2p) has slots";
    if (!o_.quantities && (c == MeasureCommand::Reflection || c == MeasureCommand::Transmission))
      o_.quantities =
          defaultQuantities(c == MeasureCommand::Reflection ? QuantityKind::Reflection : QuantityKind::Transmission);
    if (c == MeasureCommand::Calibrate && !standardGiven) return "calibrate needs a standard: open, short or load";
    if ((c == MeasureCommand::Calibrate || c == MeasureCommand::Normalize) && !o_.calFile)
      return name + " needs --cal FILE";
    if (c == MeasureCommand::Reflection && !o_.output) return "reflection needs -o NAME.s1p, -o NAME.s2p or -o -";
    if (c == MeasureCommand::Transmission && !o_.output) return "transmission needs -o NAME.s2p or -o -";
    SweepPlan& plan = o_.plan;
    if (!(plan.freqMin < plan.freqMax)) {
      const std::string from = fromText_.empty() ? hertzText(plan.freqMin) : std::string(fromText_);
      const std::string to = toText_.empty() ? hertzText(plan.freqMax) : std::string(toText_);
      return "--from " + from + " --to " + to + ": the start frequency must lie below the stop frequency";
    }
    plan.centerSpanEntry = false;
    deriveRange(plan);
    rescaleMarkers(plan);
    const bool toStdout = o_.output && *o_.output == "-";
    if (slotGiven && toStdout) o_.twoPort = true;
    if (slotGiven && !o_.twoPort) return "--slot: a slot needs a two-port output, -o NAME.s2p or -o -";
    if (!sweepsText_.empty() && toStdout)
      return "--sweeps " + std::string(sweepsText_) + ": numbered files cannot go to standard output (-o -)";
    if (c == MeasureCommand::Transmission && o_.calFile && given[static_cast<std::size_t>(Key::Length)])
      return "--length: the normalization already includes the cables; leave --length out with --cal";
    return {};
  }

 private:
  std::string output(std::string_view value) {
    if (o_.command == MeasureCommand::Convert) return convertOutputOption(o_, value);
    const bool transmission = o_.command == MeasureCommand::Transmission;
    const std::string named = "-o " + std::string(value);
    if (value == "-") {
      o_.output = "-";
      o_.twoPort = transmission;
      return {};
    }
    const std::size_t slash = value.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? value : value.substr(slash + 1);
    const bool onePort = endsWithNoCase(base, ".s1p"), twoPort = endsWithNoCase(base, ".s2p");
    const std::optional<OutputFormat> format = formatOfName(base);
    const std::size_t extension = base.rfind('.');
    if (!format || extension == 0)
      return named + (transmission
                          ? ": the output is NAME.s2p, NAME.csv, NAME.jsonl, or - for standard output"
                          : ": the output is NAME.s1p, NAME.s2p, NAME.csv, NAME.jsonl, or - for standard output");
    if (transmission && onePort) return named + ": transmission writes a two-port file, NAME.s2p";
    o_.output = std::string(value);
    o_.twoPort = twoPort;
    return {};
  }

  std::string slot(std::string_view value) {
    if (o_.command == MeasureCommand::Convert || o_.command == MeasureCommand::Analyze)
      return fileSlotOption(o_, commandName(o_.command), value);
    const bool transmission = o_.command == MeasureCommand::Transmission;
    const std::array<std::pair<std::string_view, ParameterSlot>, 2> own =
        transmission ? std::array<std::pair<std::string_view, ParameterSlot>, 2>{{{"s21", ParameterSlot::s21},
                                                                                  {"s12", ParameterSlot::s12}}}
                     : std::array<std::pair<std::string_view, ParameterSlot>, 2>{
                           {{"s11", ParameterSlot::s11}, {"s22", ParameterSlot::s22}}};
    for (const auto& [text, chosen] : own) {
      if (value == text) {
        o_.slot = chosen;
        return {};
      }
    }
    return "--slot " + std::string(value) + ": " + std::string(commandName(o_.command)) + " writes " +
           std::string(own[0].first) + " or " + std::string(own[1].first);
  }

  MeasureOptions& o_;
  std::string_view fromText_, toText_, sweepsText_;
};

std::optional<MeasureCommand> commandNamed(std::string_view word) {
  for (MeasureCommand c : {MeasureCommand::Calibrate, MeasureCommand::Reflection, MeasureCommand::Normalize,
                           MeasureCommand::Transmission, MeasureCommand::Convert, MeasureCommand::Analyze,
                           MeasureCommand::Help}) {
    if (commandName(c) == word) return c;
  }
  return std::nullopt;
}

std::optional<Standard> standardNamed(std::string_view word) {
  if (word == "open") return Standard::Open;
  if (word == "short") return Standard::Short;
  if (word == "load") return Standard::Load;
  return std::nullopt;
}

MeasureOptions refused(MeasureOptions o, std::string error) {
  o.error = std::move(error);
  return o;
}

}  // namespace

MeasureOptions parseMeasureOptions(std::span<const std::string_view> args) {
  MeasureOptions o;
  for (std::string_view a : args)
    if (a == "--help" || a == "-h") return o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--version") {
      o.command = MeasureCommand::Version;
      return o;
    }
    if (args[i] == "--quantities=help" || (args[i] == "--quantities" && i + 1 < args.size() && args[i + 1] == "help")) {
      o.command = MeasureCommand::QuantityHelp;
      return o;
    }
  }
  if (args.empty())
    return refused(o, "no command: give calibrate, reflection, normalize, transmission, convert or analyze");
  const auto command = commandNamed(args[0]);
  if (!command)
    return refused(o, std::string(args[0]) +
                          ": unknown command; the commands are calibrate, reflection, normalize, "
                          "transmission, convert and analyze");
  o.command = *command;
  if (o.command == MeasureCommand::Help) return o;
  if (o.command == MeasureCommand::Transmission) o.slot = ParameterSlot::s21;

  Parser parser(o);
  std::array<bool, kKeys> given{};
  bool standardGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    if (name.starts_with("--")) {
      if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
    }
    const bool reads = o.command == MeasureCommand::Convert || o.command == MeasureCommand::Analyze;
    if ((!name.starts_with("-") || name == "-") && reads && !o.input) {
      if (name.empty()) return refused(o, std::string(commandName(o.command)) + ": the input file's name is empty");
      o.input = std::filesystem::path(name);
      continue;
    }
    if (!name.starts_with("-") || name == "-") {
      const auto standard = standardNamed(name);
      if (o.command != MeasureCommand::Calibrate || standardGiven)
        return refused(o, std::string(name) + ": unexpected argument");
      if (!standard) return refused(o, "calibrate " + std::string(name) + ": the standards are open, short and load");
      o.standard = *standard;
      standardGiven = true;
      continue;
    }
    const OptionRule* rule = findOption(name);
    if (!rule) return refused(o, std::string(name) + ": unknown option");
    if (!(rule->commands & bit(o.command))) return refused(o, std::string(name) + ": " + onlyTakenBy(rule->commands));
    bool& seen = given[static_cast<std::size_t>(rule->key)];
    if (seen)
      return refused(o, std::string(name) +
                            (rule->key == Key::Spacing ? ": give only one of --linear and --log" : ": given twice"));
    seen = true;
    if (rule->takesValue && !value) {
      if (i + 1 >= args.size()) return refused(o, std::string(name) + ": the value is missing");
      value = args[++i];
    }
    if (!rule->takesValue && value) return refused(o, std::string(name) + ": takes no value");
    if (std::string error = parser.apply(*rule, value.value_or("")); !error.empty())
      return refused(o, std::move(error));
  }
  if (std::string error = parser.finish(standardGiven, given); !error.empty()) return refused(o, std::move(error));
  return o;
}

}  // namespace vna
