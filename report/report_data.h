// What one page of a measurement's analysis shows, as plain values: the
// caller (vna-measure analyze) has measured, fitted and formatted; the
// report only draws.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace vna {

// An impedance (|Z|, its phase and a Smith chart) or a transmission (gain,
// phase and group delay).
enum class ReportKind { OnePort, TwoPort };

// A resonance or a filter's edge: drawn as a line on the plots and a dot on
// the Smith chart, with its label ("fs", "-3 dB").
struct ReportMarker {
  double frequencyHz = 0;
  std::string label;
};

// One line of the results table, every cell already as text.
struct ReportRow {
  std::string name, value, uncertainty, unit;
};

struct ReportData {
  std::string title;               // the measurement file's name
  std::vector<std::string> lines;  // under the title: date, plan, the model chosen and why
  ReportKind kind = ReportKind::OnePort;
  double referenceOhms = 50;
  std::vector<double> frequencyHz;
  // Z in ohms (one-port) or s21 (two-port), one per frequency.
  std::vector<std::complex<double>> measured;
  // The fitted model at the same frequencies, or empty when there is none.
  std::vector<std::complex<double>> model;
  std::vector<ReportMarker> markers;
  std::vector<ReportRow> table;
};

}  // namespace vna
