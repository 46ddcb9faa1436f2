// A user turns Touchstone files into the quantities of each point with
// vna-measure convert: files of known circuits written by another tool, on
// 50 and on 75 ohms, a two-port's transmission, and files that cannot be read.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/scenario/measure_bench.h"

namespace vna::testing {
namespace {

using Complex = std::complex<double>;
constexpr double kTruePi = 3.14159265358979323846;

// 51 log points from 100 kHz to 10 MHz.
double frequencyOf(int i) {
  return 1e5 * std::pow(10.0, 2.0 * i / 50);
}

// A file as another tool writes it: real and imaginary parts, 12 digits.
std::string onePortFile(double reference, const std::function<Complex(double)>& impedance) {
  std::string text = "! written by another tool\n# MHZ S RI R " + std::to_string(reference) + "\n";
  for (int i = 0; i < 51; ++i) {
    const double f = frequencyOf(i);
    const Complex z = impedance(f), s = (z - reference) / (z + reference);
    char line[128];
    std::snprintf(line, sizeof line, "%.12g %.12g %.12g\n", f / 1e6, s.real(), s.imag());
    text += line;
  }
  return text;
}

void expectRelative(const std::vector<double>& got, const std::function<double(double)>& want,
                    const std::vector<double>& f, double tolerance, const std::string& what) {
  ASSERT_EQ(got.size(), f.size()) << what;
  for (std::size_t i = 0; i < f.size(); ++i)
    EXPECT_NEAR(got[i], want(f[i]), tolerance * std::fabs(want(f[i]))) << what << " at " << f[i] << " Hz";
}

class ConvertStories : public MeasureBench {
 protected:
  void put(const std::string& name, const std::string& text) { std::ofstream(dir_.path() / name) << text; }
};

TEST_F(ConvertStories, ASeriesAndAParallelCircuitGiveTheirOwnValues) {
  const auto omega = [](double f) { return 2 * kTruePi * f; };
  put("series.s1p", onePortFile(50, [&](double f) { return Complex(100, omega(f) * 1e-6); }));
  const auto parallel = [&](double f) { return 1000.0 / Complex(1, omega(f) * 1000 * 1e-9); };
  put("parallel.s1p", onePortFile(50, parallel));

  const Outcome series = measure({"convert", "series.s1p", "-o", "series.csv", "--quantities", "r_ohm,ls_h,q,swr"});
  ASSERT_EQ(series.status, 0) << series.message;
  auto c = csvColumns(file("series.csv"));
  const std::vector<double> f = c["f_hz"];
  ASSERT_EQ(f.size(), 51u);
  EXPECT_NEAR(f[50], 1e7, 1e-3);
  expectRelative(
      c["r_ohm"], [](double) { return 100.0; }, f, 1e-5, "r_ohm");
  expectRelative(
      c["ls_h"], [](double) { return 1e-6; }, f, 1e-5, "ls_h");
  expectRelative(
      c["q"], [&](double hz) { return omega(hz) * 1e-6 / 100; }, f, 1e-5, "q");
  expectRelative(
      c["swr"],
      [&](double hz) {
        const double s = std::abs((Complex(100, omega(hz) * 1e-6) - 50.0) / (Complex(100, omega(hz) * 1e-6) + 50.0));
        return (1 + s) / (1 - s);
      },
      f, 1e-5, "swr");

  const Outcome shunt =
      measure({"convert", "parallel.s1p", "-o", "parallel.csv", "--quantities", "rp_ohm,cp_f,q,d,r_ohm,cs_f,rl_db"});
  ASSERT_EQ(shunt.status, 0) << shunt.message;
  c = csvColumns(file("parallel.csv"));
  expectRelative(
      c["rp_ohm"], [](double) { return 1000.0; }, f, 1e-5, "rp_ohm");
  expectRelative(
      c["cp_f"], [](double) { return 1e-9; }, f, 1e-5, "cp_f");
  expectRelative(
      c["q"], [&](double hz) { return omega(hz) * 1000 * 1e-9; }, f, 1e-5, "q = wRC");
  expectRelative(
      c["d"], [&](double hz) { return 1 / (omega(hz) * 1000 * 1e-9); }, f, 1e-5, "d");
  // The same part in the series model: R/(1 + (wRC)^2) and C (1 + 1/(wRC)^2).
  expectRelative(
      c["r_ohm"], [&](double hz) { return parallel(hz).real(); }, f, 1e-5, "r_ohm");
  expectRelative(
      c["cs_f"], [&](double hz) { return -1 / (omega(hz) * parallel(hz).imag()); }, f, 1e-5, "cs_f");
  expectRelative(
      c["rl_db"], [&](double hz) { return -20 * std::log10(std::abs((parallel(hz) - 50.0) / (parallel(hz) + 50.0))); },
      f, 1e-5, "rl_db");
  EXPECT_EQ(opened_, 0);  // no instrument was touched
}

TEST_F(ConvertStories, AFileOn75OhmsGivesItsOwnReflectionAndTheSameImpedance) {
  const auto part = [](double f) { return 1000.0 / Complex(1, 2 * kTruePi * f * 1000 * 1e-9); };
  put("part75.s1p", onePortFile(75, part));
  const Outcome run = measure(
      {"convert", "part75.s1p", "-o", "-", "--format", "jsonl", "--quantities", "s11_re,s11_im,swr,r_ohm,x_ohm,cp_f"});
  ASSERT_EQ(run.status, 0) << run.message;
  std::istringstream lines(run.output);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(nlohmann::json::parse(line)["reference_ohm"], 75.0) << line;
  int points = 0;
  for (; std::getline(lines, line) && !nlohmann::json::parse(line).contains("end"); ++points) {
    const nlohmann::json p = nlohmann::json::parse(line);
    const double f = p["f_hz"];
    const Complex z = part(f), s = (z - 75.0) / (z + 75.0);
    EXPECT_NEAR(p["s11_re"], s.real(), 1e-6) << line;
    EXPECT_NEAR(p["s11_im"], s.imag(), 1e-6) << line;
    EXPECT_NEAR(p["swr"], (1 + std::abs(s)) / (1 - std::abs(s)), 1e-5 * p["swr"].get<double>()) << line;
    EXPECT_NEAR(p["r_ohm"], z.real(), 1e-5 * std::abs(z)) << line;
    EXPECT_NEAR(p["x_ohm"], z.imag(), 1e-5 * std::abs(z)) << line;
    EXPECT_NEAR(p["cp_f"], 1e-9, 1e-14) << line;
  }
  EXPECT_EQ(points, 51);
  EXPECT_EQ(nlohmann::json::parse(line)["points"], 51) << line;
}

TEST_F(ConvertStories, ATwoPortGivesTheGainPhaseAndDelayOfTheSlotAsked) {
  // A delay line of 100 ns with 6 dB loss forward and 10 dB backward.
  std::string text = "# HZ S MA R 50\n";
  for (int i = 0; i < 51; ++i) {
    const double f = 1e6 + 1e5 * i, degrees = -360 * f * 100e-9;
    text += std::to_string(f) + " 0.1 0 0.5 " + std::to_string(degrees) + " 0.316227766 " + std::to_string(degrees) +
            " 0.1 0\n";
  }
  put("line.s2p", text);
  const Outcome forward = measure({"convert", "line.s2p", "-o", "t.csv", "--slot", "s21"});
  ASSERT_EQ(forward.status, 0) << forward.message;
  auto c = csvColumns(file("t.csv"));
  ASSERT_EQ(c.size(), 4u);  // f_hz and the default gain_db, phase_deg, delay_s
  expectRelative(
      c["gain_db"], [](double) { return -6.0206; }, c["f_hz"], 1e-4, "gain_db");
  expectRelative(
      c["phase_deg"], [](double f) { return std::remainder(-360 * f * 100e-9, 360.0); }, c["f_hz"], 1e-5, "phase_deg");
  EXPECT_TRUE(std::isnan(c["delay_s"][0]) && std::isnan(c["delay_s"][50]));  // no aperture at the ends
  for (int i = 1; i < 50; ++i) EXPECT_NEAR(c["delay_s"][static_cast<std::size_t>(i)], 100e-9, 1e-12) << i;

  ASSERT_EQ(measure({"convert", "line.s2p", "-o", "r.csv", "--slot", "s12", "--quantities", "gain"}).status, 0);
  expectRelative(
      csvColumns(file("r.csv"))["gain"], [](double) { return 0.316227766; }, c["f_hz"], 1e-6, "s12");
  ASSERT_EQ(measure({"convert", "line.s2p", "-o", "s22.csv", "--slot", "s22", "--quantities", "s11_db"}).status, 0);
  expectRelative(
      csvColumns(file("s22.csv"))["s11_db"], [](double) { return -20.0; }, c["f_hz"], 1e-6, "s22");
}

TEST_F(ConvertStories, AFileThatCannotBeReadGivesTheReadersReasonAndNoOutput) {
  put("short.s2p", "# HZ S DB R 50\n1000 0 0 0 0 0 0 0 0\n2000 0 0 0 0\n");
  put("kept.csv", "an older conversion\n");
  const Outcome bad = measure({"convert", "short.s2p", "-o", "kept.csv"});
  EXPECT_EQ(bad.status, 8);
  EXPECT_EQ(bad.message, "vna-measure: short.s2p: line 3: 5 numbers where a two-port line has 9\n");
  EXPECT_EQ(file("kept.csv"), "an older conversion\n");

  const Outcome missing = measure({"convert", "none.s1p", "-o", "new.jsonl"});
  EXPECT_EQ(missing.status, 8);
  EXPECT_NE(missing.message.find("none.s1p"), std::string::npos) << missing.message;
  EXPECT_FALSE(exists("new.jsonl"));

  put("part.s1p", onePortFile(50, [](double) { return Complex(10, 0); }));
  const Outcome noFolder = measure({"convert", "part.s1p", "-o", "nowhere/part.csv"});
  EXPECT_EQ(noFolder.status, 5) << noFolder.message;
  EXPECT_NE(noFolder.message.find("nowhere/part.csv"), std::string::npos) << noFolder.message;
  EXPECT_EQ(opened_, 0);
}

}  // namespace
}  // namespace vna::testing
