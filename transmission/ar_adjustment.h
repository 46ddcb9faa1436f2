// The values that correct the unequal responses of inputs A and R and give
// the synthesizer its reference: what "configu" keeps for them and what the
// measurement uses.
#pragma once

#include <cstdint>

namespace vna {

struct ArAdjustment {
  float arGain = 1.0f;               // input A relative to input R, linear
  float arPhase = 0.0f;              // degrees
  std::int32_t clockHz = 150000000;  // 3 x the quartz frequency

  friend bool operator==(const ArAdjustment&, const ArAdjustment&) = default;
};

// What "Load Default Values" restores: equal inputs and the nominal clock.
inline constexpr ArAdjustment kDefaultArAdjustment{};

}  // namespace vna
