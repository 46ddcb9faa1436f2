// The arrays and settings only the transmission analyzer keeps: the
// normalization reference taken with a through connection, the ratios
// divided by it, and the group-delay aperture.
#pragma once

#include "measurement/scan_record.h"

namespace vna {

struct TransmissionRecord {
  PointArray<Complex> normalizationReference{};  // written while a normalization scan runs
  PointArray<Complex> normalizedRatio{};         // workRatio / reference, while normalization is on
  PointArray<Complex> normalizedMemory{};        // memoryRatio / reference, while the memory is shown
  int delayAperture = 2;                         // points between the two phases of a delay
};

}  // namespace vna
