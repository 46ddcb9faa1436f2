#include "analyzer/sweep_engine.h"

namespace vna {

void SweepEngine::start(std::span<const double> frequency, int first) {
  const auto p = static_cast<std::size_t>(first);
  instrument().loadFrequency(frequency[p]);
  instrument().applyFrequency();
  host_.sleep(20);
  instrument().loadFrequency(frequency[p + 1]);
  host_.sleep(20);
}

Acquired SweepEngine::acquire() {
  if (!instrument().acquirePoint(pacing_)) return Acquired::Abandoned;
  return link_.timedOut ? Acquired::TimedOut : Acquired::Point;
}

void SweepEngine::strobe() {
  instrument().applyFrequency();
  strobeTime_ = host_.now();
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
  // The instrument needs 37 ms after the strobe before the next acquisition.
  while (host_.now() - strobeTime_ < 0.024) host_.sleep(15);
  host_.pauseUntil(strobeTime_ + 0.037);
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
