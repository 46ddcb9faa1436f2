// The per-point arrays every measuring or viewing program keeps of one scan.
// What only one program needs (calibration standards, impedances, the
// normalization reference) stays with that program.
#pragma once

#include <algorithm>
#include <complex>
#include <vector>

#include "measurement/sweep_plan.h"

namespace vna {

using Complex = std::complex<double>;

// Room for the analyzers' largest scan from the start, so a scan never
// allocates; a viewer grows it to the file it shows.
template <typename T>
class PointArray : public std::vector<T> {
 public:
  PointArray() : std::vector<T>(kMaxPoints) {}
};

struct ScanRecord {
  PointArray<double> frequency{};  // entries N and N+1 repeat 0 and 1 (look-ahead)
  PointArray<Complex> rawRatio{};
  PointArray<Complex> memoryRatio{};  // the MemoryTrace: rawRatio copied by "Copy measure to Memory"
  PointArray<Complex> workRatio{};
  PointArray<Complex> workMemory{};
  PointArray<double> trace1{}, trace2{};
  PointArray<double> memoryTrace1{}, memoryTrace2{};
  PointArray<double> levelA{}, levelR{};

  // Room for `points` points and the look-ahead entries.
  void makeRoomFor(int points) {
    const auto size = static_cast<std::size_t>(std::max(points + 2, kMaxPoints));
    for (auto* a : {&frequency, &trace1, &trace2, &memoryTrace1, &memoryTrace2, &levelA, &levelR}) a->resize(size);
    for (auto* a : {&rawRatio, &memoryRatio, &workRatio, &workMemory}) a->resize(size);
  }
};

}  // namespace vna
