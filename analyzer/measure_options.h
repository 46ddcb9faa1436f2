// The command line of vna-measure, the windowless program that makes
// calibrated measurements from scripts:
//
//   vna-measure calibrate open|short|load --cal FILE [plan] [--load "R L C"]
//   vna-measure reflection [--cal FILE] [plan] -o NAME.s1p | -o NAME.s2p [--slot s11|s22]
//   vna-measure normalize --cal FILE [plan]
//   vna-measure transmission [--cal FILE] [plan] [--length METRES] -o NAME.s2p [--slot s21|s12]
//   vna-measure convert IN -o OUT [--slot s11|s21|s12|s22] [--quantities LIST] [--format csv|jsonl]
//
// Each takes --average N: every point the mean of N sweeps.
//
// The plan starts as the analyzers' start-up plan and takes the same values
// the analyzers let a person set, so that a script can measure nothing the
// windowed programs could not.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analyzer/quantity_choice.h"
#include "files/parameter_slot.h"
#include "files/quantity_formats.h"
#include "measurement/sweep_plan.h"
#include "reflection/open_short_load.h"

namespace vna {

// QuantityHelp: "--quantities help", the list of the quantities.
enum class MeasureCommand {
  Calibrate,
  Reflection,
  Normalize,
  Transmission,
  Convert,
  Analyze,
  Help,
  Version,
  QuantityHelp
};

// The exit status of vna-measure; a script tells the failures apart by it.
// measureUsage() says each in the user's words.
enum class MeasureExit : int {
  Ok = 0,              // every sweep was measured and written
  BadArguments = 2,    // the command line was refused; the instrument was not touched
  NoInstrument = 3,    // the serial port could not be opened, or vanished and could not be opened again
  Silent = 4,          // no reply, or incomplete or damaged replies, at one point twice (port reopened between)
  CannotWrite = 5,     // a folder to write into is missing or not writable (found before the first sweep),
                       // or a file could not be written; an old one is unchanged
  BadCalibration = 6,  // the calibration file is unreadable, lacks a standard, or was taken over another plan
  OtherPlan = 7,       // the two-port file to merge into holds another plan; the instrument was not touched
  BadInput = 8,        // convert, analyze: the file to read is missing, unreadable or no Touchstone file the
                       // viewers show
  NoAnswer = 9,        // analyze: the circuit asked for does not fit the sweep, or no circuit or filter figure does
  Interrupted = 130,   // Ctrl+C or SIGTERM: the files of finished sweeps stay, the sweep under way is lost
};

// The reference load the open/short/load correction assumes, in ohms,
// henries and farads.
struct LoadValues {
  double refR = 50, refL = 0, refC = 0;
};

struct MeasureOptions {
  MeasureCommand command = MeasureCommand::Help;
  Standard standard = Standard::Open;  // calibrate only: the standard now connected
  std::optional<std::filesystem::path> calFile;
  std::optional<std::string> output;  // "-" is standard output
  bool twoPort = false;               // the output is written as a two-port (.s2p) file
  ParameterSlot slot = ParameterSlot::s11;
  SweepPlan plan;                          // the start-up plan with --from/--to/--points/--linear/--log/--ms applied
  std::optional<int> portOverride;         // n of /dev/ttyUSB<n> instead of the settings file's
  std::optional<LoadValues> loadOverride;  // instead of the settings file's reference load
  double lengthMetres = 0;                 // transmission without --cal: the cable's electrical length
  int sweeps = 1;                          // > 1: NAME-0001.s1p, NAME-0002.s1p, ... one sweep after the other
  int average = 1;                         // sweeps back to back whose mean makes each point (and each standard)
  bool quiet = false;
  std::optional<std::filesystem::path> input;  // convert, analyze: the Touchstone file read
  // analyze: "auto", "filter" or a circuit's name (reflection/equivalent_circuits.h)
  std::string analyzeAs = "auto";
  bool json = false;                            // analyze: one JSON object instead of the table
  std::optional<std::filesystem::path> report;  // analyze: the page to draw, .png, .svg or .pdf
  // --quantities, or the default set of the command's kind (reflection,
  // transmission, convert); convert's kind also follows --slot.
  std::optional<QuantityChoice> quantities;
  // --format, or the one of -o's extension; none for "-o -" of a measuring
  // command without --format (Touchstone, as ever).
  std::optional<OutputFormat> format;
  std::string error;  // one line naming the refused argument; empty when accepted

  bool ok() const { return error.empty(); }
};

// `args` without the program's name. "--help" or "-h" anywhere gives the
// Help command, "--version" anywhere the Version command. Numbers take SI
// prefixes (platform/si_number.h), m being milli as everywhere. An option's value is the next argument, or follows "="
// in
// "--option=value"; an option given twice is refused rather than one of the
// two silently winning.
MeasureOptions parseMeasureOptions(std::span<const std::string_view> args);

// What --help prints: the commands, the options and the exit statuses.
std::string measureUsage();

// The point counts and the times per point the instrument offers, as the
// messages and the usage name them ("51, 101, 201, 401 or 801").
std::string pointsText();
std::string msText();

// The shortest decimal that reads back as `hz`, without an exponent.
std::string hertzText(double hz);

}  // namespace vna
