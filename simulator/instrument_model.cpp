#include "simulator/instrument_model.h"

#include <algorithm>
#include <cmath>

#include "platform/numeric.h"
#include "simulator/command_text.h"
#include "simulator/input_sampler.h"
#include "simulator/sample_frames.h"

namespace vna {
namespace {

constexpr std::uint32_t kOffsetSteps = 716;  // second generator above the first
constexpr double kWordScale = 4294967296.0;  // 2^32 tuning steps per clock
constexpr double kDefaultClockHz = 150000000.0;
constexpr double kSettleSeconds = 0.037;  // after a strobe, before sampling
constexpr std::size_t kMaxNotes = 1000;
// The generators lose about 1 dB towards the top of the range.
constexpr double kRollOffDbAt100MHz = 1.0;

void keep(std::deque<ModelNote>& notes, double t, std::string text) {
  notes.push_back({t, std::move(text)});
  if (notes.size() > kMaxNotes) notes.pop_front();
}

std::vector<ModelNote> drain(std::deque<ModelNote>& notes) {
  std::vector<ModelNote> taken(notes.begin(), notes.end());
  notes.clear();
  return taken;
}

}  // namespace

InstrumentModel::InstrumentModel(InstrumentSettings settings, std::uint64_t seed) : settings_(settings), noise_(seed) {}

void InstrumentModel::setFault(const FaultPlan& fault, double now) {
  if (fault.kind == FaultKind::Unplug) {
    unpluggedAt_ = now;
    pluggedAgainAt_ = fault.seconds > 0.0 ? now + fault.seconds : std::numeric_limits<double>::infinity();
    ++plugGeneration_;
    powerCycle();
    fault_ = FaultPlan::none();
    log(now, "port unplugged");
    return;
  }
  if (!present(now)) pluggedAgainAt_ = now;
  fault_ = fault;
  log(now, "fault: " + describeFault(fault));
}

// The instrument is powered from the USB cable: unplugging it forgets
// everything, including a half-sent reply.
void InstrumentModel::powerCycle() {
  parser_.clear();
  line_.clear();
  gen_ = Generators{};
}

void InstrumentModel::receive(std::span<const std::uint8_t> bytes, double now) {
  now = std::max(now, lastTime_);
  lastTime_ = now;
  if (!present(now)) return;
  std::vector<ParsedItem> items;
  for (std::uint8_t byte : bytes) {
    inputFreeAt_ = std::max(now, inputFreeAt_) + kByteSeconds;
    items.clear();
    parser_.feed(byte, items);
    for (const ParsedItem& item : items) handle(item, inputFreeAt_);
  }
}

void InstrumentModel::handle(const ParsedItem& item, double t) {
  switch (item.kind) {
    case ParsedKind::Reset:
      gen_ = Generators{};
      gen_.serialMode = true;
      ++resets_;
      log(t, "reset");
      return;
    case ParsedKind::LoadWords: load(item.words, t); return;
    case ParsedKind::Strobe: strobe(t); return;
    case ParsedKind::Acquire: acquire(item.sampleCode, t); return;
    case ParsedKind::Complaint: diagnose(t, item.complaint); return;
  }
}

void InstrumentModel::load(const FrequencyWords& words, double t) {
  if (!gen_.serialMode) {
    diagnose(t, "frequency words before the reset sequence: the generators ignore them");
    return;
  }
  gen_.loaded = words;
  gen_.wordsLoaded = true;
  const std::uint32_t difference = words.offset - words.tuning;
  if (difference != kOffsetSteps) {
    diagnose(t, formatted("offset word %u is the tuning word %u + %u, not + 716", static_cast<unsigned>(words.offset),
                          static_cast<unsigned>(words.tuning), static_cast<unsigned>(difference)));
  }
  log(t, formatted("load %.3f Hz (tuning word %u, offset word %u)", frequencyOf(words.tuning),
                   static_cast<unsigned>(words.tuning), static_cast<unsigned>(words.offset)));
}

void InstrumentModel::strobe(double t) {
  if (!gen_.serialMode) {
    diagnose(t, "strobe before the reset sequence: ignored");
    return;
  }
  if (!gen_.wordsLoaded) diagnose(t, "strobe without frequency words loaded since the reset");
  gen_.previous = gen_.active;
  gen_.appliedBefore = gen_.applied;
  gen_.active = gen_.loaded;
  gen_.applied = true;
  gen_.strobeTime = t;
  log(t, formatted("strobe: generators at %.3f Hz", activeFrequency()));
}

void InstrumentModel::checkAcquisition(double t) {
  if (!gen_.applied) {
    diagnose(t, "acquisition without a frequency applied since the reset: the generators are off");
  } else if (t - gen_.strobeTime < kSettleSeconds - settings_.settleSlackSeconds) {
    diagnose(t, formatted("acquisition %.1f ms after the strobe: the generators need %.0f ms to settle",
                          (t - gen_.strobeTime) * 1000.0, kSettleSeconds * 1000.0));
  }
  if (line_.busyUntil() > t) diagnose(t, "acquisition while the previous reply is still being sent");
}

void InstrumentModel::acquire(int sampleCode, double t) {
  ++acquisitions_;
  checkAcquisition(t);
  const int samples = 7 << sampleCode;
  const FaultPlan fault = fault_;
  wearOffFault();
  if (fault.kind == FaultKind::Silence) {
    log(t, formatted("acquire %d samples: no answer (fault)", samples));
    return;
  }
  // A reply still on its way is finished first: the firmware does one thing
  // at a time.
  const double start = std::max(t, line_.busyUntil());
  const double firstSample = start + samplePeriod();
  std::vector<std::uint8_t> bytes = reply(samples, firstSample);
  if (fault.kind == FaultKind::ShortReply) bytes.pop_back();
  if (fault.kind == FaultKind::Garbage) std::generate(bytes.begin(), bytes.end(), [this] { return noise_.byte(); });
  if (fault.kind == FaultKind::ExtraBytes) {
    for (int i = 0; i < fault.extraBytes; ++i) line_.send(noise_.byte(), start);
  }
  send(bytes, firstSample, samples, fault.kind == FaultKind::Stall ? fault.seconds : 0.0);
  const std::string note = fault.kind == FaultKind::None ? "" : " (fault " + describeFault(fault) + ")";
  log(t, formatted("acquire %d samples at %.3f Hz: %zu bytes until %.4f s%s", samples, activeFrequency(), bytes.size(),
                   line_.busyUntil(), note.c_str()));
}

// The samples the converter takes from `firstSample` on, as reply bytes.
std::vector<std::uint8_t> InstrumentModel::reply(int samples, double firstSample) {
  const double f = activeFrequency();
  AcquisitionSetup setup;
  setup.samples = samples;
  setup.firstSampleTime = firstSample;
  setup.samplePeriod = samplePeriod();
  setup.beatHz = static_cast<std::int32_t>(gen_.active.offset - gen_.active.tuning) * clockHz() / kWordScale;
  setup.referenceAmplitude = referenceAmplitudeAt(f);
  setup.ratio = ratioAt(f);
  setup.ratioBefore = gen_.appliedBefore ? ratioAt(frequencyOf(gen_.previous.tuning)) : std::complex<double>{};
  setup.strobeTime = gen_.strobeTime;
  setup.generatorsRunning = gen_.applied;
  setup.compression = settings_.compression;
  setup.noiseCounts = std::max(0.0, settings_.noiseCounts);
  const std::vector<SamplePair> pairs = takeSamples(setup, noise_);
  return encodeReply(pairs);
}

// Byte i belongs to group i / 7, which leaves when its sample is taken; a
// stall holds back the second half of the reply.
void InstrumentModel::send(const std::vector<std::uint8_t>& bytes, double firstSample, int samples,
                           double stallSeconds) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int group = std::min(static_cast<int>(i / 7), samples - 1);
    double at = firstSample + group * samplePeriod();
    if (group >= samples / 2) at += stallSeconds;
    line_.send(bytes[i], at);
  }
}

// A fault for N replies wears off after the Nth.
void InstrumentModel::wearOffFault() {
  if (fault_.kind != FaultKind::None && fault_.replies > 0 && --fault_.replies == 0) fault_ = FaultPlan::none();
}

double InstrumentModel::clockHz() const {
  return settings_.clockHz > 0.0 ? settings_.clockHz : kDefaultClockHz;
}

double InstrumentModel::frequencyOf(std::uint32_t tuningWord) const {
  return tuningWord * clockHz() / kWordScale;
}

double InstrumentModel::activeFrequency() const {
  return gen_.applied ? frequencyOf(gen_.active.tuning) : 0.0;
}

double InstrumentModel::samplePeriod() const {
  return kWordScale / (7.0 * kOffsetSteps * clockHz());
}

std::complex<double> InstrumentModel::ratioAt(double f) const {
  const double phase = settings_.arPhaseDegrees / 360.0 * 2.0 * kPi;
  return pathRatioAt(device_, f, settings_.pathErrors) * std::polar(settings_.arGain, phase);
}

double InstrumentModel::referenceAmplitudeAt(double f) const {
  const double x = f / 100.0e6;
  return std::pow(10.0, (settings_.referenceLevelDbm - kRollOffDbAt100MHz * x * x) / 20.0);
}

std::vector<ModelNote> InstrumentModel::takeDiagnostics() {
  return drain(notes_);
}

std::vector<ModelNote> InstrumentModel::takeLog() {
  return drain(log_);
}

void InstrumentModel::diagnose(double t, std::string text) {
  keep(notes_, t, std::move(text));
}

void InstrumentModel::log(double t, std::string text) {
  if (logging_) keep(log_, t, std::move(text));
}

}  // namespace vna
