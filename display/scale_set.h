// Max and MIN of both traces for every display mode: switching modes brings
// back the scales last used in that mode.
#pragma once

#include <array>

namespace vna {

struct ScaleSet {
  static constexpr int kModes = 12;
  std::array<double, kModes> trace1Max{}, trace1Min{}, trace2Max{}, trace2Min{};
};

// The start-up scales of the impedance programs' eleven modes.
inline ScaleSet impedanceDefaultScales() {
  ScaleSet s;
  for (int m = 0; m <= 10; ++m) {
    s.trace1Max[m] = 100;
    s.trace1Min[m] = 0;
    s.trace2Max[m] = 100;
    s.trace2Min[m] = 0;
  }
  const auto phase = [&](int m) {
    s.trace2Max[m] = 225;
    s.trace2Min[m] = -225;
  };
  phase(0);
  s.trace2Min[1] = -100;
  s.trace1Max[4] = 0;
  s.trace1Min[4] = -100;
  phase(4);
  s.trace1Max[9] = 1;
  phase(9);
  s.trace1Min[10] = 1;
  phase(10);
  return s;
}

}  // namespace vna
