// fuzz-sources: files/settings_file.cpp files/atomic_file.cpp
//
// "configu" is shared by both analyzers and may have been left by an older
// program, a crash in the middle of a write or a hand edit, so any 26 bytes
// must decode. Each field is a plain copy of its bytes (floats by bit_cast),
// so encoding what was decoded must give the same 26 bytes back: the field
// writers rely on it to keep the bytes they do not own. What the programs use
// (usableSettings) must be arithmetic-safe, and must keep every field that
// already was. A broken rule stops the run (__builtin_trap) so libFuzzer keeps
// the input; the sanitizers catch the rest.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "files/settings_file.h"
#include "tests/fuzz/fuzz_rule.h"

namespace {

#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("settings_file_fuzz", "", #condition); \
  } while (false)

bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// A usable float is the read one when that was finite, else the default.
bool keptOrDefault(float read, float usable, float fallback) {
  return std::isfinite(read) ? sameBits(usable, read) : sameBits(usable, fallback);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Shorter inputs are padded with zeros, longer ones cut: every input is one file.
  std::array<std::uint8_t, vna::kSettingsFileSize> bytes{};
  std::copy_n(data, std::min(size, bytes.size()), bytes.begin());

  const vna::SettingsFile read = vna::decodeSettings(bytes);
  REQUIRE(vna::encodeSettings(read) == bytes);

  const vna::SettingsFile defaults;
  const vna::SettingsFile usable = vna::usableSettings(read);
  REQUIRE(usable.clockHz > 0);
  for (const float v : {usable.arGain, usable.arPhase, usable.refR, usable.refL, usable.refC}) REQUIRE(std::isfinite(v));

  REQUIRE(usable.portNumber == read.portNumber);
  REQUIRE(usable.clockHz == (read.clockHz > 0 ? read.clockHz : defaults.clockHz));
  // The gain divides input A: it must also be above 0.
  REQUIRE(usable.arGain > 0);
  REQUIRE(read.arGain > 0 ? keptOrDefault(read.arGain, usable.arGain, defaults.arGain)
                          : sameBits(usable.arGain, defaults.arGain));
  REQUIRE(keptOrDefault(read.arPhase, usable.arPhase, defaults.arPhase));
  REQUIRE(keptOrDefault(read.refR, usable.refR, defaults.refR));
  REQUIRE(keptOrDefault(read.refL, usable.refL, defaults.refL));
  REQUIRE(keptOrDefault(read.refC, usable.refC, defaults.refC));

  // Usable values are usable as they stand, and survive a save and a reload.
  REQUIRE(vna::usableSettings(usable) == usable);
  REQUIRE(vna::decodeSettings(vna::encodeSettings(usable)) == usable);
  return 0;
}
