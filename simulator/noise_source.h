// The simulator's randomness: converter noise and garbage bytes. Seeded, so
// that a run is repeatable sample for sample.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "platform/numeric.h"

namespace vna {

class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t seed) : engine_(seed) {}

  // Standard normal deviate (Box-Muller; the same on every library, unlike
  // std::normal_distribution).
  double gaussian() {
    const double u1 = (static_cast<double>(engine_() >> 11) + 1.0) * 0x1.0p-53;  // (0, 1]
    const double u2 = static_cast<double>(engine_() >> 11) * 0x1.0p-53;          // [0, 1)
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }

  std::uint8_t byte() { return static_cast<std::uint8_t>(engine_() >> 56); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace vna
