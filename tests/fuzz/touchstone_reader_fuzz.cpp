// fuzz-sources: files/touchstone_reader.cpp files/touchstone_text.cpp files/touchstone_plan.cpp files/network_parameters.cpp measurement/sweep_plan.cpp
//
// The viewers open whatever file a user points them at, so the reader must
// turn any bytes into either a scan the display can draw or a reason it can
// show. Each input is read as all three column kinds; what a scan or a reason
// must be, whatever the input, is checked here, and so is the sweep plan
// built from every scan. A broken rule stops the run (__builtin_trap) so
// libFuzzer keeps the input; the sanitizers catch the rest.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "files/touchstone_reader.h"
#include "measurement/sweep_plan.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

using vna::TouchstoneColumns;

const char* nameOf(TouchstoneColumns columns) {
  switch (columns) {
    case TouchstoneColumns::OnePortS11: return "OnePortS11";
    case TouchstoneColumns::TwoPortS11S22: return "TwoPortS11S22";
    case TouchstoneColumns::TwoPortS21S12: return "TwoPortS21S12";
  }
  return "?";
}

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("touchstone_reader_fuzz", nameOf(columns), #condition); \
  } while (false)

// The reason goes into one line of the screen's text grid between the
// surrounding words, hence the blanks at its ends and the length limit.
void checkReason(TouchstoneColumns columns, const std::string& reason) {
  REQUIRE(!reason.empty());
  REQUIRE(reason.size() <= 120);
  REQUIRE(reason.front() == ' ');
  REQUIRE(reason.back() == ' ');
  REQUIRE(reason.find('\n') == std::string::npos);
  REQUIRE(reason.find('\r') == std::string::npos);
}

bool finite(double v) { return std::isfinite(v); }

void checkScan(TouchstoneColumns columns, const vna::TouchstoneScan& scan) {
  const int n = scan.points();
  REQUIRE(n >= vna::kFewestFilePoints);
  REQUIRE(n <= vna::kMostFilePoints);
  const std::size_t size = scan.frequency.size();
  REQUIRE(scan.s1.size() == size);
  REQUIRE(scan.s2.size() == (columns == TouchstoneColumns::OnePortS11 ? 0 : size));
  for (std::size_t i = 0; i < size; ++i) {
    REQUIRE(finite(scan.frequency[i]));
    REQUIRE(scan.frequency[i] >= 0);
    if (i > 0) REQUIRE(scan.frequency[i] > scan.frequency[i - 1]);
  }
  REQUIRE(finite(scan.reference1));
  REQUIRE(scan.reference1 > 0);
  REQUIRE(finite(scan.reference2));
  REQUIRE(scan.reference2 > 0);
}

void checkPlan(TouchstoneColumns columns, const vna::TouchstoneScan& scan) {
  const int n = scan.points();
  vna::SweepPlan plan;
  // NaN marks the entries planForScan did not write: every one of the N must be.
  std::vector<double> display(static_cast<std::size_t>(n), std::numeric_limits<double>::quiet_NaN());
  vna::planForScan(scan, plan, std::span<double>(display));
  REQUIRE(plan.points == n);
  REQUIRE(plan.freqMin <= plan.freqMax);
  REQUIRE(plan.markerIndex1 >= 0);
  REQUIRE(plan.markerIndex1 <= n - 1);
  REQUIRE(plan.markerIndex2 >= 0);
  REQUIRE(plan.markerIndex2 <= n - 1);
  for (const double f : display) REQUIRE(finite(f));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (const TouchstoneColumns columns :
       {TouchstoneColumns::OnePortS11, TouchstoneColumns::TwoPortS11S22, TouchstoneColumns::TwoPortS21S12}) {
    const vna::TouchstoneReading reading = vna::readTouchstone(bytes, columns);
    if (!reading.ok()) {
      checkReason(columns, reading.reason);
      continue;
    }
    REQUIRE(reading.reason.empty());
    checkScan(columns, *reading.scan);
    checkPlan(columns, *reading.scan);
  }
  return 0;
}
