// The instrument's sweep, point by point, apart from any screen. The
// instrument always runs one point ahead of the one being read:
//
//   start     load f[p] --> apply --> 20 ms --> load f[p+1] --> 20 ms
//   point p   acquire p    --> 40+k   <-- 7-byte sample groups
//             apply        the instrument moves on to p+1, loaded earlier
//             convert p
//             load f[p+2]  one point ahead again
//             pace         37 ms after the strobe before the next acquisition:
//                          15 ms sleeps up to 24 ms, then a plain wait
//
// Whatever path leads to an acquisition (the next point, the next sweep, a
// start after a reopen), it never leaves before the generators have had
// their 37 ms since the strobe that applied its frequency: acquire() itself
// holds the command back, so a wait that a host cut short (Ctrl+C ends
// vna-measure's sleeps at once) ends the acquisition instead.
//
// The frequency list holds N+2 entries, the last two repeating points 0 and
// 1 (buildFrequencyList), so the look-ahead runs on into the next sweep.
// The host gives the clock and the waits, and says whether to go on while a
// reply comes in; the analyzers' scan session and vna-measure are hosts.
#pragma once

#include <complex>
#include <functional>
#include <span>

#include "analyzer/instrument_link.h"
#include "analyzer/sample_conversion.h"

namespace vna {

// Damaged: a reply of the right length whose reference channel is no sine
// (measureSweep only; the analyzers show such a point as it came).
enum class Acquired { Point, TimedOut, Abandoned, Damaged };

class SweepEngine {
 public:
  SweepEngine(InstrumentLink& link, SerialChannel& channel, AcquisitionHost& host, const AcquisitionPacing& pacing)
      : link_(link), channel_(channel), host_(host), pacing_(pacing) {}

  // The instrument set to point `first` of `frequency`, the next one loaded.
  void start(std::span<const double> frequency, int first);
  // The samples of the point the instrument is at, asked for once the
  // generators have settled; Abandoned, with nothing sent, when the host
  // gives up before that.
  Acquired acquire();
  // Moves the instrument on to the point loaded ahead (the strobe).
  void strobe();
  // The samples just acquired as a ratio and levels.
  ConvertedPoint convert(double arGain, double arPhaseDegrees) const;
  // The samples just acquired came from the instrument (referenceIsSine).
  bool plausible() const;
  // Loads the point after next, then waits until the instrument is ready
  // for the next acquisition.
  void loadAheadAndPace(double frequencyAfterNext);

  Instrument instrument() { return Instrument(link_, channel_, host_); }

 private:
  // When the strobe just written reaches the instrument, and so when it is settled.
  void noteStrobe(double stillOnTheWire);
  bool settled();

  InstrumentLink& link_;
  SerialChannel& channel_;
  AcquisitionHost& host_;
  AcquisitionPacing pacing_;
  double strobeTime_ = 0;  // as the instrument gets it
  double settledAt_ = 0;  // strobeTime_ + the generators' settling time
};

// One whole sweep from point 0 to N-1 for a program without a window, the
// instrument standing at point 0 (after start(), or after the sweep before:
// the look-ahead wraps round): `onPoint` gets each point as it is measured.
// Returns how it ended: every point measured, a time-out, a damaged reply
// (nothing of that point is passed on), or the host abandoned it.
struct MeasuredPoint {
  int index = 0;
  double frequency = 0;
  ConvertedPoint converted;
};
Acquired measureSweep(SweepEngine& engine, std::span<const double> frequency, int points, double arGain,
                      double arPhaseDegrees, const std::function<void(const MeasuredPoint&)>& onPoint);

}  // namespace vna
