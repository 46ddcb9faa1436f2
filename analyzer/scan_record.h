// The per-point arrays of one scan and the flags that tie the scan loop and
// the idle loop together.
#pragma once

#include <array>
#include <complex>

#include "analyzer/sweep_plan.h"

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
  PointArray<Complex> impedance{};
  PointArray<Complex> memoryImpedance{};
  PointArray<double> trace1{}, trace2{};
  PointArray<double> memoryTrace1{}, memoryTrace2{};
  PointArray<double> levelA{}, levelR{};
  PointArray<Complex> openStd{}, shortStd{}, loadStd{};
};

// CalibrationState values.
namespace calibration {
inline constexpr int kOff = 0;
inline constexpr int kAsked = 1;
inline constexpr int kMeasuringOpen = 2;
inline constexpr int kAwaitingShort = 3;
inline constexpr int kMeasuringShort = 4;
inline constexpr int kAwaitingReference = 5;
inline constexpr int kMeasuringReference = 6;
inline constexpr int kOn = 7;
inline constexpr int kWarning = 8;
inline bool measuring(int state) { return state == 2 || state == 4 || state == 6; }
inline bool inProcedure(int state) { return state >= 1 && state <= 6; }
}  // namespace calibration

struct ScanControl {
  bool scanning = true;  // the program starts scanning by itself
  int currentPoint = 0;
  int resumePoint = 0;   // last completed point; a restarted scan begins here
  bool scanComplete = false;
  bool restartPending = false;
  bool memoryValid = false;
  bool recomputeRequested = false;
  bool stopRequested = false;
  bool exitRequested = false;
  int calibrationState = calibration::kOff;
  int displayMode = 0;
  int displayChoice = 0;  // 0 both, 1 first only, 2 both + memory, 3 first + memory

  // The resets of a plan change: the next start begins at point 0 with no memory.
  void invalidateScan() {
    scanComplete = false;
    memoryValid = false;
    currentPoint = 0;
    resumePoint = 0;
    restartPending = true;
  }
};

}  // namespace vna
