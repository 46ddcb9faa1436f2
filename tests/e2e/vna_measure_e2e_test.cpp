// vna-measure as a script uses it, against the real instrument-simulator on
// a pseudo-terminal: calibrate with open, short and a 50 ohm load, measure a
// series 100 ohm and 1 uH; normalize on a through and measure a low-pass;
// and each way a run can fail (a two-port file of another plan among them),
// with its message, its status and no file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analyzer/measure_options.h"
#include "files/touchstone_reader.h"
#include "platform/program_version.h"
#include "simulator/device_models.h"
#include "tests/e2e/e2e_harness.h"

namespace vna::e2e {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error
};

class VnaMeasure : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = missingTools({"Xvfb"});
    if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs it)";
    if (::geteuid() != 0) GTEST_SKIP() << "linking /dev/ttyUSB<n> to the simulator needs root";
    char dir[] = "/tmp/vna-measure-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    work_ = dir;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!work_.empty()) fs::remove_all(work_, ignored);
  }

  // vna-measure with `args`, in a directory of its own (no "configu": the
  // port comes from --port); paths in `args` are made absolute by the caller.
  Outcome measure(std::vector<std::string> args, double timeout = 120) {
    ProgramRun run(display_, programPath("vna-measure"), {}, args);
    const std::optional<int> status = run.waitForExit(timeout);
    return {status.value_or(-1), run.output()};
  }
  std::string at(const std::string& name) const { return (work_ / name).string(); }
  std::string textOf(const std::string& name) const {
    std::ifstream in(work_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::vector<std::string> plan(int port) {
    return {"--port", std::to_string(port), "--from", "1k", "--to", "10M", "--points", "51", "--log", "--quiet"};
  }
  static std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  TouchstoneScan read(const std::string& name, TouchstoneColumns columns) const {
    std::ifstream in(work_ / name, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const TouchstoneReading r = readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, columns);
    EXPECT_TRUE(r.ok()) << name << r.reason;
    return r.scan.value_or(TouchstoneScan{});
  }

  // Calibrates over the plan with the three standards, then measures the
  // series circuit; the worst relative error of its impedance.
  double calibratedSeriesError(const std::vector<std::string>& simulatorOptions) {
    SimulatedInstrument instrument(display_, "open", simulatorOptions);
    EXPECT_TRUE(instrument.ready()) << instrument.error();
    const auto calibrate = [&](const std::string& standard, const std::string& device) {
      EXPECT_TRUE(instrument.connect(device));
      const Outcome r = measure(with({"calibrate", standard, "--cal", at("cal.txt")}, plan(instrument.port())));
      EXPECT_EQ(r.status, 0) << standard << ": " << r.output;
    };
    calibrate("open", "open");
    calibrate("short", "short");
    calibrate("load", "load 50");
    EXPECT_TRUE(instrument.connect("rlc-series 100 1u 0"));
    const Outcome r = measure(with({"reflection", "--cal", at("cal.txt"), "-o", at("dut.s1p")}, plan(instrument.port())));
    EXPECT_EQ(r.status, 0) << r.output;
    const TouchstoneScan scan = read("dut.s1p", TouchstoneColumns::OnePortS11);
    EXPECT_EQ(scan.points(), 51);
    double worst = 0;
    for (int i = 0; i < scan.points(); ++i) {
      const auto k = static_cast<std::size_t>(i);
      const std::complex<double> truth(100, 2 * M_PI * scan.frequency[k] * 1e-6);
      const std::complex<double> z = 50.0 * (1.0 + scan.s1[k]) / (1.0 - scan.s1[k]);
      worst = std::max(worst, std::abs(z - truth) / std::abs(truth));
    }
    // scikit-rf, Debian's, reads the same impedances from the file.
    const CommandResult skrf = runCommand(
        {"/usr/bin/python3", "-c",
         "import sys, numpy, skrf\n"
         "n = skrf.Network(sys.argv[1])\n"
         "s, z0 = n.s[:, 0, 0], n.z0[:, 0]\n"  // its own .z needs an older numpy
         "z = z0 * (1 + s) / (1 - s)\n"
         "truth = 100 + 2j * numpy.pi * n.f * 1e-6\n"
         "print('worst', max(abs(z - truth) / abs(truth)))\n",
         at("dut.s1p")},
        "", 60);
    double skrfWorst = -1;
    if (const auto found = skrf.output.find("worst "); found != std::string::npos)
      skrfWorst = std::stod(skrf.output.substr(found + 6));
    EXPECT_GE(skrfWorst, 0) << skrf.output;
    EXPECT_NEAR(skrfWorst, worst, 1e-6 + 1e-3 * worst);
    return worst;
  }

  VirtualDisplay display_;  // the simulator's harness runs its programs on one
  fs::path work_;
};

TEST_F(VnaMeasure, CalibratedReflectionGivesTheTrueImpedance) {
  ASSERT_TRUE(display_.ok()) << display_.error();
  const double ideal = calibratedSeriesError({"--no-errors", "--noise", "0"});
  EXPECT_LT(ideal, 1e-4);
  // The instrument's own errors and its default noise, calibrated away.
  const double real = calibratedSeriesError({});
  EXPECT_LT(real, 5e-3);
  std::printf("worst impedance error: %.5f %% ideal instrument, %.4f %% with errors and noise\n", 100 * ideal,
              100 * real);
}

TEST_F(VnaMeasure, NormalizedTransmissionGivesTheFiltersResponse) {
  ASSERT_TRUE(display_.ok()) << display_.error();
  SimulatedInstrument instrument(display_, "through", {"--no-errors", "--noise", "0"});
  ASSERT_TRUE(instrument.ready()) << instrument.error();
  const std::vector<std::string> linear = {"--port", std::to_string(instrument.port()), "--from", "1M", "--to", "51M",
                                           "--points", "51", "--linear", "--quiet"};
  const Outcome normalize = measure(with({"normalize", "--cal", at("cal.txt")}, linear));
  ASSERT_EQ(normalize.status, 0) << normalize.output;
  ASSERT_TRUE(instrument.connect("lowpass-lc 10M 5"));
  const Outcome r = measure(with({"transmission", "--cal", at("cal.txt"), "-o", at("filter.s2p")}, linear));
  ASSERT_EQ(r.status, 0) << r.output;
  const TouchstoneScan scan = read("filter.s2p", TouchstoneColumns::TwoPortS21S12);
  ASSERT_EQ(scan.points(), 51);
  const Device filter = Device::lowpassLc(10e6, 5);
  double worst = 0;
  for (int i = 0; i < scan.points(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    const double expected = 20 * std::log10(std::abs(responseAt(filter, scan.frequency[k])));
    if (expected < -60) continue;  // below the noise floor of the converter
    const double db = 20 * std::log10(std::abs(scan.s1[k]));
    EXPECT_NEAR(db, expected, 0.01) << "at " << scan.frequency[k] << " Hz";
    worst = std::max(worst, std::fabs(db - expected));
  }
  std::printf("worst s21 deviation down to -60 dB: %.5f dB\n", worst);
  // The file says how it was measured, in comment lines the reader passes over.
  const std::string text = textOf("filter.s2p");
  for (const std::string& fact :
       std::vector<std::string>{"\r\n! s21 measured 20", " by vna-measure " + std::string(softwareVersion()) + "\r\n",
                                "\r\n! s21 plan: 51 linear points from 1000000 Hz to 51000000 Hz at 40 ms per point\r\n",
                                "\r\n! s21 calibration: " + at("cal.txt") + ", holding through\r\n",
                                "\r\n! slots measured: s21; s11, s12 and s22 hold 0.0 0.0 as placeholders"})
    EXPECT_NE(text.find(fact), std::string::npos) << fact << "\n" << text.substr(0, 600);
  // s12 merged under the same name: the file says how each was measured and
  // which slots hold values, and scikit-rf reads it with its two placeholders.
  const Outcome reverse =
      measure(with({"transmission", "--cal", at("cal.txt"), "--slot", "s12", "-o", at("filter.s2p")}, linear));
  ASSERT_EQ(reverse.status, 0) << reverse.output;
  const std::string merged = textOf("filter.s2p");
  for (const std::string& fact : std::vector<std::string>{"\r\n! s21 plan: 51 linear", "\r\n! s12 plan: 51 linear",
                                                          "\r\n! s12 calibration: " + at("cal.txt"),
                                                          "\r\n! slots measured: s21 and s12; s11 and s22 hold 0.0 0.0"})
    EXPECT_NE(merged.find(fact), std::string::npos) << fact << "\n" << merged.substr(0, 900);
  EXPECT_EQ(read("filter.s2p", TouchstoneColumns::TwoPortS21S12).points(), 51);
  const CommandResult skrf =
      runCommand({"/usr/bin/python3", "-c", "import sys, skrf\nprint('points', len(skrf.Network(sys.argv[1]).f))",
                  at("filter.s2p")},
                 "", 60);
  EXPECT_NE(skrf.output.find("points 51"), std::string::npos) << skrf.output;
  // Written to standard output as well, exactly as into a file.
  const Outcome piped = measure(with({"transmission", "--cal", at("cal.txt"), "-o", "-"}, linear));
  EXPECT_EQ(piped.status, 0);
  EXPECT_NE(piped.output.find("# HZ S DB R 50\r\n"), std::string::npos);
}

TEST_F(VnaMeasure, EachFailureSaysWhyWithItsStatusAndLeavesNoFile) {
  ASSERT_TRUE(display_.ok()) << display_.error();
  const auto status = [](MeasureExit e) { return static_cast<int>(e); };
  // A bad option value and a point count the instrument cannot scan.
  const Outcome bad = measure({"reflection", "--ms", "50", "-o", at("a.s1p")});
  EXPECT_EQ(bad.status, status(MeasureExit::BadArguments));
  EXPECT_NE(bad.output.find("--ms"), std::string::npos) << bad.output;
  const Outcome points = measure({"reflection", "--points", "57", "-o", at("a.s1p")});
  EXPECT_EQ(points.status, status(MeasureExit::BadArguments));
  EXPECT_NE(points.output.find("57"), std::string::npos) << points.output;
  // No instrument on the port.
  const Outcome none = measure({"reflection", "--port", "249", "-o", at("a.s1p")});
  EXPECT_EQ(none.status, status(MeasureExit::NoInstrument)) << none.output;
  EXPECT_NE(none.output.find("/dev/ttyUSB249"), std::string::npos) << none.output;

  SimulatedInstrument instrument(display_, "short", {"--no-errors", "--noise", "0"});
  ASSERT_TRUE(instrument.ready()) << instrument.error();
  ASSERT_EQ(measure(with({"calibrate", "open", "--cal", at("cal.txt")}, plan(instrument.port()))).status, 0);
  // A calibration of another plan.
  const Outcome other = measure({"calibrate", "short", "--cal", at("cal.txt"), "--port", std::to_string(instrument.port()),
                             "--points", "101", "--quiet"});
  EXPECT_EQ(other.status, status(MeasureExit::BadCalibration));
  EXPECT_NE(other.output.find("51"), std::string::npos) << other.output;
  // A calibration without all its standards.
  const Outcome lacking = measure(with({"reflection", "--cal", at("cal.txt"), "-o", at("a.s1p")}, plan(instrument.port())));
  EXPECT_EQ(lacking.status, status(MeasureExit::BadCalibration)) << lacking.output;
  // A two-port file of another plan: refused before the sweep, kept as it was.
  const std::string onePoint = "# HZ S DB R 50\r\n1000 -1 10 0.0 0.0 0.0 0.0 0.0 0.0 \r\n";
  std::ofstream(work_ / "two.s2p", std::ios::binary) << onePoint;
  const Outcome merge = measure(with({"reflection", "--slot", "s22", "-o", at("two.s2p")}, plan(instrument.port())));
  EXPECT_EQ(merge.status, status(MeasureExit::OtherPlan)) << merge.output;
  EXPECT_NE(merge.output.find("(1 point in the file, 51 in the scan)"), std::string::npos) << merge.output;
  std::stringstream two;
  two << std::ifstream(work_ / "two.s2p", std::ios::binary).rdbuf();
  EXPECT_EQ(two.str(), onePoint);
  // An output folder that is missing: refused before the instrument is
  // touched, not after a sweep measured for nothing.
  const std::optional<long> before = instrument.acquisitions();
  const Outcome unwritable = measure(with({"reflection", "-o", at("no/such/dir/a.s1p")}, plan(instrument.port())));
  EXPECT_EQ(unwritable.status, status(MeasureExit::CannotWrite)) << unwritable.output;
  EXPECT_NE(unwritable.output.find(at("no/such/dir")), std::string::npos) << unwritable.output;
  EXPECT_EQ(instrument.acquisitions(), before);
  // Ctrl+C during the second of three sweeps: the first file stays and the
  // message names it. Without --cal, one line says the values are uncorrected.
  {
    std::vector<std::string> args =
        with({"reflection", "--sweeps", "3", "-o", at("multi.s1p")}, plan(instrument.port()));
    args.pop_back();  // not --quiet
    ProgramRun run(display_, programPath("vna-measure"), {}, args);
    for (int i = 0; i < 3000 && !fs::exists(work_ / "multi-0001.s1p"); ++i) ::usleep(10000);
    ASSERT_TRUE(fs::exists(work_ / "multi-0001.s1p")) << run.output();
    ::kill(run.pid(), SIGINT);
    EXPECT_EQ(run.waitForExit(60), status(MeasureExit::Interrupted)) << run.output();
    EXPECT_NE(run.output().find("multi-0001.s1p was written"), std::string::npos) << run.output();
    EXPECT_NE(run.output().find("uncorrected"), std::string::npos) << run.output();
    EXPECT_FALSE(fs::exists(work_ / "multi-0002.s1p"));
    EXPECT_NE(textOf("multi-0001.s1p").find("\r\n! calibration: none"), std::string::npos);
  }
  // A silent instrument: the reopen and the retry the analyzers make, then
  // the message; the file of the name is kept as it was.
  SimulatedInstrument silentOne(display_, "short", {"--fault", "silence"});
  ASSERT_TRUE(silentOne.ready()) << silentOne.error();
  std::ofstream(work_ / "old.s1p") << "kept";
  const Outcome silent = measure(with({"reflection", "-o", at("old.s1p")}, plan(silentOne.port())), 90);
  EXPECT_EQ(silent.status, status(MeasureExit::Silent)) << silent.output;
  std::stringstream kept;
  kept << std::ifstream(work_ / "old.s1p").rdbuf();
  EXPECT_EQ(kept.str(), "kept");
  EXPECT_FALSE(fs::exists(work_ / "a.s1p"));
}

// A script reads the JSON lines of a run from the pipe, one at a time, and
// sees the points while the sweep goes on; the last line says how it ended,
// a failure included.
TEST_F(VnaMeasure, AScriptReadsTheJsonLinesWhileTheSweepGoesOn) {
  ASSERT_TRUE(display_.ok()) << display_.error();
  SimulatedInstrument instrument(display_, "resistor 220", {"--no-errors", "--noise", "0"});
  ASSERT_TRUE(instrument.ready()) << instrument.error();
  const char* script =
      "import json, subprocess, sys, time\n"
      "p = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE)\n"
      "objects, running, first = [], None, None\n"
      "for line in p.stdout:\n"
      "    objects.append(json.loads(line))\n"
      "    if len(objects) == 2:\n"
      "        running, first = p.poll() is None, time.monotonic()\n"
      "p.wait()\n"
      "points = [o for o in objects if 'f_hz' in o]\n"
      "print('running at the first point:', running)\n"
      "print('points:', len(points), 'status:', p.returncode)\n"
      "print('columns:', ','.join(q['name'] for q in objects[0].get('quantities', [])))\n"
      "print('end:', json.dumps(objects[-1]))\n"
      "print('r_ohm at the first point:', points[0]['r_ohm'] if points else None)\n"
      "if first: print('seconds from the first point to the end: %.2f' % (time.monotonic() - first))\n";
  const auto run = [&](const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/usr/bin/python3", "-c", script, programPath("vna-measure")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv, "", 120).output;
  };
  const std::string fed =
      run(with({"reflection", "-o", "-", "--format", "jsonl", "--quantities", "r_ohm,x_ohm"}, plan(instrument.port())));
  std::printf("%s", fed.c_str());
  EXPECT_NE(fed.find("running at the first point: True"), std::string::npos) << fed;
  EXPECT_NE(fed.find("points: 51 status: 0"), std::string::npos) << fed;
  EXPECT_NE(fed.find("columns: f_hz,r_ohm,x_ohm\n"), std::string::npos) << fed;
  EXPECT_NE(fed.find(R"(end: {"end": "done", "points": 51})"), std::string::npos) << fed;
  // Uncorrected: the bridge's own relation, with the 2 % more gain of the
  // simulated input A that no adjustment has taken out (213.7 ohm).
  const std::size_t r = fed.find("r_ohm at the first point: ");
  ASSERT_NE(r, std::string::npos) << fed;
  EXPECT_NEAR(std::stod(fed.substr(r + 26)), 220, 11) << fed;

  const std::string failed = run({"reflection", "--port", "249", "-o", "-", "--format", "jsonl", "--quiet"});
  EXPECT_NE(failed.find("points: 0 status: 3"), std::string::npos) << failed;
  EXPECT_NE(failed.find(R"("end": "failed", "status": 3)"), std::string::npos) << failed;
}

// A machine without a display runs vna-measure: it needs no X11 library
// itself (cairo, which draws its reports into files, brings its own).
TEST(VnaMeasureBuild, NeedsNoX11Itself) {
  const CommandResult needed = runCommand({"readelf", "-d", programPath("vna-measure")}, "", 20);
  ASSERT_EQ(needed.status, 0) << needed.output;
  EXPECT_NE(needed.output.find("[libc.so"), std::string::npos) << needed.output;
  EXPECT_EQ(needed.output.find("libX11"), std::string::npos) << needed.output;
  const CommandResult help = runCommand({"/usr/bin/env", "-u", "DISPLAY", programPath("vna-measure"), "--help"}, "", 20);
  EXPECT_EQ(help.status, 0) << help.output;
}

}  // namespace
}  // namespace vna::e2e
