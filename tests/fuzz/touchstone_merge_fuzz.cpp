// fuzz-sources: files/touchstone_writer.cpp files/atomic_file.cpp files/touchstone_reader.cpp files/touchstone_text.cpp files/touchstone_plan.cpp files/network_parameters.cpp measurement/sweep_plan.cpp
//
// Saving a parameter into an existing .s2p file merges it into whatever that
// file holds, which may come from another tool or be damaged. The merge must
// give either new content or the reason it refused; merged content must be
// what it says it is: a file of the scan's plan (the viewers read the scan's
// frequencies from it), the saved pair in the slot's columns of its data
// lines, everything else as it stood, so that the viewers read back the
// values saved and the other parameters of the file unchanged. Merging the
// same scan again changes nothing. The scan saved is fixed: five points with
// awkward values. A broken rule stops the run (__builtin_trap) so libFuzzer
// keeps the input; the sanitizers catch the rest.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "files/network_parameters.h"
#include "files/touchstone_reader.h"
#include "files/touchstone_writer.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

using vna::ParameterSlot;
using vna::TouchstoneColumns;

const char* nameOf(ParameterSlot slot) {
  switch (slot) {
    case ParameterSlot::s11: return "s11";
    case ParameterSlot::s21: return "s21";
    case ParameterSlot::s12: return "s12";
    case ParameterSlot::s22: return "s22";
  }
  return "?";
}

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("touchstone_merge_fuzz", nameOf(slot), #condition); \
  } while (false)

// The file keeps its own frequency texts, which must be these; the values are
// what a scan may hand over, rounding to single precision included.
constexpr std::array<vna::TouchstonePoint, 5> kScan{{
    {1e6, -12.5, 45.25},
    {2e6, -0.0012345678, -179.99},
    {3e6, 3.4e-7, 0.0},
    {4e6, -99.999999, 179.9999},
    {5e6, 0.0, -0.5},
}};

// The s a viewer gets from the texts the merge writes for a point.
std::complex<double> asWritten(const vna::TouchstonePoint& point) {
  const auto number = [](double value) { return std::strtod(vna::valueText(value).c_str(), nullptr); };
  return vna::complexOf(vna::PairFormat::DbAngle, number(point.db), number(point.angleDeg));
}

std::optional<vna::TouchstoneScan> read(std::string_view text, TouchstoneColumns columns) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  vna::TouchstoneReading reading = vna::readTouchstone(std::span(bytes, text.size()), columns);
  return std::move(reading.scan);
}

// Which of a reading's two pairs is the slot's: 1, 2, or 0 when the
// reading does not hold it.
int pairOf(ParameterSlot slot, TouchstoneColumns columns) {
  if (columns == TouchstoneColumns::TwoPortS21S12) return slot == ParameterSlot::s21 ? 1 : slot == ParameterSlot::s12 ? 2 : 0;
  return slot == ParameterSlot::s11 ? 1 : slot == ParameterSlot::s22 ? 2 : 0;
}

// The merged file read as `columns`: the slot's pair holds the scan's values,
// the other pair and the frequencies are those of the file before the merge.
void checkReadBack(ParameterSlot slot, TouchstoneColumns columns, std::string_view existing, std::string_view merged) {
  const std::optional<vna::TouchstoneScan> after = read(merged, columns);
  if (!after) return;
  const std::size_t n = after->frequency.size();
  REQUIRE(n <= kScan.size());
  const int pair = pairOf(slot, columns);
  for (std::size_t k = 0; k < n; ++k) {
    const double scanHz = kScan[k].frequencyHz;
    REQUIRE(std::fabs(after->frequency[k] - scanHz) <= 2e-12 * scanHz);
    if (pair == 1) REQUIRE(after->s1[k] == asWritten(kScan[k]));
    if (pair == 2) REQUIRE(after->s2[k] == asWritten(kScan[k]));
  }
  const std::optional<vna::TouchstoneScan> before = read(existing, columns);
  if (!before) return;
  REQUIRE(before->frequency.size() >= n);
  for (std::size_t k = 0; k < n; ++k) {
    REQUIRE(after->frequency[k] == before->frequency[k]);
    if (pair != 1) REQUIRE(after->s1[k] == before->s1[k]);
    if (pair != 2) REQUIRE(after->s2[k] == before->s2[k]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view existing(reinterpret_cast<const char*>(data), size);
  for (const ParameterSlot slot : {ParameterSlot::s11, ParameterSlot::s21, ParameterSlot::s12, ParameterSlot::s22}) {
    const vna::MergeResult merged = vna::mergeS2p(existing, slot, kScan);
    if (!merged.ok()) {
      REQUIRE(merged.reason == vna::kNotCompatible);
      continue;
    }
    REQUIRE(merged.reason.empty());
    const std::string& content = *merged.content;
    REQUIRE(!content.empty());

    const vna::MergeResult again = vna::mergeS2p(content, slot, kScan);
    REQUIRE(again.ok());
    REQUIRE(*again.content == content);

    checkReadBack(slot, TouchstoneColumns::TwoPortS21S12, existing, content);
    checkReadBack(slot, TouchstoneColumns::TwoPortS11S22, existing, content);
  }
  // An empty scan is refused whatever the file.
  const ParameterSlot slot = ParameterSlot::s21;
  const vna::MergeResult none = vna::mergeS2p(existing, slot, {});
  REQUIRE(!none.ok() && !none.reason.empty());
  return 0;
}
