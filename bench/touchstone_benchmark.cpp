// How long the viewers take to read Touchstone files, and to load and draw a
// very long one. Prints figures; asserts nothing (the machines are shared and
// noisy: medians and percentiles over many runs).
//
// Usage: touchstone_benchmark [reads per file, default 2000]
//
//  1. An 801-point two-port file as the analyzers save it (HZ, DB) and the
//     same scan as other tools write it (GHZ, RI): read from disk, parsed and
//     turned into the display's plan, many times. scikit-rf reads the same
//     files for comparison, when /usr/bin/python3 has it.
//  2. A 100,001-point two-port file picked from the list of each viewer on
//     the headless backend: wall and CPU time from the click to the first
//     pass of the window system after the file is on the screen.
//  3. vna-measure convert of an 801-point and a 100,001-point file, as a
//     script runs it (read, every reflection or transmission column, CSV or
//     JSON lines written whole): CPU time per run.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/measure_host.h"
#include "analyzer/measure_program.h"
#include "files/atomic_file.h"
#include "files/touchstone_reader.h"
#include "files/touchstone_writer.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "viewers/impedance_viewer.h"
#include "viewers/transmission_viewer.h"

namespace {

using namespace vna;
namespace fs = std::filesystem;

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Value at fraction q of the sorted samples (nearest rank).
double quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::lround(q * static_cast<double>(v.size() - 1)))];
}

// A linear scan from 1 kHz to 60 MHz whose values wander over the scales and
// wrap their angle, so that no two neighbouring lines are alike.
std::vector<TouchstonePoint> scanOf(int points, double shift) {
  std::vector<TouchstonePoint> scan;
  for (int i = 0; i < points; ++i) {
    scan.push_back({1e3 + (60e6 - 1e3) * i / (points - 1), -18 + 15 * std::sin(0.07 * i + shift),
                    std::remainder(3.7 * i + 40 * shift, 360.0)});
  }
  return scan;
}

// Two parameters under one name, as two saves of an analyzer leave it.
std::string twoSaves(FileOrigin origin, ParameterSlot first, ParameterSlot second, int points) {
  return *mergeS2p(s2pContent(origin, first, scanOf(points, 0.0)), second, scanOf(points, 1.3)).content;
}

// The same s21 and s12 as another tool writes them: GHz, real and imaginary.
std::string riGhzContent(int points) {
  const auto forward = scanOf(points, 0.0), reverse = scanOf(points, 1.3);
  const auto ri = [](const TouchstonePoint& p) {
    const double mag = std::pow(10.0, p.db / 20), rad = p.angleDeg * M_PI / 180;
    char text[64];
    std::snprintf(text, sizeof text, " %.9g %.9g", mag * std::cos(rad), mag * std::sin(rad));
    return std::string(text);
  };
  std::string out = "! another tool\n# GHZ S RI R 50\n";
  for (int i = 0; i < points; ++i) {
    char f[32];
    std::snprintf(f, sizeof f, "%.12g", forward[i].frequencyHz / 1e9);
    out += f + std::string(" 0 0") + ri(forward[i]) + ri(reverse[i]) + " 0 0\n";
  }
  return out;
}

[[noreturn]] void fail(const fs::path& file, const std::string& reason) {
  std::fprintf(stderr, "%s:%s\n", file.c_str(), reason.c_str());
  std::exit(1);
}

void write(const fs::path& file, const std::string& content) {
  if (const SaveResult saved = saveAtomically(file, content); !saved) fail(file, saved.reason());
}

// One read as a viewer does it, up to the plan; the seconds it took.
double timedRead(const fs::path& file) {
  const double t0 = wallSeconds();
  const ReadResult bytes = readWholeFile(file);
  if (!bytes.bytes) fail(file, bytes.reason);
  const TouchstoneReading reading = readTouchstone(
      {reinterpret_cast<const std::uint8_t*>(bytes.bytes->data()), bytes.bytes->size()},
      TouchstoneColumns::TwoPortS21S12);
  if (!reading.ok()) fail(file, reading.reason);
  SweepPlan plan;
  std::vector<double> frequency(static_cast<std::size_t>(reading.scan->points()));
  planForScan(*reading.scan, plan, frequency);
  return wallSeconds() - t0;
}

// scikit-rf's median and 10th percentile to read `file`, ms; -1 without
// scikit-rf, -2 when it could not read the file.
struct SkrfTimes {
  double median = -2, p10 = -2;
};
SkrfTimes skrfTimesMs(const fs::path& file, int reads) {
  const std::string script =
      "import sys, time, statistics\n"
      "try:\n    import skrf\nexcept ImportError:\n    print('no skrf')\n    sys.exit(0)\n"
      "path, n = sys.argv[1], int(sys.argv[2])\nskrf.Network(path)\nt = []\n"
      "for _ in range(n):\n"
      "    s = time.perf_counter(); skrf.Network(path); t.append(time.perf_counter() - s)\n"
      "t.sort()\nprint('ms', statistics.median(t) * 1e3, t[len(t) // 10] * 1e3)\n";
  const std::string command = "/usr/bin/python3 -c \"" + script + "\" '" + file.string() + "' " +
                              std::to_string(reads) + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  SkrfTimes times;
  if (!pipe) return times;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    if (std::string_view(line).starts_with("no skrf")) times.median = -1;
    std::sscanf(line, "ms %lf %lf", &times.median, &times.p10);
  }
  ::pclose(pipe);
  return times;
}

void readingFigures(const fs::path& file, const char* label, int reads) {
  (void)timedRead(file);  // the file in the page cache, the allocator warm
  std::vector<double> ms;
  for (int r = 0; r < reads; ++r) ms.push_back(timedRead(file) * 1e3);
  const double ours = quantile(ms, 0.5);
  std::printf("%-22s ours   median %.3f ms  p10 %.3f  p90 %.3f  (%d reads, %zu bytes)\n", label, ours,
              quantile(ms, 0.1), quantile(ms, 0.9), reads, static_cast<std::size_t>(fs::file_size(file)));
  const int skrfReads = std::max(20, reads / 10);
  const SkrfTimes theirs = skrfTimesMs(file, skrfReads);
  if (theirs.median < 0) {
    std::printf("%-22s skrf   not compared: %s\n", label,
                theirs.median == -1 ? "/usr/bin/python3 has no scikit-rf" : "scikit-rf could not read the file");
    return;
  }
  // The machine is shared and slows down in phases: the 10th percentiles of
  // both, their fastest reads but for outliers, are the fairer comparison.
  std::printf("%-22s skrf   median %.3f ms  p10 %.3f  (%d reads)   skrf/ours %.1f (medians), %.1f (p10)\n", label,
              theirs.median, theirs.p10, skrfReads, theirs.median / ours, theirs.p10 / quantile(ms, 0.1));
}

// Runs `then` at the first pass of the program on which the screen shows
// `text` at (row, column), looking every 10 virtual ms.
void whenShown(HeadlessBackend& backend, const Screen& screen, int row, int column, std::string text,
               std::function<void()> then) {
  backend.actionAt(backend.now() + 0.01, [&backend, &screen, row, column, text, then] {
    const bool shown = screen.textAt(row, column, static_cast<int>(text.size())) == text;
    shown ? then() : whenShown(backend, screen, row, column, text, then);
  });
}

constexpr int kLongScan = 100'001;

struct LoadTimes {
  double wall = -1, cpu = -1;
  int points = 0;  // as the viewer's plan holds them once the file is shown
};

// A user picks the only file of `directory` from the viewer's list; timed from
// the click to the program's first look at its input once the file is shown.
template <typename Viewer>
LoadTimes loadAndDraw(const fs::path& directory) {
  HeadlessBackend backend(60.0);
  Screen screen{backend};
  Viewer viewer(screen, directory);
  LoadTimes start, times;
  whenShown(backend, screen, 20, 8, "   Choose the file to be displayed", [&] {
    const double t = backend.now();
    backend.clickAt(t, 600, 24);  // the first name of the list
    backend.actionAt(t, [&] { start = {wallSeconds(), cpuSeconds()}; });
    whenShown(backend, screen, kParameterRow, kPanelColumn + 2, "Parameter:", [&] {
      times = {wallSeconds() - start.wall, cpuSeconds() - start.cpu, viewer.plan().points};
      backend.closeAt(backend.now());
    });
  });
  if (viewer.run() != 0 || times.wall < 0) std::printf("the file was never shown\n");
  return times;
}

template <typename Viewer>
void viewerFigures(const fs::path& directory, const char* label, int runs) {
  std::vector<double> wall, cpu;
  std::printf("%-22s", label);
  for (int r = 0; r < runs; ++r) {
    const LoadTimes t = loadAndDraw<Viewer>(directory);
    wall.push_back(t.wall * 1e3);
    cpu.push_back(t.cpu * 1e3);
    std::printf(" %.1f/%.1f", wall.back(), cpu.back());
    if (t.points != kLongScan) std::printf(" (%d points shown)", t.points);
  }
  std::printf(" ms wall/CPU;  median wall %.1f ms, CPU %.1f ms\n", quantile(wall, 0.5), quantile(cpu, 0.5));
}

// One convert run in `directory`, as the command line gives it; CPU seconds.
double timedConvert(const fs::path& directory, const std::vector<std::string_view>& args) {
  static SystemHost host;
  MeasureSetting setting{directory, {}, host, [] { return false; }};
  const MeasureOptions options = parseMeasureOptions(args);
  const double t0 = cpuSeconds();
  if (const int status = runMeasure(options, setting); status != 0) std::exit(status);
  return cpuSeconds() - t0;
}

void convertFigures(const fs::path& directory, const char* label, const std::vector<std::string_view>& args, int runs) {
  (void)timedConvert(directory, args);
  std::vector<double> ms;
  for (int r = 0; r < runs; ++r) ms.push_back(timedConvert(directory, args) * 1e3);
  std::printf("%-34s CPU median %.3f ms  p10 %.3f  p90 %.3f  (%d runs)\n", label, quantile(ms, 0.5), quantile(ms, 0.1),
              quantile(ms, 0.9), runs);
}

}  // namespace

int main(int argc, char** argv) {
  const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  char pattern[] = "/tmp/vna-touchstone-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const fs::path work = pattern;

  const fs::path db = work / "read" / "filter801.s2p", ri = work / "read" / "other801.s2p";
  fs::create_directories(db.parent_path());
  write(db, twoSaves(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, ParameterSlot::s12, 801));
  write(ri, riGhzContent(801));
  readingFigures(db, "801 points HZ DB", reads);
  readingFigures(ri, "801 points GHZ RI", reads);

  constexpr int kRuns = 5;
  const fs::path transmission = work / "transmission", impedance = work / "impedance";
  for (const fs::path& d : {transmission, impedance}) fs::create_directories(d);
  write(transmission / "filter100001.s2p",
        twoSaves(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, ParameterSlot::s12, kLongScan));
  write(impedance / "ports100001.s2p",
        twoSaves(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, ParameterSlot::s22, kLongScan));
  std::printf("load + draw of 100,001 points, %d runs:\n", kRuns);
  viewerFigures<TransmissionViewer>(transmission, "transmission-viewer", kRuns);
  viewerFigures<ImpedanceViewer>(impedance, "impedance-viewer", kRuns);

  const fs::path convert = work / "convert";
  fs::create_directories(convert);
  write(convert / "filter801.s2p",
        twoSaves(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, ParameterSlot::s12, 801));
  write(convert / "ports801.s2p", twoSaves(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, ParameterSlot::s22, 801));
  write(convert / "filter100001.s2p",
        twoSaves(FileOrigin::transmissionAnalyzer, ParameterSlot::s21, ParameterSlot::s12, kLongScan));
  write(convert / "ports100001.s2p",
        twoSaves(FileOrigin::impedanceAnalyzer, ParameterSlot::s11, ParameterSlot::s22, kLongScan));
  const std::string_view everyReflection =
      "s11_re,s11_im,s11_db,s11_deg,z_ohm,z_deg,r_ohm,x_ohm,g_s,b_s,ls_h,cs_f,rp_ohm,xp_ohm,lp_h,cp_f,q,d,swr,rl_db";
  const std::string_view everyTransmission = "s21_re,s21_im,gain_db,gain,phase_deg,delay_s";
  const int convertRuns = std::max(20, reads / 20);
  std::printf("vna-measure convert, every column:\n");
  convertFigures(convert, "801 points reflection CSV",
                 {"convert", "ports801.s2p", "-o", "a.csv", "--quantities", everyReflection}, convertRuns);
  convertFigures(convert, "801 points transmission JSON lines",
                 {"convert", "filter801.s2p", "-o", "a.jsonl", "--slot", "s21", "--quantities", everyTransmission},
                 convertRuns);
  convertFigures(convert, "100,001 points reflection CSV",
                 {"convert", "ports100001.s2p", "-o", "b.csv", "--quantities", everyReflection}, kRuns);
  convertFigures(convert, "100,001 points transmission JSON l.",
                 {"convert", "filter100001.s2p", "-o", "b.jsonl", "--slot", "s21", "--quantities", everyTransmission},
                 kRuns);
  fs::remove_all(work);
  return 0;
}
