#include "analyzer/sweep_engine.h"

namespace vna {
namespace {

// The generators settle for 37 ms after a strobe before the instrument may
// sample; the program sleeps in 15 ms steps up to 24 ms and waits plainly
// for the rest.
constexpr double kSettleSeconds = 0.037;
constexpr double kCoarsePacingSeconds = 0.024;
constexpr int kPacingSleepMs = 15;
// One byte on the wire at 57600 baud: start bit, 8 data bits, stop bit.
constexpr double kWireByteSeconds = 10.0 / 57600.0;

}  // namespace

void SweepEngine::start(std::span<const double> frequency, int first) {
  const auto p = static_cast<std::size_t>(first);
  instrument().loadFrequency(frequency[p]);
  instrument().applyFrequency();
  // This strobe leaves behind the eight word bytes just written: it reaches
  // the instrument ten byte times from now, not at once as between points.
  noteStrobe(10 * kWireByteSeconds);
  host_.sleep(20);
  instrument().loadFrequency(frequency[p + 1]);
  host_.sleep(20);
}

void SweepEngine::noteStrobe(double stillOnTheWire) {
  strobeTime_ = host_.now() + stillOnTheWire;
  settledAt_ = strobeTime_ + kSettleSeconds;
}

// Normally the pacing or the start has waited already. A host gives up by
// cutting its waits short (vna-measure after Ctrl+C): then the command must
// not go out early, and the acquisition is abandoned before it is asked for.
bool SweepEngine::settled() {
  while (host_.now() < settledAt_) {
    if (!host_.keepGoing(AcquisitionProgress{0, link_.sampleCode})) return false;
    host_.pauseUntil(settledAt_);
  }
  return true;
}

Acquired SweepEngine::acquire() {
  if (!settled() || !instrument().acquirePoint(pacing_)) return Acquired::Abandoned;
  return link_.timedOut ? Acquired::TimedOut : Acquired::Point;
}

void SweepEngine::strobe() {
  instrument().applyFrequency();
  noteStrobe(0.0);
}

ConvertedPoint SweepEngine::convert(double arGain, double arPhaseDegrees) const {
  const auto samples = static_cast<std::size_t>(link_.sampleCode + 1);
  return convertSamples(std::span(link_.sampleR).first(samples), std::span(link_.sampleA).first(samples),
                        link_.sampleCode, arGain, arPhaseDegrees);
}

bool SweepEngine::plausible() const {
  return referenceIsSine(link_.sampleR, link_.sampleCode);
}

void SweepEngine::loadAheadAndPace(double frequencyAfterNext) {
  instrument().loadFrequency(frequencyAfterNext);
  while (host_.now() - strobeTime_ < kCoarsePacingSeconds) host_.sleep(kPacingSleepMs);
  host_.pauseUntil(settledAt_);
}

Acquired measureSweep(SweepEngine& engine, std::span<const double> frequency, int points, double arGain,
                      double arPhaseDegrees, const std::function<void(const MeasuredPoint&)>& onPoint) {
  for (int i = 0; i < points; ++i) {
    if (const Acquired a = engine.acquire(); a != Acquired::Point) return a;
    if (!engine.plausible()) return Acquired::Damaged;
    engine.strobe();
    const auto p = static_cast<std::size_t>(i);
    onPoint({i, frequency[p], engine.convert(arGain, arPhaseDegrees)});
    engine.loadAheadAndPace(frequency[p + 2]);
  }
  return Acquired::Point;
}

}  // namespace vna
