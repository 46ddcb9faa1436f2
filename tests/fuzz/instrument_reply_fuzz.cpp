// fuzz-sources: analyzer/protocol.cpp analyzer/sample_conversion.cpp measurement/sweep_plan.cpp
//
// The instrument's reply to an acquisition is whatever came down the serial
// line: a noisy cable, a reset in the middle or another device on the port
// gives any bytes, of any length. Decoding must touch only the samples the
// reply and the arrays hold, and give for each exactly the 24 bits the wire
// format puts there; the conversion of the decoded samples must give levels
// that are never NaN and a ratio that is finite except for a reference
// channel whose sums are zero, which the conversion documents.
//
// Input: byte 0 chooses the sample code (the eight the instrument has and a
// few off the list), byte 1 the lengths of the two sample arrays, bytes 2 and
// 3 the A/R gain and phase within what the Adjustment screen accepts; the
// rest is the reply. A broken rule stops the run (__builtin_trap) so libFuzzer
// keeps the input; the sanitizers catch the rest.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "analyzer/protocol.h"
#include "analyzer/sample_conversion.h"
#include "measurement/sweep_plan.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("instrument_reply_fuzz", "code " + std::to_string(sampleCode), #condition); \
  } while (false)

constexpr std::array<int, 14> kCodes{6, 13, 27, 55, 111, 223, 447, 895, -7, -1, 0, 1, 7, 900};

// Decoded samples have their low 8 bits clear, so this value is never written.
constexpr std::int32_t kUntouched = 0x5A5A5A5A;

// The samples an array holds: as many as the code measures, or fewer or more.
std::size_t arrayLength(int sampleCode, unsigned choice) {
  const std::size_t measured = sampleCode < 0 ? 0 : static_cast<std::size_t>(sampleCode) + 1;
  switch (choice % 4) {
    case 0: return measured;
    case 1: return measured / 2;
    case 2: return measured + 3;
    default: return 0;
  }
}

// The wire format read bit by bit: bytes 1..6 of a group, most significant
// first, R in bits 7 5 3 1 and A in bits 6 4 2 0, the 24 bits into 31..8.
std::int32_t expectedSample(std::span<const std::uint8_t> group, bool reference) {
  std::uint32_t v = 0;
  for (std::size_t m = 1; m < 7; ++m)
    for (int bit = reference ? 7 : 6; bit >= 0; bit -= 2) v = (v << 1) | ((group[m] >> bit) & 1u);
  return static_cast<std::int32_t>(v << 8);
}

bool notNanNorPlusInfinity(double v) { return !std::isnan(v) && v != INFINITY; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int sampleCode = kCodes[data[0] % kCodes.size()];
  const double arGain = 0.8 + 0.4 * data[2] / 255.0;
  const double arPhase = -5.0 + 10.0 * data[3] / 255.0;
  // A copy of exactly the reply's size, so that reading past it is caught.
  const std::vector<std::uint8_t> rx(data + 4, data + size);

  const std::size_t complete = vna::replyLength(sampleCode);
  if (sampleCode < 0) {
    REQUIRE(complete == 0);
  } else {
    REQUIRE(complete == 7 * static_cast<std::size_t>(sampleCode) + 8);
  }
  const std::uint8_t command = vna::acquisitionCommand(sampleCode);
  REQUIRE(command == 0x40 + std::max(vna::sampleCodeIndex(sampleCode), 0));

  std::vector<std::int32_t> sampleR(arrayLength(sampleCode, data[1]), kUntouched);
  std::vector<std::int32_t> sampleA(arrayLength(sampleCode, data[1] / 4u), kUntouched);
  vna::decodeSamples(rx, sampleCode, sampleR, sampleA);

  const std::size_t measured = sampleCode < 0 ? 0 : static_cast<std::size_t>(sampleCode) + 1;
  const std::size_t groups = std::min({measured, rx.size() / 7, sampleR.size(), sampleA.size()});
  for (std::size_t s = 0; s < groups; ++s) {
    const auto group = std::span(rx).subspan(7 * s, 7);
    REQUIRE(sampleR[s] == expectedSample(group, true));
    REQUIRE(sampleA[s] == expectedSample(group, false));
  }
  for (std::size_t s = groups; s < sampleR.size(); ++s) REQUIRE(sampleR[s] == kUntouched);
  for (std::size_t s = groups; s < sampleA.size(); ++s) REQUIRE(sampleA[s] == kUntouched);

  // Only a plan's sample codes reach the conversion: the sweep converts with
  // the plan's code, and every plan (start-up, stepped, from a calibration
  // file or the command line) holds one of the eight.
  if (vna::sampleCodeIndex(sampleCode) < 0) return 0;
  // What the sweep hands over: the first n+1 entries, as far as the arrays go.
  const std::span<const std::int32_t> r = std::span<const std::int32_t>(sampleR).first(std::min(measured, sampleR.size()));
  const std::span<const std::int32_t> a = std::span<const std::int32_t>(sampleA).first(std::min(measured, sampleA.size()));
  const vna::ConvertedPoint point = vna::convertSamples(r, a, sampleCode, arGain, arPhase);

  REQUIRE(notNanNorPlusInfinity(point.levelA));
  REQUIRE(notNanNorPlusInfinity(point.levelR));
  const bool finiteRatio = std::isfinite(point.ratio.real()) && std::isfinite(point.ratio.imag());
  // The summed reference samples: those present in both spans.
  const std::size_t summed = std::min({measured, r.size(), a.size()});
  const bool referenceSilent = std::all_of(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(summed),
                                           [](std::int32_t v) { return v == 0; });
  if (referenceSilent) {
    REQUIRE(!finiteRatio);
    REQUIRE(point.levelR == -INFINITY);
  }
  // Otherwise a non-finite ratio needs sums that cancel exactly, which also
  // give the reference level of nothing.
  if (!finiteRatio) REQUIRE(point.levelR == -INFINITY);
  return 0;
}
