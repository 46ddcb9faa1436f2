// The figures of a two-port read off one sweep of its transmission: what
// kind of filter it is, its insertion loss, its edges 3, 6, 20 and 60 dB
// down, centre, bandwidth, loaded Q, passband ripple, shape factors and the
// group delay at its centre; or, for a line, its loss and delay. Pure:
// frequencies and s21 in, figures out. A figure the sweep does not reach is
// left empty, never extrapolated.
#pragma once

#include <complex>
#include <optional>
#include <span>

namespace vna {

enum class FilterKind {
  Lowpass,
  Highpass,
  Bandpass,
  Bandstop,
  Line,  // no edge in the sweep: flat loss (within 3 dB) and a phase slope
};

// Where the gain has fallen a given number of dB below its best (the
// insertion loss), interpolated between the points: a low-pass has only an
// upper edge, a high-pass only a lower one, a band-pass and a band-stop both.
struct BandEdges {
  std::optional<double> lower, upper;  // Hz
};

struct FilterFigures {
  FilterKind kind = FilterKind::Line;
  double insertionLossDb = 0;  // the least loss of the sweep, positive for a loss
  BandEdges edges3Db, edges6Db, edges20Db, edges60Db;
  std::optional<double> centreHz;     // geometric mean of the 3 dB edges
  std::optional<double> bandwidthHz;  // between the 3 dB edges (a band-stop's: its notch)
  std::optional<double> loadedQ;      // band-pass: centre / bandwidth
  // Largest minus least gain over the points inside the 3 dB edges (for a
  // line, over the whole sweep), in dB.
  std::optional<double> rippleDb;
  // The wider band over the narrower, so never below 1: BW60/BW6 and
  // BW20/BW3 of a band-pass, a low-pass's edges over each other (its band
  // runs from DC), a high-pass's the other way round, a band-stop's notch
  // widths inverted.
  std::optional<double> shapeFactor60To6, shapeFactor20To3;
  // From the phase step between the two points around the centre, as the
  // analyzers compute group delay.
  std::optional<double> delayAtCentreSeconds;
  // A line's delay from the slope of its phase (least squares over the
  // sweep), and how far its phase strays from that straight line.
  std::optional<double> lineDelaySeconds;
  std::optional<double> phaseDeviationDegrees;
};

// Nothing when the sweep cannot be read: fewer than two points, spans of
// different lengths, frequencies not rising or not finite, a transmission
// not finite, or none at all (every point 0). Edges are interpolated in dB against frequency, or against its
// logarithm when the points are spaced logarithmically.
std::optional<FilterFigures> filterFigures(std::span<const double> frequencies,
                                           std::span<const std::complex<double>> transmission);

}  // namespace vna
