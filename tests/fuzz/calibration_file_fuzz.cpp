// fuzz-sources: analyzer/calibration_file.cpp files/atomic_file.cpp measurement/sweep_plan.cpp
//
// vna-measure reads whatever file --cal names, so the reader must turn any
// bytes into either a calibration the correction can use or a one-line
// reason. What each must be is checked here, and a calibration read must
// write back as text that reads as the same calibration. A broken rule stops
// the run (__builtin_trap) so libFuzzer keeps the input; the sanitizers catch
// the rest.

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/calibration_file.h"
#include "measurement/sweep_plan.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("calibration_file_fuzz", "", #condition); \
  } while (false)

void checkReason(const std::string& reason) {
  REQUIRE(reason.starts_with("line "));
  REQUIRE(reason.size() <= 200);
  for (const char ch : reason) REQUIRE(ch >= ' ' && ch <= '~');
}

void checkCalibration(const vna::Calibration& c) {
  const vna::SweepPlan& p = c.plan;
  REQUIRE(vna::acceptTypedFrequency(p.freqMin));
  REQUIRE(vna::acceptTypedFrequency(p.freqMax));
  REQUIRE(p.freqMin < p.freqMax);
  REQUIRE(p.points >= 51 && p.points <= 801);
  REQUIRE(vna::sampleCodeIndex(p.sampleCode) >= 0);
  REQUIRE(c.clockHz > 0);
  for (const double v : {c.arGain, c.arPhase, c.refR, c.refL, c.refC}) REQUIRE(std::isfinite(v));
  for (const auto* data : {&c.open, &c.shortCircuit, &c.load, &c.through}) {
    if (!*data) continue;
    REQUIRE((*data)->size() == static_cast<std::size_t>(p.points));
    for (const std::complex<double> z : **data) REQUIRE(std::isfinite(z.real()) && std::isfinite(z.imag()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const vna::CalibrationReading reading = vna::readCalibration(text);
  if (!reading.calibration) {
    checkReason(reading.reason);
    return 0;
  }
  REQUIRE(reading.reason.empty());
  checkCalibration(*reading.calibration);
  const std::string written = vna::calibrationText(*reading.calibration);
  const vna::CalibrationReading again = vna::readCalibration(written);
  REQUIRE(again.calibration.has_value());
  REQUIRE(vna::calibrationText(*again.calibration) == written);
  return 0;
}
