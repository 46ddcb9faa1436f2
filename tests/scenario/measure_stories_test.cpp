// vna-measure as a script uses it, on the virtual instrument with the bridge
// and path errors, the input asymmetry and the noise of a real one: calibrate
// and measure parts whose true impedance is known, normalize and measure
// two-ports whose true transmission is known, every form of output, and each
// way a run ends with its status.
//
// Tolerances: the instrument's converter noise and what is left of its path
// errors after the correction put at most 0.1 % on the impedance of the
// RLC circuit and the resistor (1.6 kohms at 1 kHz, the highest, is the
// worst), 0.16 % on the real capacitor's and coil's few ohms, and at most
// 1.1e-4 on a transmission (the through being 1), over these 51-point plans
// at 40 ms a point. The tolerances are two to four times that: 0.3 % and
// 5e-4 (-66 dB), still far below the error of a swapped standard, a wrong
// reference load or an inverted normalization.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/point_inputs.h"
#include "simulator/device_models.h"
#include "tests/scenario/measure_bench.h"

namespace vna::testing {
namespace {

using Row = std::vector<double>;
constexpr double kPi = 3.14159265358979323846;

std::complex<double> fromDbAngle(double db, double degrees) {
  return std::polar(std::pow(10.0, db / 20), degrees * kPi / 180);
}
// The impedance a reflection stands for on the files' 50 ohms.
std::complex<double> impedanceOf(double db, double degrees) {
  const std::complex<double> s = fromDbAngle(db, degrees);
  return 50.0 * (1.0 + s) / (1.0 - s);
}

class MeasureStories : public MeasureBench {
 protected:
  std::vector<std::string> plan_{"--from", "1k", "--to", "10M", "--points", "51", "--log"};

  std::vector<std::string> with(std::vector<std::string> args) const {
    args.insert(args.end(), plan_.begin(), plan_.end());
    return args;
  }

  // Connects each part in turn and calibrates with it.
  void calibrate(const std::string& cal, const std::vector<std::pair<std::string, Device>>& standards,
                 const std::vector<std::string>& extra = {}) {
    for (const auto& [name, device] : standards) {
      model_.setDevice(device);
      std::vector<std::string> args = with({"calibrate", name, "--cal", cal});
      args.insert(args.end(), extra.begin(), extra.end());
      const Outcome run = measure(args);
      ASSERT_EQ(run.status, 0) << name << ": " << run.message;
    }
  }

  // Every point of the rows within `tolerance` (relative) of the device's
  // impedance; the slot's dB field is `field`.
  static void expectImpedance(const std::vector<Row>& rows, std::size_t field, const Device& device, double tolerance,
                              double from = 1000, double to = 1e7) {
    ASSERT_EQ(rows.size(), 51u);
    EXPECT_DOUBLE_EQ(rows.front()[0], from);
    EXPECT_DOUBLE_EQ(rows.back()[0], to);
    for (const Row& row : rows) {
      const std::complex<double> truth = impedanceAt(device, row[0]);
      const std::complex<double> z = impedanceOf(row.at(field), row.at(field + 1));
      EXPECT_LT(std::abs(z - truth) / std::abs(truth), tolerance) << row[0] << " Hz: " << z << " for " << truth;
    }
  }

  // Every point within 5e-4 of the device's transmission (see the top).
  static void expectTransmission(const std::vector<Row>& rows, std::size_t field, const Device& device) {
    ASSERT_EQ(rows.size(), 51u);
    for (const Row& row : rows) {
      const std::complex<double> truth = responseAt(device, row[0]);
      const std::complex<double> t = fromDbAngle(row.at(field), row.at(field + 1));
      EXPECT_LT(std::abs(t - truth), 5e-4) << row[0] << " Hz: " << t << " for " << truth;
    }
  }

  // Columns of a two-port row no save has filled.
  static void expectEmptySlot(const std::vector<Row>& rows, std::size_t field) {
    for (const Row& row : rows) {
      ASSERT_EQ(row.size(), 9u);
      EXPECT_EQ(row[field], 0.0);
      EXPECT_EQ(row[field + 1], 0.0);
    }
  }
};

const Device kRlc = Device::seriesRlc(100, 1e-6, 100e-9);  // 100 ohms, 1 uH, 100 nF: resonant at 503 kHz
const Device kResistor = Device::resistor(220);
// A 1 uF electrolytic of 8 ohms ESR and 20 nH: its own 8 ohms at 1.1 MHz,
// a coil above (the noise puts 0.01 ohm on a few ohms: 0.3 % of 8). A 10 uH coil of 5 ohms and 10 pF: 65 % above its
// bare reactance at 10 MHz, resonant at 16 MHz.
const Device kRealCapacitor = Device::capacitor(1e-6, 8, 20e-9);
const Device kRealCoil = Device::inductor(10e-6, 5, 10e-12);
// A 10 MHz quartz crystal (Q 63 000, 10 ohms at series resonance, 5 pF
// holder): swept 5 kHz either side of it, from 10 ohms to 800, short of the
// parallel resonance 25 kHz up.
const Device kCrystal = Device::crystal(10, 10e-3, 25.33e-15, 5e-12);

// --------------------------------------------------------------- reflection

TEST_F(MeasureStories, OpenShortAndLoadGiveTheTrueImpedanceOfEachPart) {
  // The load on hand is 47 ohms with 20 nH and 10 pF, not the settings'
  // 50 ohms; it is measured first, and the open and short measured after
  // it keep its values.
  calibrate("bench.cal", {{"load", Device::referenceLoad(47, 20e-9, 10e-12)}}, {"--load", "47 20n 10p"});
  calibrate("bench.cal", {{"open", Device::open()}, {"short", Device::shortCircuit()}});

  for (const Device& part : {kRlc, kResistor, kRealCapacitor, kRealCoil}) {
    model_.setDevice(part);
    const Outcome run = measure(with({"reflection", "--cal", "bench.cal", "-o", "part.s1p"}));
    ASSERT_EQ(run.status, 0) << run.message << " for " << static_cast<int>(part.kind);
    expectImpedance(dataLines(file("part.s1p")), 1, part, 0.003);
  }

  // The crystal on a plan of its own, calibrated for it.
  plan_ = {"--from", "9.995M", "--to", "10.005M", "--points", "51"};
  calibrate("crystal.cal",
            {{"open", Device::open()}, {"short", Device::shortCircuit()}, {"load", Device::referenceLoad(50, 0, 0)}});
  model_.setDevice(kCrystal);
  const Outcome run = measure(with({"reflection", "--cal", "crystal.cal", "-o", "crystal.s1p"}));
  ASSERT_EQ(run.status, 0) << run.message;
  expectImpedance(dataLines(file("crystal.s1p")), 1, kCrystal, 0.003, 9.995e6, 10.005e6);
}

TEST_F(MeasureStories, BothPortsOfATwoPortFileAndStandardOutput) {
  calibrate("bench.cal",
            {{"open", Device::open()}, {"short", Device::shortCircuit()}, {"load", Device::referenceLoad(50, 0, 0)}});

  // s11 into a new file, then s22 merged into it: each column pair holds its part.
  model_.setDevice(kRlc);
  ASSERT_EQ(measure(with({"reflection", "--cal", "bench.cal", "-o", "pair.s2p"})).status, 0);
  model_.setDevice(kResistor);
  const Outcome merged = measure(with({"reflection", "--cal", "bench.cal", "-o", "pair.s2p", "--slot", "s22"}));
  ASSERT_EQ(merged.status, 0) << merged.message;
  const std::vector<Row> pair = dataLines(file("pair.s2p"));
  expectImpedance(pair, 1, kRlc, 0.003);
  expectImpedance(pair, 7, kResistor, 0.003);
  expectEmptySlot(pair, 3);
  expectEmptySlot(pair, 5);

  // To standard output: a one-port text, or a two-port one with a slot; no file.
  const Outcome onePort = measure(with({"reflection", "--cal", "bench.cal", "-o", "-"}));
  ASSERT_EQ(onePort.status, 0) << onePort.message;
  expectImpedance(dataLines(onePort.output), 1, kResistor, 0.003);
  EXPECT_EQ(dataLines(onePort.output).front().size(), 3u);
  const Outcome twoPort = measure(with({"reflection", "--cal", "bench.cal", "-o", "-", "--slot", "s22"}));
  ASSERT_EQ(twoPort.status, 0) << twoPort.message;
  expectImpedance(dataLines(twoPort.output), 7, kResistor, 0.003);
  expectEmptySlot(dataLines(twoPort.output), 1);
  EXPECT_FALSE(exists("-"));
}

TEST_F(MeasureStories, SeveralSweepsGoToNumberedFiles) {
  calibrate("bench.cal",
            {{"open", Device::open()}, {"short", Device::shortCircuit()}, {"load", Device::referenceLoad(50, 0, 0)}});
  model_.setDevice(kRlc);
  const int opens = opened_;
  const Outcome run = measure(with({"reflection", "--cal", "bench.cal", "--sweeps", "3", "-o", "runs/rlc.s1p"}));
  // The folder is not there: refused before any sweep is measured for nothing.
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.message.find("runs"), std::string::npos) << run.message;
  EXPECT_EQ(opened_, opens);

  std::filesystem::create_directory(dir_.path() / "runs");
  const Outcome again = measure(with({"reflection", "--cal", "bench.cal", "--sweeps", "3", "-o", "runs/rlc.s1p"}));
  ASSERT_EQ(again.status, 0) << again.message;
  for (const char* name : {"runs/rlc-0001.s1p", "runs/rlc-0002.s1p", "runs/rlc-0003.s1p"})
    expectImpedance(dataLines(file(name)), 1, kRlc, 0.003);
  EXPECT_FALSE(exists("runs/rlc.s1p"));
  EXPECT_FALSE(exists("runs/rlc-0004.s1p"));
}

// --------------------------------------------------------------- averaging

// RMS over the points of the impedance's error relative to the device's.
double rmsError(const std::vector<Row>& rows, const Device& device) {
  double sum = 0;
  for (const Row& row : rows) {
    const std::complex<double> truth = impedanceAt(device, row[0]);
    sum += std::norm((impedanceOf(row.at(1), row.at(2)) - truth) / truth);
  }
  return std::sqrt(sum / static_cast<double>(rows.size()));
}

TEST_F(MeasureStories, SixteenSweepsQuarterTheNoiseAndSayHowUncertainEachPointIs) {
  // Calibrated with the instrument's little noise, each standard averaged
  // over 16 sweeps: the file keeps the standards' spread and reads back.
  plan_[5] = "201";  // enough points that the share within one u is no luck
  calibrate("avg.cal",
            {{"open", Device::open()}, {"short", Device::shortCircuit()}, {"load", Device::referenceLoad(50, 0, 0)}},
            {"--average", "16"});
  const CalibrationReading cal = readCalibration(file("avg.cal"));
  ASSERT_TRUE(cal.calibration) << cal.reason;
  for (const auto* spread :
       {&cal.calibration->openSpread, &cal.calibration->shortSpread, &cal.calibration->loadSpread}) {
    ASSERT_TRUE(spread->has_value());
    EXPECT_EQ((*spread)->sweeps, 16);
    EXPECT_GT((*spread)->uRe[100], 0);
    EXPECT_GT((*spread)->uIm[100], 0);
  }

  // A 10 kohm resistor with 30 times the noise: one sweep, then 16.
  const Device resistor = Device::resistor(10e3);
  model_.setDevice(resistor);
  model_.settings().noiseCounts = 3000;
  std::vector<std::string> reflection = with({"reflection", "--cal", "avg.cal", "-o", "r.s1p"});
  ASSERT_EQ(measure(reflection).status, 0);
  const double oneSweep = rmsError(dataLines(file("r.s1p")), resistor);
  reflection.insert(reflection.end(), {"--average", "16"});
  const Outcome run = measure(reflection);
  ASSERT_EQ(run.status, 0) << run.message;
  const std::string text = file("r.s1p");
  const double sixteen = rmsError(dataLines(text), resistor);
  EXPECT_NEAR(sixteen / oneSweep, 0.25, 0.07) << oneSweep << " " << sixteen;
  EXPECT_NE(text.find("! averaging: 16 sweeps per point"), std::string::npos) << text.substr(0, 400);
  EXPECT_NE(text.find("open (averaged over 16 sweeps), short (averaged over 16 sweeps)"), std::string::npos);

  // R's uncertainty, as the CSV gives it, is honest: the spread of 16
  // readings follows Student's t with 15 degrees of freedom, 67 % within
  // one u of the true 10 kohms and 94 % within two.
  std::vector<std::string> csv = reflection;
  csv[4] = "r.csv";
  csv.insert(csv.end(), {"--quantities", "r_ohm"});
  ASSERT_EQ(measure(csv).status, 0);
  std::vector<std::string> header;
  CsvColumns c = csvColumns(file("r.csv"), &header);
  EXPECT_EQ(header, (std::vector<std::string>{"f_hz", "r_ohm", "r_ohm_u"}));
  const std::size_t points = c["f_hz"].size();
  int withinOne = 0, withinTwo = 0;
  for (std::size_t i = 0; i < points; ++i) {
    const double error = std::abs(c["r_ohm"][i] - impedanceAt(resistor, c["f_hz"][i]).real());
    withinOne += error <= c["r_ohm_u"][i];
    withinTwo += error <= 2 * c["r_ohm_u"][i];
  }
  ASSERT_EQ(points, 201u);
  EXPECT_NEAR(withinOne / 201.0, 0.67, 0.09) << withinOne;
  EXPECT_GT(withinTwo / 201.0, 0.88) << withinTwo;

  // The same file as it was written before averaging, without the spreads,
  // still corrects, and its standards count as exact.
  std::string old = file("avg.cal");
  for (std::size_t at; (at = old.find(" averaged 16")) != std::string::npos;) old.erase(at, 12);
  std::istringstream lines(old);
  std::ofstream plain(dir_.path() / "old.cal");
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    plain << (f.size() == 5 ? f[0] + " " + f[1] + " " + f[2] : line) << "\n";
  }
  plain.close();
  reflection[2] = "old.cal";
  ASSERT_EQ(measure(reflection).status, 0);
  EXPECT_LT(rmsError(dataLines(file("r.s1p")), resistor), 1.5 * sixteen);

  // An open measured again in one sweep leaves no stale spread behind.
  calibrate("avg.cal", {{"open", Device::open()}});
  const std::string again = file("avg.cal");
  EXPECT_NE(again.find("standard open\n"), std::string::npos);
  EXPECT_NE(again.find("standard short averaged 16\n"), std::string::npos);
}

// --------------------------------------------------------------- transmission

TEST_F(MeasureStories, ANormalizedTransmissionGivesEachTwoPortsTrueResponse) {
  model_.setDevice(Device::through());
  // The through averaged over 4 sweeps, and the filter too.
  ASSERT_EQ(measure(with({"normalize", "--cal", "thru.cal", "--average", "4"})).status, 0);
  EXPECT_NE(file("thru.cal").find("\nstandard through averaged 4\n"), std::string::npos);

  const Device filter = Device::lowpassLc(1e6, 5);
  model_.setDevice(filter);
  const Outcome forward = measure(with({"transmission", "--cal", "thru.cal", "-o", "two.s2p", "--average", "4"}));
  ASSERT_EQ(forward.status, 0) << forward.message;
  const Device pad = Device::attenuator(20);
  model_.setDevice(pad);
  const Outcome reverse = measure(with({"transmission", "--cal", "thru.cal", "-o", "two.s2p", "--slot", "s12"}));
  ASSERT_EQ(reverse.status, 0) << reverse.message;

  const std::vector<Row> rows = dataLines(file("two.s2p"));
  expectTransmission(rows, 3, filter);
  expectTransmission(rows, 5, pad);
  expectEmptySlot(rows, 1);
  expectEmptySlot(rows, 7);

  // The same calibration file then takes the open, short and load too, and
  // keeps its through.
  calibrate("thru.cal",
            {{"open", Device::open()}, {"short", Device::shortCircuit()}, {"load", Device::referenceLoad(50, 0, 0)}});
  model_.setDevice(pad);
  const Outcome out = measure(with({"transmission", "--cal", "thru.cal", "-o", "-"}));
  ASSERT_EQ(out.status, 0) << out.message;
  expectTransmission(dataLines(out.output), 3, pad);
}

TEST_F(MeasureStories, WithoutNormalizingTheCablesLengthIsTurnedBackInEverySweep) {
  // An instrument without path errors: what it reads is the two-port's own response.
  model_.settings() = idealInstrument(100);
  const Device cable = Device::delayLine(10e-9);
  model_.setDevice(cable);
  const Outcome run = measure(with({"transmission", "--length", "2.99792458", "--sweeps", "2", "-o", "cable.s2p"}));
  ASSERT_EQ(run.status, 0) << run.message;
  for (const char* name : {"cable-0001.s2p", "cable-0002.s2p"})
    expectTransmission(dataLines(file(name)), 3, Device::through());
}

// --------------------------------------------------------------- how a run ends

TEST_F(MeasureStories, ACalibrationThatDoesNotFitIsRefusedNamingTheFile) {
  model_.setDevice(kResistor);
  const Outcome missing = measure(with({"reflection", "--cal", "none.cal", "-o", "part.s1p"}));
  EXPECT_EQ(missing.status, 6);
  EXPECT_NE(missing.message.find("none.cal"), std::string::npos) << missing.message;

  // Open and short only.
  calibrate("bench.cal", {{"open", Device::open()}, {"short", Device::shortCircuit()}});
  const Outcome lacking = measure(with({"reflection", "--cal", "bench.cal", "-o", "part.s1p"}));
  EXPECT_EQ(lacking.status, 6);
  EXPECT_NE(lacking.message.find("bench.cal"), std::string::npos) << lacking.message;
  const Outcome noThrough = measure(with({"transmission", "--cal", "bench.cal", "-o", "part.s2p"}));
  EXPECT_EQ(noThrough.status, 6);

  // Complete, but over 51 points: a sweep of 101, or at another time per
  // point, or linear, is refused, and calibrating into it as well.
  calibrate("bench.cal", {{"load", Device::referenceLoad(50, 0, 0)}});
  for (const std::vector<std::string>& other :
       {std::vector<std::string>{"--from", "1k", "--to", "10M", "--points", "101", "--log"},
        std::vector<std::string>{"--from", "1k", "--to", "10M", "--points", "51", "--log", "--ms", "80"},
        std::vector<std::string>{"--from", "1k", "--to", "10M", "--points", "51", "--linear"},
        std::vector<std::string>{"--from", "2k", "--to", "10M", "--points", "51", "--log"}}) {
    std::vector<std::string> args{"reflection", "--cal", "bench.cal", "-o", "part.s1p"};
    args.insert(args.end(), other.begin(), other.end());
    const Outcome run = measure(args);
    EXPECT_EQ(run.status, 6) << other[5];
    EXPECT_NE(run.message.find("bench.cal"), std::string::npos) << run.message;
    args = {"calibrate", "open", "--cal", "bench.cal"};
    args.insert(args.end(), other.begin(), other.end());
    EXPECT_EQ(measure(args).status, 6);
  }
  EXPECT_FALSE(exists("part.s1p"));

  // A damaged file.
  std::ofstream(dir_.path() / "bad.cal") << "# vna-measure calibration\nplan from 1000\n";
  EXPECT_EQ(measure(with({"reflection", "--cal", "bad.cal", "-o", "part.s1p"})).status, 6);
  EXPECT_EQ(measure(with({"calibrate", "open", "--cal", "bad.cal"})).status, 6);
  EXPECT_FALSE(exists("part.s1p"));
}

TEST_F(MeasureStories, EachFailureHasItsStatusAndKeepsWhatWasThere) {
  model_.setDevice(kResistor);
  std::ofstream(dir_.path() / "part.s1p") << "kept";
  const std::vector<std::string> reflection = with({"reflection", "-o", "part.s1p"});

  // A refused command line does not touch the instrument.
  EXPECT_EQ(measure(with({"reflection", "-o", "part.s1p", "--points", "50"})).status, 2);
  EXPECT_EQ(measure(with({"transmission", "-o", "part.s1p"})).status, 2);
  EXPECT_EQ(measure(with({"reflection", "-o", "-", "--sweeps", "2"})).status, 2);
  EXPECT_EQ(model_.resets(), 0);

  // No instrument on the port.
  channel_ = noInstrument();
  const Outcome absent = measure(reflection);
  EXPECT_EQ(absent.status, 3);
  EXPECT_NE(absent.message.find("/nonexistent/ttyUSB3"), std::string::npos) << absent.message;
  channel_ = nullptr;

  // The instrument stops answering.
  model_.setFault(FaultPlan::silence(), host_.t);
  EXPECT_EQ(measure(reflection).status, 4);
  model_.setFault(FaultPlan::none(), host_.t);

  // Ctrl+C two seconds into the sweep.
  host_.ctrlCAt = host_.t + 3.5;
  EXPECT_EQ(measure(reflection).status, 130);
  host_.ctrlCAt = std::numeric_limits<double>::infinity();
  EXPECT_EQ(file("part.s1p"), "kept");

  // A merge target that is no two-port file stays as it was.
  std::ofstream(dir_.path() / "other.s2p") << "not a Touchstone file\n";
  const Outcome merge = measure(with({"reflection", "-o", "other.s2p", "--slot", "s22"}));
  EXPECT_EQ(merge.status, 5);
  EXPECT_NE(merge.message.find("other.s2p"), std::string::npos) << merge.message;
  EXPECT_EQ(file("other.s2p"), "not a Touchstone file\n");

  // One reply lost: the sweep is measured again and the run succeeds.
  model_.setFault(FaultPlan::silence(1), host_.t);
  const Outcome retried = measure(reflection);
  EXPECT_EQ(retried.status, 0) << retried.message;
  EXPECT_EQ(dataLines(file("part.s1p")).size(), 51u);
}

}  // namespace
}  // namespace vna::testing
