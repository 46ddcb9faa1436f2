// Max and MIN of both traces for every display mode: switching modes brings
// back the scales last used in that mode.
#pragma once

#include <array>
#include <cstddef>

namespace vna {

struct ModeScales {
  double trace1Max, trace1Min, trace2Max, trace2Min;
};

struct ScaleSet {
  static constexpr int kModes = 12;
  std::array<double, kModes> trace1Max{}, trace1Min{}, trace2Max{}, trace2Min{};

  ModeScales of(int mode) const {
    const auto m = static_cast<std::size_t>(mode);
    return {trace1Max[m], trace1Min[m], trace2Max[m], trace2Min[m]};
  }
  void set(int mode, const ModeScales& s) {
    const auto m = static_cast<std::size_t>(mode);
    trace1Max[m] = s.trace1Max;
    trace1Min[m] = s.trace1Min;
    trace2Max[m] = s.trace2Max;
    trace2Min[m] = s.trace2Min;
  }
};

}  // namespace vna
