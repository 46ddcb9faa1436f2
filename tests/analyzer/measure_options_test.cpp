#include "analyzer/measure_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vna {
namespace {

using Args = std::vector<std::string_view>;

MeasureOptions parse(const Args& args) {
  return parseMeasureOptions(args);
}

std::string joined(const Args& args) {
  std::string text;
  for (std::string_view a : args) text += std::string(a) + ' ';
  return text;
}

// Every field a command line sets, compared with what the row expects.
void expectSame(const MeasureOptions& got, const MeasureOptions& want, const std::string& line) {
  SCOPED_TRACE(line);
  EXPECT_EQ(got.error, "");
  EXPECT_EQ(got.command, want.command);
  if (want.command == MeasureCommand::Calibrate) {
    EXPECT_EQ(got.standard, want.standard);
  }
  EXPECT_EQ(got.calFile, want.calFile);
  EXPECT_EQ(got.output, want.output);
  EXPECT_EQ(got.twoPort, want.twoPort);
  EXPECT_EQ(got.slot, want.slot);
  EXPECT_EQ(got.plan.freqMin, want.plan.freqMin);
  EXPECT_EQ(got.plan.freqMax, want.plan.freqMax);
  EXPECT_EQ(got.plan.points, want.plan.points);
  EXPECT_EQ(got.plan.logSweep, want.plan.logSweep);
  EXPECT_EQ(got.plan.sampleCode, want.plan.sampleCode);
  EXPECT_FALSE(got.plan.centerSpanEntry);
  EXPECT_EQ(got.plan.center, (want.plan.freqMin + want.plan.freqMax) / 2);
  EXPECT_EQ(got.plan.span, want.plan.freqMax - want.plan.freqMin);
  EXPECT_EQ(got.portOverride, want.portOverride);
  ASSERT_EQ(got.loadOverride.has_value(), want.loadOverride.has_value());
  if (want.loadOverride) {
    EXPECT_DOUBLE_EQ(got.loadOverride->refR, want.loadOverride->refR);
    EXPECT_DOUBLE_EQ(got.loadOverride->refL, want.loadOverride->refL);
    EXPECT_DOUBLE_EQ(got.loadOverride->refC, want.loadOverride->refC);
  }
  EXPECT_EQ(got.lengthMetres, want.lengthMetres);
  EXPECT_EQ(got.sweeps, want.sweeps);
  EXPECT_EQ(got.average, want.average);
  EXPECT_EQ(got.quiet, want.quiet);
}

TEST(MeasureOptions, AcceptedCommandLinesGiveTheirOptions) {
  struct Row {
    Args args;
    std::function<void(MeasureOptions&)> want;  // changes from the start-up plan and no options
  };
  const std::vector<Row> rows{
      {{"reflection", "-o", "a.s1p"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Reflection;
         o.output = "a.s1p";
       }},
      {{"reflection", "--cal",  "c.cal", "--from", "1k",        "--to",   "2.5M", "--points", "51", "--linear", "--ms",
        "80",         "--port", "0",     "-o",     "dir/A.S2P", "--slot", "s22",  "--sweeps", "3",  "--quiet"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Reflection;
         o.calFile = "c.cal";
         o.output = "dir/A.S2P";
         o.twoPort = true;
         o.slot = ParameterSlot::s22;
         o.plan.freqMin = 1000;
         o.plan.freqMax = 2500000;
         o.plan.points = 51;
         o.plan.logSweep = false;
         o.plan.sampleCode = 13;
         o.portOverride = 0;
         o.sweeps = 3;
         o.quiet = true;
       }},
      {{"reflection", "-o", "-"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Reflection;
         o.output = "-";
       }},
      // Numbered files of averages.
      {{"transmission", "--average", "1k", "--sweeps", "2", "-o", "t.s2p"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Transmission;
         o.output = "t.s2p";
         o.twoPort = true;
         o.slot = ParameterSlot::s21;
         o.sweeps = 2;
         o.average = 1000;
       }},
      {{"reflection", "--slot", "s11", "-o", "-"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Reflection;
         o.output = "-";
         o.twoPort = true;
       }},
      {{"transmission", "-o", "-"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Transmission;
         o.output = "-";
         o.twoPort = true;
         o.slot = ParameterSlot::s21;
       }},
      {{"transmission", "-o", "t.s2p", "--slot=s12", "--length", "-1.5", "--from=10", "--to", "99999999.97", "-q"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Transmission;
         o.output = "t.s2p";
         o.twoPort = true;
         o.quiet = true;
         o.slot = ParameterSlot::s12;
         o.lengthMetres = -1.5;
         o.plan.freqMin = 10;
         o.plan.freqMax = 99999999.97;
       }},
      {{"calibrate", "short", "--cal", "x.cal", "--load", "49.9 2n 0.5p"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Calibrate;
         o.standard = Standard::Short;
         o.calFile = "x.cal";
         o.loadOverride = LoadValues{49.9, 2e-9, 0.5e-12};
       }},
      {{"calibrate", "--cal", "x", "load", "--ms", "5.12k", "--log", "--points", "801", "--to", "60M", "--load",
        " 1k\t9u 9n "},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Calibrate;
         o.standard = Standard::Load;
         o.calFile = "x";
         o.plan.sampleCode = 895;
         o.plan.points = 801;
         o.plan.freqMax = 60e6;
         o.loadOverride = LoadValues{1e3, 9e-6, 9e-9};
       }},
      {{"calibrate", "open", "--cal", "x", "--from", "50kHz", "--ms", "160", "--load", "0.1 0 0"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Calibrate;
         o.calFile = "x";
         o.plan.freqMin = 50000;
         o.plan.sampleCode = 27;
         o.loadOverride = LoadValues{0.1, 0, 0};
       }},
      // Every number takes the prefixes, m being milli: 500m metres.
      {{"transmission", "-o", "t.s2p", "--length", "500m", "--sweeps", "1k", "--to", "60000000000m"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Transmission;
         o.output = "t.s2p";
         o.twoPort = true;
         o.slot = ParameterSlot::s21;
         o.lengthMetres = 0.5;
         o.sweeps = 1000;
         o.plan.freqMax = 60e6;
       }},
      {{"normalize", "--cal", "n.cal", "--port", "255", "--points", "101"},
       [](MeasureOptions& o) {
         o.command = MeasureCommand::Normalize;
         o.calFile = "n.cal";
         o.portOverride = 255;
         o.plan.points = 101;
       }},
      {{"reflection", "--help", "--bogus"}, [](MeasureOptions&) {}},
      {{"-h"}, [](MeasureOptions&) {}},
      {{"help"}, [](MeasureOptions&) {}},
  };
  EXPECT_EQ(parse({"reflection", "--bogus", "--version"}).command, MeasureCommand::Version);
  for (const Row& row : rows) {
    MeasureOptions want;
    row.want(want);
    expectSame(parse(row.args), want, joined(row.args));
  }
}

TEST(MeasureOptions, RefusedCommandLinesSayWhy) {
  // Each message names what was refused and holds the facts to put it right.
  const std::string notFrequency = ": not a frequency; a frequency lies above 9 Hz and below 99999999.98 Hz";
  const std::string inductance = ": the inductance lies from 0 to below 9999.999n henries";
  const std::string capacitance = ": the capacitance lies from 0 to below 9999.999p farads";
  const std::vector<std::pair<Args, std::string>> rows{
      {{}, "no command: give calibrate, reflection, normalize, transmission, convert or analyze"},
      {{"measure", "-o", "a.s1p"},
       "measure: unknown command; the commands are calibrate, reflection, normalize, transmission, convert and analyze"},
      {{"--quiet", "reflection"},
       "--quiet: unknown command; the commands are calibrate, reflection, normalize, transmission, convert and analyze"},
      {{"reflection"}, "reflection needs -o NAME.s1p, -o NAME.s2p or -o -"},
      {{"transmission", "--cal", "c"}, "transmission needs -o NAME.s2p or -o -"},
      {{"calibrate", "--cal", "c"}, "calibrate needs a standard: open, short or load"},
      {{"calibrate", "open"}, "calibrate needs --cal FILE"},
      {{"normalize"}, "normalize needs --cal FILE"},
      {{"calibrate", "through", "--cal", "c"}, "calibrate through: the standards are open, short and load"},
      {{"calibrate", "open", "short", "--cal", "c"}, "short: unexpected argument"},
      {{"reflection", "-o", "a.s1p", "extra"}, "extra: unexpected argument"},
      {{"normalize", "--cal", "c", "-"}, "-: unexpected argument"},
      {{"reflection", "-o", "a.s1p", "--points", "57"},
       "--points 57: the instrument scans 51, 101, 201, 401 or 801 points"},
      {{"normalize", "--cal", "c", "--ms", "50"},
       "--ms 50: the instrument measures a point in 40, 80, 160, 320, 640, 1280, 2560 or 5120 ms"},
      {{"normalize", "--cal", "c", "--from", "9"}, "--from 9: 9 Hz is not above 9 Hz"},
      {{"normalize", "--cal", "c", "--to", "99999999.98"},
       "--to 99999999.98: 99999999.98 Hz is not below 99999999.98 Hz"},
      {{"normalize", "--cal", "c", "--to", "0.1G"}, "--to 0.1G: 100000000 Hz is not below"},
      // m is milli in a frequency too; whoever typed it meant mega.
      {{"normalize", "--cal", "c", "--from", "10m"},
       "--from 10m: 0.01 Hz is not above 9 Hz; m is milli: for megahertz write 10M"},
      {{"normalize", "--cal", "c", "--to", "60mHz"},
       "--to 60mHz: 0.06 Hz is not above 9 Hz; m is milli: for megahertz write 60MHz"},
      {{"normalize", "--cal", "c", "--from", "50K"}, "--from 50K" + notFrequency},
      {{"normalize", "--cal", "c", "--from", "1 k"}, "--from 1 k" + notFrequency},
      {{"normalize", "--cal", "c", "--from", "nan"}, "--from nan" + notFrequency},
      {{"normalize", "--cal", "c", "--from="}, "--from " + notFrequency},
      {{"reflection", "-o", "a.s1p", "--sweeps", "1.5"}, "--sweeps 1.5: the number of sweeps is a whole number"},
      {{"reflection", "-o", "a.s1p", "--points", "0.1k"}, "--points 0.1k: the instrument scans 51, 101"},
      {{"normalize", "--cal", "c", "--from", "60M", "--to", "1M"},
       "--from 60M --to 1M: the start frequency must lie below the stop frequency"},
      {{"normalize", "--cal", "c", "--to", "100"},
       "--from 200 --to 100: the start frequency must lie below the stop frequency"},
      {{"normalize", "--cal", "c", "--from", "5k", "--to", "5000"},
       "--from 5k --to 5000: the start frequency must lie below the stop frequency"},
      {{"normalize", "--cal", "c", "--port", "-1"},
       "--port -1: the port is n of /dev/ttyUSB<n>, a whole number from 0 to 255"},
      {{"normalize", "--cal", "c", "--port", "256"},
       "--port 256: the port is n of /dev/ttyUSB<n>, a whole number from 0 to 255"},
      {{"reflection", "-o", "a.s1p", "--sweeps", "0"},
       "--sweeps 0: the number of sweeps is a whole number from 1 to 9999"},
      {{"reflection", "-o", "a.s1p", "--sweeps", "10000"},
       "--sweeps 10000: the number of sweeps is a whole number from 1 to 9999"},
      {{"normalize", "--cal", "c", "--average", "0"},
       "--average 0: the number of sweeps to average is a whole number from 1 to 1000"},
      {{"reflection", "-o", "a.s1p", "--average", "1001"},
       "--average 1001: the number of sweeps to average is a whole number from 1 to 1000"},
      {{"reflection", "-o", "a.s1p", "--average", "many"}, "--average many: the number of sweeps to average"},
      {{"reflection", "-o", "a.s1p", "--average", "2.5"}, "--average 2.5: the number of sweeps to average"},
      {{"calibrate", "open", "--cal", "c", "--average", "4", "--average", "8"}, "--average: given twice"},
      {{"reflection", "--sweeps", "2", "-o", "-"}, "--sweeps 2: numbered files cannot go to standard output (-o -)"},
      {{"reflection", "-o", "a.txt"}, "-o a.txt: the output is NAME.s1p, NAME.s2p, NAME.csv, NAME.jsonl, or -"},
      {{"reflection", "-o", "dir/.csv"}, "-o dir/.csv: the output is NAME.s1p, NAME.s2p, NAME.csv"},
      {{"transmission", "-o", "a.s2"}, "-o a.s2: the output is NAME.s2p, NAME.csv, NAME.jsonl, or"},
      {{"reflection", "-o", "a.s1p", "--quantities", "r_ohm"}, "--quantities: a Touchstone file holds s-parameters"},
      {{"transmission", "-o", "a.jsonl", "--slot", "s12"}, "--slot: only a Touchstone two-port output"},
      {{"transmission", "-o", "t.s1p"}, "-o t.s1p: transmission writes a two-port file, NAME.s2p"},
      {{"reflection", "-o", "a.s2p", "--slot", "s21"}, "--slot s21: reflection writes s11 or s22"},
      {{"transmission", "-o", "a.s2p", "--slot", "s11"}, "--slot s11: transmission writes s21 or s12"},
      {{"reflection", "-o", "a.s1p", "--slot", "s22"}, "--slot: a slot needs a two-port output, -o NAME.s2p or -o -"},
      {{"calibrate", "open", "--cal", "c", "--slot", "s11"},
       "--slot: only reflection, transmission, convert and analyze take this option"},
      {{"reflection", "-o", "a.s1p", "--load", "50 0 0"}, "--load: only calibrate takes this option"},
      {{"reflection", "-o", "a.s1p", "--length", "1"}, "--length: only transmission takes this option"},
      {{"normalize", "--cal", "c", "-o", "a.s2p"}, "-o: only reflection, transmission and convert take this option"},
      {{"calibrate", "load", "--cal", "c", "--load", "50 0"},
       "--load \"50 0\": give R, L and C in one argument, such as \"50 0 0\" or \"49.9 2n 0.5p\""},
      {{"calibrate", "load", "--cal", "c", "--load", "0.099 0 0"},
       "--load R 0.099: the resistance lies above 0.099 and below 9999.999 ohms"},
      {{"calibrate", "load", "--cal", "c", "--load", "10k 0 0"},
       "--load R 10k: the resistance lies above 0.099 and below 9999.999 ohms"},
      {{"calibrate", "load", "--cal", "c", "--load", "50 10u 0"}, "--load L 10u" + inductance},
      {{"calibrate", "load", "--cal", "c", "--load", "50 -1n 0"}, "--load L -1n" + inductance},
      {{"calibrate", "load", "--cal", "c", "--load", "50 1x 0"}, "--load L 1x" + inductance},
      {{"calibrate", "load", "--cal", "c", "--load", "50 1m 2M"}, "--load L 1m" + inductance},
      {{"calibrate", "load", "--cal", "c", "--load", "50 0 10n"}, "--load C 10n" + capacitance},
      {{"calibrate", "load", "--cal", "c", "--load", "50 0 1m"}, "--load C 1m" + capacitance},
      {{"transmission", "--cal", "c", "-o", "t.s2p", "--length", "0"},
       "--length: the normalization already includes the cables; leave --length out with --cal"},
      {{"transmission", "-o", "t.s2p", "--length", "10000"},
       "--length 10000: the electrical length is in metres, from -999.9999 to 9999.9999"},
      {{"normalize", "--cal", "c", "--from", "1k", "--from", "2k"}, "--from: given twice"},
      {{"normalize", "--cal", "c", "--linear", "--log"}, "--log: give only one of --linear and --log"},
      {{"normalize", "--cal", "c", "--bogus"}, "--bogus: unknown option"},
      {{"normalize", "--cal", "c", "--from"}, "--from: the value is missing"},
      {{"normalize", "--cal", "c", "--quiet=1"}, "--quiet: takes no value"},
      {{"normalize", "--cal", ""}, "--cal: the calibration file's name is empty"},
      {{"convert", "-o", "a.csv"}, "convert needs the Touchstone file to read"},
      {{"convert", "a.s2p"}, "convert needs -o NAME.csv, -o NAME.jsonl, or -o - with --format"},
      {{"convert", "a.s2p", "b.s2p", "-o", "a.csv"}, "b.s2p: unexpected argument"},
      {{"convert", "a.s2p", "-o", "-"}, "-o -: standard output needs --format csv or --format jsonl"},
      {{"convert", "a.s2p", "-o", "a.txt"}, "-o a.txt: name a .csv or .jsonl file, or give --format"},
      {{"convert", "a.s2p", "-o", "a.csv", "--format", "touchstone"}, "convert writes csv or jsonl, not touchstone"},
      {{"convert", "a.s2p", "-o", "a.csv", "--format", "xml"},
       "--format xml: the formats are touchstone, csv and jsonl"},
      {{"convert", "a.s2p", "-o", "a.csv", "--slot", "s33"}, "--slot s33: convert reads s11, s21, s12 or s22"},
      {{"convert", "a.s1p", "-o", "a.csv", "--slot", "s22"}, "a.s1p is a one-port file: it holds s11 only"},
      {{"convert", "a.s1p", "-o", "a.csv", "--quantities", "gain_db"}, "a.s1p is a one-port file: it holds s11 only"},
      {{"convert", "a.s2p", "-o", "a.csv", "--quantities", "q", "--slot", "s12"},
       "--slot s12: reflection quantities come from s11 or s22"},
      {{"convert", "a.s2p", "-o", "a.csv", "--quantities", "delay_s", "--slot", "s22"},
       "--slot s22: transmission quantities come from s21 or s12"},
      {{"convert", "a.s2p", "-o", "a.csv", "--quantities", "gain_db,level_r_dbm"},
       "--quantities: level_r_dbm cannot come from a file"},
      {{"convert", "a.s2p", "-o", "a.csv", "--cal", "c"},
       "--cal: only calibrate, reflection, normalize and transmission"},
      {{"reflection", "-o", "a.s1p", "--quantities", "gain_db"},
       "--quantities gain_db: gain_db is a transmission quantity; reflection gives reflection quantities only"},
      {{"transmission", "-o", "a.s2p", "--quantities", "gain_db,", "--format", "csv"},
       "--quantities gain_db,: an empty name between commas"},
      {{"reflection", "-o", "a.s1p", "--format", "csv"}, "--format: -o a.s1p names a file of another format"},
  };
  for (const auto& [args, message] : rows) {
    const MeasureOptions o = parse(args);
    EXPECT_EQ(o.error.substr(0, message.size()), message) << joined(args);
    EXPECT_FALSE(o.ok()) << joined(args);
  }
}

TEST(MeasureOptions, UsageNamesEveryOptionAndExitStatus) {
  const std::string usage = measureUsage();
  for (std::string_view word :
       {"calibrate", "reflection", "normalize", "transmission", "convert",  "--quantities", "--format", "--cal",
        "-o",        "--slot",     "--from",    "--to",         "--points", "--linear",     "--log",    "--ms",
        "--port",    "--sweeps",   "--average", "--load",       "--length", "--quiet",      "--help"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  for (MeasureExit e : {MeasureExit::Ok, MeasureExit::BadArguments, MeasureExit::NoInstrument, MeasureExit::Silent,
                        MeasureExit::CannotWrite, MeasureExit::BadCalibration, MeasureExit::OtherPlan,
                        MeasureExit::BadInput, MeasureExit::Interrupted})
    EXPECT_NE(usage.find("\n  " + std::to_string(static_cast<int>(e)) + "  "), std::string::npos)
        << +static_cast<int>(e);
}

// The names of the chosen columns, for comparing with what a row expects.
std::string namesOf(const std::optional<QuantityChoice>& choice) {
  if (!choice) return "none";
  std::string names(kindName(choice->kind));
  for (const Quantity* q : chosenQuantities(*choice)) names += " " + std::string(q->name);
  return names;
}

TEST(MeasureOptions, ConvertTakesTheKindFromTheQuantitiesOrTheSlot) {
  struct Row {
    Args args;
    std::string quantities;
    ParameterSlot slot;
    OutputFormat format;
  };
  const std::string reflection = "reflection z_ohm z_deg r_ohm x_ohm ls_h cs_f q swr rl_db";
  const std::vector<Row> rows{
      {{"convert", "a.s2p", "-o", "a.csv"}, reflection, ParameterSlot::s11, OutputFormat::Csv},
      {{"convert", "a.s2p", "-o", "-", "--format", "jsonl", "--slot", "s12"},
       "transmission gain_db phase_deg delay_s",
       ParameterSlot::s12,
       OutputFormat::JsonLines},
      {{"convert", "-o", "x.JSONL", "a.S2P", "--quantities", "delay_s,gain"},
       "transmission delay_s gain",
       ParameterSlot::s21,
       OutputFormat::JsonLines},
      {{"convert", "a.s1p", "-o", "a.csv", "--quantities= q, ls_h"},
       "reflection q ls_h",
       ParameterSlot::s11,
       OutputFormat::Csv},
      {{"convert", "a.s2p", "--slot=s22", "-o", "a.txt", "--format=csv"},
       reflection,
       ParameterSlot::s22,
       OutputFormat::Csv},
      // Stored for the measuring commands as well.
      {{"transmission", "-o", "-", "--quantities", "level_a_dbm,s21_re", "--format", "csv"},
       "transmission level_a_dbm s21_re",
       ParameterSlot::s21,
       OutputFormat::Csv},
      {{"reflection", "-o", "a.s1p"}, reflection, ParameterSlot::s11, OutputFormat::Touchstone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(joined(row.args));
    const MeasureOptions o = parse(row.args);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(namesOf(o.quantities), row.quantities);
    EXPECT_EQ(o.slot, row.slot);
    EXPECT_EQ(o.format, row.format);
  }
  EXPECT_EQ(parse({"convert", "a.s1p", "-o", "b.csv"}).input, std::filesystem::path("a.s1p"));
  EXPECT_EQ(parse({"convert", "--quantities", "help"}).command, MeasureCommand::QuantityHelp);
  EXPECT_EQ(parse({"--quantities=help"}).command, MeasureCommand::QuantityHelp);
}

TEST(QuantityChoice, AMistypedNameGetsTheNearestOnlyWhenItIsClear) {
  const std::vector<std::pair<std::string_view, std::string>> rows{
      {"ls_hh", "ls_hh is no quantity; did you mean ls_h?"},
      {"LS_H", "LS_H is no quantity; did you mean ls_h?"},
      {"q,esr", "esr is no quantity; did you mean r_ohm?"},
      {"gain_dbm", "gain_dbm is no quantity; did you mean gain_db?"},
      {"s11", "s11 is no quantity"},  // it begins four names: none is offered
      {"rl", "rl is no quantity; did you mean rl_db?"},
      {"", "name one quantity or more, such as r_ohm,ls_h,q"},
  };
  for (const auto& [list, error] : rows) {
    const QuantityListReading r = chooseQuantities(list, std::nullopt);
    EXPECT_FALSE(r.choice) << list;
    EXPECT_EQ(r.error, "--quantities " + std::string(list) + ": " + error) << list;
  }
}

}  // namespace
}  // namespace vna
