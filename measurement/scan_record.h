// The per-point arrays every measuring or viewing program keeps of one scan.
// What only one program needs (calibration standards, impedances, the
// normalization reference) stays with that program.
#pragma once

#include <array>
#include <complex>

#include "measurement/sweep_plan.h"

namespace vna {

using Complex = std::complex<double>;
template <typename T>
using PointArray = std::array<T, kMaxPoints>;

struct ScanRecord {
  PointArray<double> frequency{};  // entries N and N+1 repeat 0 and 1 (look-ahead)
  PointArray<Complex> rawRatio{};
  PointArray<Complex> memoryRatio{};  // the MemoryTrace: rawRatio copied by "Copy measure to Memory"
  PointArray<Complex> workRatio{};
  PointArray<Complex> workMemory{};
  PointArray<double> trace1{}, trace2{};
  PointArray<double> memoryTrace1{}, memoryTrace2{};
  PointArray<double> levelA{}, levelR{};
};

}  // namespace vna
