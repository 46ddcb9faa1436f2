// What "vna-measure --help" prints, and the values the instrument offers as
// its messages name them.
#include "analyzer/measure_options.h"

#include <string>

namespace vna {
namespace {

// "a, b, c or d" of the values a cycle of the analyzers steps through.
template <typename Each>
std::string alternatives(int first, int (*next)(int, Step), Each shown) {
  std::string text;
  int value = first;
  do {
    const int following = next(value, Step::Next);
    if (!text.empty()) text += following == first ? " or " : ", ";
    text += std::to_string(shown(value));
    value = following;
  } while (value != first);
  return text;
}

// The exit statuses, in the order a script meets them; one row each.
struct StatusLine {
  MeasureExit status;
  std::string_view meaning;  // the lines after the first start with 7 blanks, under the first
};

constexpr StatusLine kStatuses[] = {
    {MeasureExit::Ok, "done: every sweep was measured and written"},
    {MeasureExit::BadArguments, "the command line was refused; the instrument was not touched"},
    {MeasureExit::NoInstrument,
     "the serial port could not be opened (no instrument there, or not yours), or\n"
     "       it vanished during the sweep and could not be opened again"},
    {MeasureExit::Silent,
     "the instrument did not answer, or answered with incomplete or damaged\n"
     "       replies, at one point twice (the port was reopened in between)"},
    {MeasureExit::CannotWrite,
     "a folder to write into is missing or not writable (found before the first\n"
     "       sweep), or a file could not be written; an existing file is unchanged"},
    {MeasureExit::BadCalibration, "the calibration file is unreadable, lacks a standard or has another plan"},
    {MeasureExit::OtherPlan,
     "the existing .s2p file to merge into holds another plan (found before the\n"
     "       first sweep); nothing was measured and the file is unchanged"},
    {MeasureExit::BadInput,
     "convert, analyze: the file to read is missing or unreadable, or no\n"
     "       Touchstone file the viewers show (the message says why); nothing was\n"
     "       written"},
    {MeasureExit::NoAnswer,
     "analyze: the circuit asked for does not fit the sweep (or no circuit does),\n"
     "       or the transmission holds no filter figures; the output says why"},
    {MeasureExit::Interrupted,
     "stopped by Ctrl+C or SIGTERM: the files of finished sweeps stay (the message\n"
     "       names them), the sweep under way is not written"},
};

std::string statusLines() {
  std::string text;
  for (const StatusLine& line : kStatuses) {
    std::string number = std::to_string(static_cast<int>(line.status));
    number.resize(5, ' ');
    text += "  " + number + std::string(line.meaning) + "\n";
  }
  return text;
}

}  // namespace

std::string pointsText() {
  return alternatives(51, stepPoints, [](int n) { return n; });
}
std::string msText() {
  return alternatives(6, stepSampleCode, msPerMeasurement);
}

std::string measureUsage() {
  return "Usage:\n"
         "  vna-measure calibrate open|short|load --cal FILE [plan] [--load \"R L C\"]\n"
         "  vna-measure reflection [--cal FILE] [plan] -o NAME.s1p\n"
         "  vna-measure reflection [--cal FILE] [plan] -o NAME.s2p [--slot s11|s22]\n"
         "  vna-measure normalize --cal FILE [plan]\n"
         "  vna-measure transmission [--cal FILE] [plan] [--length METRES] -o NAME.s2p\n"
         "                           [--slot s21|s12]\n"
         "  vna-measure reflection|transmission ... -o NAME.csv | -o NAME.jsonl\n"
         "                           | -o - --format csv|jsonl  [--quantities LIST]\n"
         "  vna-measure convert IN -o OUT [--slot s11|s21|s12|s22] [--quantities LIST]\n"
         "                      [--format csv|jsonl]\n"
         "  vna-measure analyze FILE [--as auto|resistor|capacitor|inductor|rlc-series|\n"
         "                      rlc-parallel|crystal|filter] [--slot S] [--json]\n"
         "                      [--report OUT.png|OUT.svg|OUT.pdf]\n"
         "  vna-measure --quantities help\n"
         "\n"
         "Measures with the instrument, without a window, for scripts.\n"
         "  calibrate     measures the standard now connected and stores it in the\n"
         "                calibration file (made if missing) for reflection\n"
         "  reflection    measures the reflection, corrected by the open, short and load\n"
         "                of --cal when given\n"
         "  normalize     measures the through now connected and stores it in --cal\n"
         "  transmission  measures the transmission, normalized by the through of --cal\n"
         "                when given\n"
         "  convert       writes the quantities of a Touchstone file's points (any file\n"
         "                the viewers read, on its own reference) as CSV or JSON lines;\n"
         "                the instrument is not touched\n"
         "  analyze       finds the resonances and fits the equivalent circuit of a\n"
         "                reflection (values with their uncertainties), or reads the\n"
         "                figures of a filter from a transmission; --report draws a\n"
         "                page with the curves, a Smith chart and the results\n"
         "\n"
         "Plan (default: the analyzers' start-up plan, 401 log points from 200 Hz\n"
         "to 60 MHz at 40 ms per point):\n"
         "  --from HZ --to HZ    the sweep's range, above 9 Hz and below 99999999.98 Hz,\n"
         "                       such as 1k, 2.5M or 60M\n"
         "  --points N           " +
         pointsText() +
         "\n"
         "  --linear | --log     the spacing of the points\n"
         "  --ms MS              time per point: " +
         msText() +
         "\n"
         "  --port N             the instrument at /dev/ttyUSB<N> (default: the settings\n"
         "                       file's)\n"
         "  --sweeps K           K sweeps one after the other, into NAME-0001.s1p,\n"
         "                       NAME-0002.s1p, ...\n"
         "  --average N          each point (each standard, the through) the mean of N\n"
         "                       sweeps back to back, 1 to 1000 (default 1); with\n"
         "                       --sweeps K, K files of N sweeps each\n"
         "\n"
         "Options:\n"
         "  --cal FILE           the calibration file; its plan must be the sweep's\n"
         "  -o NAME              the file to write: Touchstone (.s1p, .s2p), CSV (.csv) or\n"
         "                       JSON lines (.jsonl); - writes to standard output\n"
         "                       (Touchstone unless --format says otherwise; one-port\n"
         "                       for reflection unless --slot is given)\n"
         "  --slot S             where a two-port file holds the result (default s11, s21);\n"
         "                       for convert, the parameter read (default s11, or s21 for\n"
         "                       transmission quantities)\n"
         "  --quantities LIST    the columns of CSV and JSON lines, such as r_ohm,ls_h,q\n"
         "                       (--quantities help lists them); on standard output each\n"
         "                       point's line goes out as soon as the point is final\n"
         "  --format F           touchstone, csv or jsonl (default: by -o's extension)\n"
         "  --load \"R L C\"       the reference load in ohms, henries and farads, such as\n"
         "                       \"49.9 2n 0.5p\" (default: the settings file's)\n"
         "  --length METRES      the electrical length of the cable, without --cal only\n"
         "  --quiet, -q          no progress on standard error\n"
         "  --help, -h           this text\n"
         "  --version            the version and the licence\n"
         "\n"
         "Numbers take the SI prefixes p, n, u, m, k, M and G; m is always milli and M\n"
         "mega (10m is 0.01, 10M is 10000000).\n"
         "Without --cal the values are uncorrected: the instrument's own errors are in\n"
         "them. Every file written says in comment lines (!) when, with which plan and\n"
         "which calibration it was measured.\n"
         "With --average N of 2 or more each quantity of a CSV or JSON-lines output\n"
         "gets its standard uncertainty (NAME_u): from the spread of the point's N\n"
         "sweeps, and of the calibration's averaged standards, carried through the\n"
         "correction and the quantity's formula. It leaves out the reference load's\n"
         "tolerance, drift, and the instrument's errors the correction cannot remove.\n"
         "\n"
         "Exit status:\n" +
         statusLines();
}

}  // namespace vna
