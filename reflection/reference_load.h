// The reference load the open/short/load calibration assumes: a resistance
// in series with an inductance, the pair shunted by a capacitance. Single
// floats in SI units, the form "configu" keeps them in.
#pragma once

namespace vna {

struct ReferenceLoad {
  float refR = 50.0f;  // ohms
  float refL = 0.0f;   // henries
  float refC = 0.0f;   // farads

  friend bool operator==(const ReferenceLoad&, const ReferenceLoad&) = default;
};

// What "Load Default Values" restores: a plain 50 ohm load.
inline constexpr ReferenceLoad kDefaultReferenceLoad{};

}  // namespace vna
