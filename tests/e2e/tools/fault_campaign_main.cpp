// fault-campaign [impedance|transmission|measure ...]
//
// Runs impedance-analyzer and transmission-analyzer (each in an X11 window on
// a private Xvfb) and vna-measure against instrument-simulator through each
// fault of the table below, and prints one row per fault and program:
//
//   survived   the analyzer still runs and answers the pointer (the Start/Stop
//              button lights up under it); vna-measure ended by itself with
//              0, 3 or 4 and a "vna-measure:" message for a non-zero status,
//              and a run that ended 0 wrote what the device reads
//   recovered  after the fault is cleared another device is connected and
//              the next sweep measures it: the analyzers' two marker readouts
//              (|z| of a resistor; the gain of an attenuator, compared as a
//              linear ratio) and every point of a vna-measure run read it
//              within 0.1 %
//   files      the settings file "configu" and a measurement file put into
//              the working directory beforehand hold the same bytes after
//              (vna-measure writes its faulted run over that file: a failed
//              run must leave it as it was, one that ended 0 must leave a
//              whole file)
//
// The instrument is ideal (no bridge or path errors, no noise, A/R gain 1
// and phase 0 as in the default "configu"; its detector compresses as the
// hardware's does, which the programs undo), so an uncalibrated reading is
// the device's true value and 0.1 % is a real check: the readouts carry five
// or more significant digits. Each row's recovery
// device differs from the device measured before it, so a reading left on
// the screen from before the fault cannot pass.
//
// Exit status 0 when every row says yes, 1 otherwise, 2 for a bad argument.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "files/touchstone_reader.h"
#include "tests/e2e/e2e_harness.h"

namespace {

using namespace vna::e2e;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPoints = 51;
constexpr double kTolerance = 1e-3;

// ---------------------------------------------------------------- the fault table

struct Fault {
  std::string name;
  std::string inject;  // control line; empty: no instrument until `clear`
  std::string clear;   // control line that ends it
  double lasts;        // at most this long the analyzers live with it before it is cleared
};

const std::vector<Fault> kFaults{
    {"no instrument at start", "", "(simulator started)", 40},
    {"silent", "fault silence", "fault none", 15},
    {"reply one byte short", "fault short-reply", "fault none", 15},
    {"garbage bytes", "fault garbage", "fault none", 4},
    // One reply pauses half way for longer than the 7 s the programs wait.
    {"stall in mid-reply", "fault stall 9 1", "fault none", 15},
    {"unplugged mid-sweep", "fault unplug", "fault none", 15},
    // 3000 bytes before each of three replies: 1.6 s of bytes on the wire
    // where a point's reply takes 9 ms. (Without a count the instrument
    // queues 3000 more behind every acquisition the programs ask for, and
    // goes on sending that backlog long after "fault none".)
    {"flood of unexpected bytes", "fault extra-bytes 3000 3", "fault none", 4},
};

// The detector's compression stays: the programs undo it, as on the hardware.
const std::vector<std::string> kIdealInstrument{"--no-errors", "--noise", "0", "--ar-gain", "1", "--ar-phase", "0"};

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct Row {
  Row(std::string program, std::string fault) : program(std::move(program)), fault(std::move(fault)) {}
  std::string program, fault;
  bool survived = false, recovered = false, filesKept = false;
  std::string seen;
};

std::string yesNo(bool b) { return b ? "yes" : "no"; }

void printRow(const Row& r) {
  std::printf("%-21s %-26s %-8s %-9s %-6s %s\n", r.program.c_str(), r.fault.c_str(), yesNo(r.survived).c_str(),
              yesNo(r.recovered).c_str(), yesNo(r.filesKept).c_str(), r.seen.c_str());
  std::fflush(stdout);
}

std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "(missing)";
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A /dev/ttyUSB<n> that nothing serves, for the instrument that is not there yet.
int unusedPort() {
  for (int n = 60; n < 250; ++n) {
    const fs::path link = "/dev/ttyUSB" + std::to_string(n);
    if (!fs::exists(link) && !fs::is_symlink(link)) return n;
  }
  return -1;
}

// The working directory's files before the program starts: the settings
// naming the port, and a measurement saved earlier.
const std::string kKeptName = "kept.s1p";
const std::string kKeptText =
    "! saved before the campaign\r\n# HZ S DB R 50\r\n1000 -9.5424250943932 0\r\n2000 -9.5424250943932 0\r\n";

void prepareWorkDir(const fs::path& dir, int port) {
  vna::writePortNumber(dir / vna::kSettingsFileName, static_cast<std::int16_t>(port));
  std::ofstream(dir / kKeptName, std::ios::binary) << kKeptText;
}

// ---------------------------------------------------------------- the analyzers

struct Analyzer {
  std::string program;
  std::string title;                      // the row's program column
  std::function<std::string(int)> device; // the device of step k
  // What the marker readout of `row` says of the device of step k: the
  // relative error, or nothing when the row cannot be read.
  std::function<std::optional<double>(const Image&, int row, int k)> error;
};

// Numbers of a readout row, left to right.
std::vector<double> numbersOf(const std::string& text) {
  std::vector<double> numbers;
  std::istringstream words(text);
  for (std::string w; words >> w;) {
    char* end = nullptr;
    const double v = std::strtod(w.c_str(), &end);
    if (end != w.c_str() && *end == '\0') numbers.push_back(v);
  }
  return numbers;
}

const double kResistors[] = {100, 220, 150, 330, 68, 470, 82, 120};
const double kAttenuations[] = {6, 20, 10, 3, 14, 8, 12, 16};

Analyzer impedanceAnalyzer() {
  return {"impedance-analyzer", "impedance-analyzer",
          [](int k) { return "resistor " + number(kResistors[k % 8]); },
          [](const Image& image, int row, int k) -> std::optional<double> {
            // Frequency, then |z| (trace 1 of the opening mode) and arg z.
            const auto n = numbersOf(textAt(image, row, 1, 100));
            if (n.size() < 3) return std::nullopt;
            const double r = kResistors[k % 8];
            return std::fabs(n[n.size() - 2] - r) / r;
          }};
}

Analyzer transmissionAnalyzer() {
  return {"transmission-analyzer", "transmission-analyzer",
          [](int k) { return "attenuator " + number(kAttenuations[k % 8]); },
          [](const Image& image, int row, int k) -> std::optional<double> {
            // Frequency, then the gain in dB (trace 1 of the opening mode)
            // and the phase.
            const auto n = numbersOf(textAt(image, row, 1, 100));
            if (n.size() < 3) return std::nullopt;
            const double truth = std::pow(10.0, -kAttenuations[k % 8] / 20);
            return std::fabs(std::pow(10.0, n[n.size() - 2] / 20) - truth) / truth;
          }};
}

// Distinct texts of the places where the programs report trouble: row 10
// (the port at start-up) and rows 31 to 33 of the panel.
std::vector<std::string> troubleTexts(const Image& image) {
  std::vector<std::string> texts;
  for (const auto& [row, column, width] : {std::tuple{10, 20, 30}, {31, 103, 23}, {32, 103, 23}, {33, 103, 23}}) {
    const std::string t = trimmed(utf8(textAt(image, row, column, width)));
    if (!t.empty() && t.find('?') == std::string::npos) texts.push_back(t);
  }
  return texts;
}

struct Watch {
  std::vector<std::string> seen;  // in order, each once
  std::set<std::string> known;
  void add(const Image& image) {
    for (const auto& t : troubleTexts(image))
      if (known.insert(t).second) seen.push_back(t);
  }
  std::string joined() const {
    std::string s;
    for (const auto& t : seen) s += (s.empty() ? "\"" : ", \"") + t + "\"";
    return s.empty() ? "no message" : s;
  }
  bool saw(const std::string& words) const {
    for (const auto& t : seen)
      if (t.find(words) != std::string::npos) return true;
    return false;
  }
};

// The program answers the pointer: the Start/Stop button lights up under it
// (the idle loop and the acquisition both look at it).
bool responsive(const WindowDriver& window) {
  constexpr vna::Rgb kBlack{0, 0, 0};
  const auto lit = [&](const Image& image) { return !(image.at(850, 16 * 35) == kBlack); };
  window.moveMouse(400, 720);
  pause(0.3);
  window.moveMouse(850, 16 * 36 - 8);
  const bool answered = screenshotWhen(window, 8.0, lit).has_value();
  window.moveMouse(400, 720);
  return answered;
}

bool setFiftyOnePoints(const WindowDriver& window) {
  for (const char* points : {"201", "101", "51"}) {
    const auto shows = [&](const Image& image) { return trimmed(textAt(image, 21, 113, 6)) == points; };
    if (!clickItem(window, 900, 21, 3) || !screenshotWhen(window, 5.0, shows)) return false;
  }
  window.moveMouse(400, 720);
  return true;
}

// The program waits for the user after a time-out: idle, its messages done.
bool settledIdle(const Image& image) {
  return idle(image) && textAt(image, 32, 103, 22).find("wait (3s)") == std::string::npos;
}

class AnalyzerCampaign {
 public:
  AnalyzerCampaign(const VirtualDisplay& display, Analyzer a) : display_(display), a_(std::move(a)) {}

  std::vector<Row> run() {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < kFaults.size(); ++i) {
      Row row = i == 0 ? noInstrumentAtStart() : faultRow(kFaults[i], static_cast<int>(i));
      printRow(row);
      rows.push_back(row);
    }
    // Ended by the user: Esc, and the files once more.
    if (window_ && program_ && !program_->waitForExit(0.0)) {
      window_->key("space");
      screenshotWhen(*window_, 10.0, idle);
      window_->key("Escape");
    }
    const int status = program_ ? program_->waitForExit(10.0).value_or(-1) : -1;
    Row end{a_.title, "(ended with Esc)"};
    end.survived = status == 0;
    end.recovered = end.survived;
    end.filesKept = filesKept();
    end.seen = status >= 0 ? "exit status " + std::to_string(status) : "did not end on Esc";
    printRow(end);
    rows.push_back(end);
    return rows;
  }

 private:
  bool filesKept() {
    if (!program_) return false;
    const fs::path dir = program_->workDir();
    return fileBytes(dir / vna::kSettingsFileName) == settingsBytes_ && fileBytes(dir / kKeptName) == kKeptText;
  }

  void startProgram(int port) {
    window_.reset();
    program_.emplace(display_, programPath(a_.program),
                     [port](const std::string& dir) { prepareWorkDir(dir, port); });
    settingsBytes_ = fileBytes(fs::path(program_->workDir()) / vna::kSettingsFileName);
    window_ = program_->findWindow(20.0);
  }

  bool alive() { return program_ && !program_->waitForExit(0.0); }

  // Watches the screen for `seconds`, or until the program waits for the
  // user after a time-out it has reported.
  void watchFor(double seconds, Watch& watch) {
    const auto start = Clock::now();
    while (secondsSince(start) < seconds && alive()) {
      if (auto shot = window_->screenshot()) {
        watch.add(*shot);
        if (watch.saw("USB timeout") && settledIdle(*shot)) break;
      }
      pause(0.4);
    }
  }

  // After the clear: the device of step k connected, Start pressed whenever
  // the program waits for it (at most three times), until the instrument
  // has measured every point of a sweep since; then both markers are read.
  void recover(Row& row, int k, Watch& watch) {
    if (!instrument_->connect(a_.device(k))) {
      row.seen += "; the simulator did not take the device";
      return;
    }
    const auto first = instrument_->acquisitions();
    int starts = 0;
    const auto start = Clock::now();
    std::optional<Image> shot;
    while (secondsSince(start) < 60.0 && alive()) {
      shot = window_->screenshot();
      if (!shot) break;
      watch.add(*shot);
      const auto count = instrument_->acquisitions();
      if (first && count && *count - *first >= kPoints + 2 && scanning(*shot)) break;
      if (settledIdle(*shot) && starts < 3) {
        window_->key("space");
        ++starts;
        screenshotWhen(*window_, 5.0, [](const Image& i) { return !settledIdle(i); });
      }
      pause(0.5);
    }
    const auto count = instrument_->acquisitions();
    // The readout as it stands once the count was reached.
    if (shot) shot = window_->screenshot();
    if (!shot || !first || !count || *count - *first < kPoints + 2) {
      row.seen += "; no sweep after the clear (" + std::to_string(starts) + " starts)";
      return;
    }
    std::string reads;
    bool within = true;
    for (int marker : {45, 46}) {
      const auto e = a_.error(*shot, marker, k);
      within = within && e && *e <= kTolerance;
      reads += (reads.empty() ? "" : ", ") + (e ? formatted(*e) : std::string("unreadable"));
    }
    row.recovered = within;
    row.seen += "; " + a_.device(k) + " read " + reads + " off after " + std::to_string(starts) + " start" +
                (starts == 1 ? "" : "s");
  }

  static std::string formatted(double e) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f %%", 100 * e);
    return text;
  }

  // The program scanning the device of step k - 1 at 51 points, mid-sweep.
  bool scanningBefore(int k) {
    if (!alive() || !window_) return false;
    if (!instrument_->connect(a_.device(k - 1))) return false;
    if (auto shot = window_->screenshot(); shot && idle(*shot)) {
      window_->key("space");
      if (!screenshotWhen(*window_, 10.0, scanning)) return false;
    }
    pause(1.5);
    return true;
  }

  Row noInstrumentAtStart() {
    const Fault& f = kFaults[0];
    Row row{a_.title, f.name};
    const int port = unusedPort();
    startProgram(port);
    Watch watch;
    if (!window_) {
      row.seen = "no window: " + program_->output();
      return row;
    }
    // The splash, the first scan and its time-out.
    watchFor(f.lasts, watch);
    row.survived = alive() && responsive(*window_);
    row.seen = watch.joined();
    if (row.survived && !setFiftyOnePoints(*window_)) row.seen += "; meas/scan did not step to 51";
    instrument_.emplace(display_, a_.device(0), kIdealInstrument, port);
    if (!instrument_->ready()) {
      row.seen += "; " + instrument_->error();
      return row;
    }
    if (row.survived) recover(row, 0, watch);
    row.filesKept = filesKept();
    return row;
  }

  Row faultRow(const Fault& f, int k) {
    Row row{a_.title, f.name};
    if (!instrument_ || !instrument_->ready()) {
      row.seen = "no simulator";
      return row;
    }
    if (!scanningBefore(k)) {
      row.seen = "the program was not scanning before the fault";
      return row;
    }
    Watch watch;
    if (auto shot = window_->screenshot())
      for (const auto& t : troubleTexts(*shot)) watch.known.insert(t);
    if (!instrument_->command(f.inject)) row.seen = "the simulator did not take \"" + f.inject + "\"; ";
    watchFor(f.lasts, watch);
    row.survived = alive() && responsive(*window_);
    instrument_->command(f.clear);
    row.seen += watch.joined();
    if (row.survived) recover(row, k, watch);
    if (!alive()) row.seen += "; the program ended: " + program_->output();
    row.filesKept = filesKept();
    return row;
  }

  const VirtualDisplay& display_;
  Analyzer a_;
  std::optional<SimulatedInstrument> instrument_;
  std::optional<ProgramRun> program_;
  std::optional<WindowDriver> window_;
  std::string settingsBytes_;
};

// ---------------------------------------------------------------- vna-measure

struct MeasureRun {
  std::optional<int> status;  // nothing: still running after the time
  std::string output;
};

class MeasureCampaign {
 public:
  explicit MeasureCampaign(const VirtualDisplay& display) : display_(display) {}

  std::vector<Row> run() {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < kFaults.size(); ++i) {
      Row row = faultRow(kFaults[i], static_cast<int>(i));
      printRow(row);
      rows.push_back(row);
    }
    return rows;
  }

 private:
  static std::vector<std::string> args(const std::string& output) {
    return {"reflection", "--from", "1k", "--to", "10M", "--points", std::to_string(kPoints), "--log", "--quiet",
            "-o", output};
  }

  // The worst relative error of |z| in `file` against a resistor of `ohms`;
  // nothing when the file is not a whole 51-point measurement.
  static std::optional<double> worstError(const fs::path& file, double ohms) {
    const std::string text = fileBytes(file);
    const auto r = vna::readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                                       vna::TouchstoneColumns::OnePortS11);
    if (!r.ok() || !r.scan || r.scan->points() != kPoints) return std::nullopt;
    double worst = 0;
    for (int i = 0; i < kPoints; ++i) {
      const std::complex<double> s = r.scan->s1[static_cast<std::size_t>(i)];
      const double z = std::abs(50.0 * (1.0 + s) / (1.0 - s));
      worst = std::max(worst, std::fabs(z - ohms) / ohms);
    }
    return worst;
  }

  static std::string lastMessage(const std::string& output) {
    std::string last;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("vna-measure: ", 0) == 0) last = line.substr(13);
    return last;
  }

  // Each run in a directory of its own with "configu" naming the port and
  // the measurement saved earlier.
  ProgramRun::Prepare prepared(int port) const {
    return [port](const std::string& dir) { prepareWorkDir(dir, port); };
  }

  Row faultRow(const Fault& f, int k) {
    Row row{"vna-measure", f.name};
    const bool noInstrument = f.inject.empty();
    const int port = noInstrument ? unusedPort() : (instrument_ ? instrument_->port() : -1);
    const double before = kResistors[(k + 7) % 8], after = kResistors[k % 8];
    if (!noInstrument && !instrument_->connect("resistor " + number(before))) {
      row.seen = "the simulator did not take the device";
      return row;
    }

    // The faulted run writes over the measurement saved earlier.
    std::optional<ProgramRun> run;
    run.emplace(display_, programPath("vna-measure"), prepared(port), args(kKeptName));
    const fs::path dir = run->workDir();
    const std::string settings = fileBytes(dir / vna::kSettingsFileName);
    if (!noInstrument) {
      pause(2.5);  // 1.5 s for the converter, then about a second into the sweep
      if (!instrument_->command(f.inject)) row.seen = "the simulator did not take \"" + f.inject + "\"; ";
    }
    const std::optional<int> status = run->waitForExit(90.0);
    const std::string output = run->output();
    if (!noInstrument) instrument_->command(f.clear);

    const std::string kept = fileBytes(dir / kKeptName);
    const auto written = worstError(dir / kKeptName, before);
    row.seen += status ? "exit " + std::to_string(*status) : "still running after 90 s";
    if (const std::string m = lastMessage(output); !m.empty()) row.seen += ": \"" + m + "\"";
    bool survived = status && (*status == 0 || *status == 3 || *status == 4);
    if (survived && *status != 0) survived = !lastMessage(output).empty();
    if (survived && *status == 0) {
      survived = written && *written <= kTolerance;
      row.seen += written ? "; its file reads resistor " + number(before) + " " + percent(*written) + " off"
                          : "; its file is damaged";
    }
    row.survived = survived;
    // A failed run leaves the file as it was; one that ended 0 a whole file.
    const bool keptRight = status && (*status == 0 ? written.has_value() : kept == kKeptText);
    row.filesKept = keptRight && fileBytes(dir / vna::kSettingsFileName) == settings;
    run.reset();

    // Cleared: the instrument there (or started now), another device, a run.
    if (noInstrument) {
      instrument_.emplace(display_, "resistor " + number(after), kIdealInstrument, port);
      if (!instrument_->ready()) {
        row.seen += "; " + instrument_->error();
        return row;
      }
    } else if (!instrument_->connect("resistor " + number(after))) {
      row.seen += "; the simulator did not take the device";
      return row;
    }
    ProgramRun again(display_, programPath("vna-measure"), prepared(port), args("after.s1p"));
    const auto againStatus = again.waitForExit(60.0);
    const auto error = worstError(fs::path(again.workDir()) / "after.s1p", after);
    row.recovered = againStatus && *againStatus == 0 && error && *error <= kTolerance;
    row.seen += "; next run: exit " + (againStatus ? std::to_string(*againStatus) : std::string("(running)")) +
                (error ? ", resistor " + number(after) + " read " + percent(*error) + " off" : std::string(", no file"));
    row.filesKept = row.filesKept && fileBytes(fs::path(again.workDir()) / vna::kSettingsFileName) == settings &&
                    fileBytes(fs::path(again.workDir()) / kKeptName) == kKeptText;
    return row;
  }

  static std::string percent(double e) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f %%", 100 * e);
    return text;
  }

  const VirtualDisplay& display_;
  std::optional<SimulatedInstrument> instrument_;
};

}  // namespace

int main(int argc, char** argv) {
  std::set<std::string> chosen;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a != "impedance" && a != "transmission" && a != "measure") {
      std::fprintf(stderr, "usage: fault-campaign [impedance] [transmission] [measure]   (default: all three)\n");
      return 2;
    }
    chosen.insert(a);
  }
  if (chosen.empty()) chosen = {"impedance", "transmission", "measure"};
  if (geteuid() != 0) {
    std::fprintf(stderr, "fault-campaign: linking /dev/ttyUSB<n> to the simulator needs root\n");
    return 1;
  }
  if (const std::string missing = missingTools({"Xvfb", "xdotool", "xwd"}); !missing.empty()) {
    std::fprintf(stderr, "fault-campaign: needs %s (scripts/install-deps.sh installs them)\n", missing.c_str());
    return 1;
  }
  VirtualDisplay display;
  if (!display.ok()) {
    std::fprintf(stderr, "fault-campaign: %s\n", display.error().c_str());
    return 1;
  }
  std::printf("fault-campaign: an ideal simulated instrument, %d points per sweep, within %.1f %%\n", kPoints,
              100 * kTolerance);
  std::printf("%-21s %-26s %-8s %-9s %-6s %s\n", "program", "fault", "survived", "recovered", "files",
              "seen; read after the clear");
  std::vector<Row> rows;
  const auto add = [&](const std::vector<Row>& more) { rows.insert(rows.end(), more.begin(), more.end()); };
  if (chosen.count("impedance")) add(AnalyzerCampaign(display, impedanceAnalyzer()).run());
  if (chosen.count("transmission")) add(AnalyzerCampaign(display, transmissionAnalyzer()).run());
  if (chosen.count("measure")) add(MeasureCampaign(display).run());
  int no = 0;
  for (const Row& r : rows) no += !r.survived + !r.recovered + !r.filesKept;
  std::printf("fault-campaign: %zu rows, %d answers no\n", rows.size(), no);
  return no == 0 ? 0 : 1;
}
