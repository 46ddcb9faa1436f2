#include "analyzer/transmission_analyzer.h"

#include <algorithm>
#include <string>

#include "analyzer/sample_conversion.h"
#include "display/layout.h"
#include "files/atomic_file.h"
#include "transmission/adjustment_screen.h"
#include "transmission/normalization.h"
#include "transmission/transmission_modes.h"
#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;
constexpr int kApertureRow = 23;

constexpr auto kFields = withField(analyzerPanelFields(" Adjustment ", " Adjustment     "),
                                   valueField(PanelItem::DelayAperture, kApertureRow, FieldKind::Choice));

// While a point comes in, the keys and the Stop button are looked at before
// each of two 14 ms sleeps; the time-out texts are one character shorter.
const ScanStyle kScanStyle{AcquisitionPacing{2, 14, true}, " Error: USB timeout   ", " USB Reset : wait (3s)"};

MeasurementProfile makeScreenProfile() {
  MeasurementProfile p;
  setTransmissionLook(p);
  p.modes = transmissionModes();
  p.fields = kFields;
  p.stepDisplayChoice = stepTransmissionDisplayChoice;
  p.shownDisplayChoice = shownTransmissionDisplayChoice;
  p.procedure = &normalizationProcedure();
  p.help = &transmissionAnalyzerHelp();
  p.splash.subtitle = "To measure Filters and Amplifiers";
  return p;
}

}  // namespace

const AnalyzerProfile& transmissionAnalyzerProfile() {
  static const MeasurementProfile screen = makeScreenProfile();
  static const AnalyzerProfile profile{screen, kScanStyle};
  return profile;
}

TransmissionHooks::TransmissionHooks(MeasurementState& state, TransmissionRecord& transmission, SettingsFile& settings,
                                     std::filesystem::path settingsFile)
    : state_(state), transmission_(transmission), settings_(settings), settingsFile_(std::move(settingsFile)) {}

bool TransmissionHooks::normalizing() const {
  return correcting(normalizationProcedure(), state_.control.procedureState);
}

bool TransmissionHooks::delayMode() const {
  return state_.control.displayMode == static_cast<int>(TransmissionMode::GainDbDelay);
}

int TransmissionHooks::aperture() const {
  return std::min(transmission_.delayAperture, delayApertureLimit(state_.plan.points));
}

void TransmissionHooks::derivePoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  ScanRecord& r = state_.record;
  const ScanControl& c = state_.control;
  TransmissionRecord& t = transmission_;
  if (lengthApplies(normalizationProcedure(), c.procedureState)) {
    r.workRatio[p] = rotateByElectricalLength(r.rawRatio[p], state_.cableLength, r.frequency[p]);
    r.workMemory[p] = rotateByElectricalLength(r.memoryRatio[p], state_.cableLength, r.frequency[p]);
  }
  const bool divided = normalizing();
  if (divided) {
    t.normalizedRatio[p] = normalized(r.workRatio[p], t.normalizationReference[p]);
    if (c.memoryShown()) t.normalizedMemory[p] = normalized(r.memoryRatio[p], t.normalizationReference[p]);
  }
  const PointArray<Complex>& x = divided ? t.normalizedRatio : r.workRatio;
  const PointArray<Complex>& y = divided ? t.normalizedMemory : r.workMemory;

  const bool linearGain = c.displayMode == static_cast<int>(TransmissionMode::GainUnitsPhase);
  r.trace1[p] = linearGain ? modulus(x[p]) : gainDb(x[p]);
  if (c.memoryShown()) r.memoryTrace1[p] = linearGain ? modulus(y[p]) : gainDb(y[p]);
  const bool memoryPhase = c.displayChoice == display_choice::kBothWithMemory && c.memoryShown();
  if (!delayMode()) {
    r.trace2[p] = phaseDegrees(x[p]);
    if (divided || memoryPhase) r.memoryTrace2[p] = phaseDegrees(y[p]);
    return;
  }
  // The delay over the aperture ending at point i belongs to its middle.
  const int a = aperture();
  if (i < a) return;
  const auto before = static_cast<std::size_t>(i - a), middle = static_cast<std::size_t>(i - a / 2);
  r.trace2[middle] = groupDelayMicroseconds(x[p], x[before], r.frequency[p], r.frequency[before]);
  if (memoryPhase)
    r.memoryTrace2[middle] = groupDelayMicroseconds(y[p], y[before], r.frequency[p], r.frequency[before]);
}

// Taken without the electrical length, which never applies while normalizing.
void TransmissionHooks::storeStandard(int, int i) {
  const auto p = static_cast<std::size_t>(i);
  transmission_.normalizationReference[p] = state_.record.rawRatio[p];
}

TouchstonePoint TransmissionHooks::pointDbAngle(int i) const {
  const auto p = static_cast<std::size_t>(i);
  const Complex t = normalizing() ? transmission_.normalizedRatio[p] : state_.record.workRatio[p];
  return transmissionDbAngle(pointFrequency(state_.plan, i), t);
}

void TransmissionHooks::drawPanelExtras(Screen& s, const PanelState& panel) const {
  if (delayMode())
    drawDelayAperture(s, kApertureRow, aperture(), state_.plan.points, panel.hovered(PanelItem::DelayAperture));
  // "dB,A,R": the two letters in the colours of their level traces.
  if (state_.control.displayChoice == display_choice::kLevels) {
    const int back = panel.hovered(PanelItem::Display) ? colour::kText : 0;
    s.color(colour::kLevelA, back);
    s.printAt(26, P + 16, "A");
    s.color(colour::kLevelR, back);
    s.printAt(26, P + 18, "R");
  }
}

bool TransmissionHooks::programChoice(PanelItem, Click click) {
  transmission_.delayAperture = stepDelayAperture(transmission_.delayAperture, state_.plan.points, click == Click::Left);
  return true;
}

void TransmissionHooks::showProgramChoice(Screen& s, PanelItem, bool hovered) const {
  showDelayAperture(s, kApertureRow, aperture(), state_.plan.points, hovered);
}

// The delay has no value within half an aperture of either end.
int TransmissionHooks::trace2Trim() const { return delayMode() ? aperture() / 2 : 0; }

void TransmissionHooks::afterScaleCheck() { transmission_.delayAperture = aperture(); }

bool TransmissionHooks::press(Screen& screen, ClickLatch& latch) {
  ArAdjustment inUse{settings_.arGain, settings_.arPhase, settings_.clockHz};
  adjustmentScreen(screen, latch, settingsFile_, inUse);
  settings_.arGain = inUse.arGain;
  settings_.arPhase = inUse.arPhase;
  settings_.clockHz = inUse.clockHz;
  return false;
}

TransmissionAnalyzer::TransmissionAnalyzer(Screen& screen, ChannelFactory openChannel,
                                           std::filesystem::path settingsFile)
    : hooks_(state_, transmission_, settings_, settingsFile),
      files_(transmissionAnalyzerSaveAs(), state_, directoryOf(settingsFile),
             [this](int i) { return hooks_.pointDbAngle(i); }),
      program_(screen, state_, transmissionAnalyzerProfile(), {hooks_, hooks_, hooks_, files_}, hooks_,
               std::move(openChannel), std::move(settingsFile), settings_) {}

}  // namespace vna
