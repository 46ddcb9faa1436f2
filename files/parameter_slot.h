// Where one S parameter stands in a two-port Touchstone data line. The line
// has nine fields: the frequency, then dB and angle of s11, s21, s12, s22
// (the order of Touchstone version 1, not the matrix order).
#pragma once

namespace vna {

// The impedance analyzer saves its reflection as s11 or s22, the
// transmission analyzer its transmission as s21 or s12.
enum class ParameterSlot { s11, s21, s12, s22 };

inline constexpr int kTwoPortFieldCount = 9;

// Index of the slot's dB field; its angle follows at the next index.
constexpr int dbFieldOf(ParameterSlot slot) {
  switch (slot) {
    case ParameterSlot::s11: return 1;
    case ParameterSlot::s21: return 3;
    case ParameterSlot::s12: return 5;
    case ParameterSlot::s22: return 7;
  }
  return 1;
}

}  // namespace vna
