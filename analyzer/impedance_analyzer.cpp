#include "analyzer/impedance_analyzer.h"

#include "analyzer/sample_conversion.h"
#include "display/layout.h"
#include "files/atomic_file.h"
#include "reflection/impedance_modes.h"
#include "reflection/impedance_quantities.h"
#include "reflection/open_short_load.h"
#include "reflection/reference_load_screen.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

constexpr auto kFields = analyzerPanelFields(" Reference Load", " Reference Load ");

MeasurementProfile makeScreenProfile() {
  MeasurementProfile p;
  p.modes = impedanceModes();
  p.scales = impedanceScaleFormat();
  p.fields = kFields;
  p.displayChoiceColumn = P + 12;
  p.stepDisplayChoice = stepImpedanceDisplayChoice;
  p.procedure = &openShortLoadProcedure();
  p.help = &impedanceAnalyzerHelp();
  p.splash.subtitle = "To measure R,L,C and impedances";
  return p;
}

}  // namespace

const AnalyzerProfile& impedanceAnalyzerProfile() {
  static const MeasurementProfile screen = makeScreenProfile();
  static const AnalyzerProfile profile{screen, ScanStyle{}};
  return profile;
}

ImpedanceHooks::ImpedanceHooks(MeasurementState& state, ReflectionRecord& reflection, SettingsFile& settings,
                               std::filesystem::path settingsFile)
    : state_(state), reflection_(reflection), settings_(settings), settingsFile_(std::move(settingsFile)) {}

// Electrical length while calibration is off, the open/short/load correction
// while it is on, the nominal relation otherwise; then the mode's quantities.
void ImpedanceHooks::derivePoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  ScanRecord& r = state_.record;
  const ScanControl& c = state_.control;
  const CalibrationProcedure& procedure = openShortLoadProcedure();
  if (lengthApplies(procedure, c.procedureState)) {
    r.workRatio[p] = rotateByElectricalLength(r.rawRatio[p], state_.cableLength, r.frequency[p]);
    r.workMemory[p] = rotateByElectricalLength(r.memoryRatio[p], state_.cableLength, r.frequency[p]);
  }
  const bool corrected = correcting(procedure, c.procedureState);
  if (corrected) correctPoint(i);
  const double f = r.frequency[p];
  const Quantities q = impedanceQuantities(c.displayMode, impedanceOf(i), f);
  r.trace1[p] = q.first;
  r.trace2[p] = q.second;
  if (!display_choice::includesMemory(c.displayChoice)) return;
  const Complex zm = corrected ? reflection_.memoryImpedance[p] : nominalImpedance(r.workMemory[p]);
  const Quantities m = impedanceQuantities(c.displayMode, zm, f);
  if (c.memoryShown()) r.memoryTrace1[p] = m.first;
  r.memoryTrace2[p] = m.second;
}

// The corrected impedance while calibration is on or warning, the nominal
// relation otherwise.
Complex ImpedanceHooks::impedanceOf(int i) const {
  const auto p = static_cast<std::size_t>(i);
  return correcting(openShortLoadProcedure(), state_.control.procedureState)
             ? reflection_.impedance[p]
             : nominalImpedance(state_.record.workRatio[p]);
}

// The s11 of the display mode in dB, as a file holds it: single precision.
TouchstonePoint ImpedanceHooks::pointDbAngle(int i) const {
  return reflectionDbAngle(state_.record.frequency[static_cast<std::size_t>(i)], impedanceOf(i));
}

void ImpedanceHooks::correctPoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  const ScanRecord& r = state_.record;
  const Complex zl = referenceLoadImpedance(settings_.refR, settings_.refL, settings_.refC, r.frequency[p]);
  const auto correct = [&](Complex m) {
    return correctedImpedance(m, reflection_.openStd[p], reflection_.shortStd[p], reflection_.loadStd[p], zl);
  };
  reflection_.impedance[p] = correct(r.workRatio[p]);
  if (state_.control.memoryShown()) reflection_.memoryImpedance[p] = correct(r.memoryRatio[p]);
}

// No electrical length is involved: it applies only while calibration is off.
void ImpedanceHooks::storeStandard(int standard, int i) {
  const auto p = static_cast<std::size_t>(i);
  const Complex measured = state_.record.rawRatio[p];
  switch (static_cast<Standard>(standard)) {
    case Standard::Open: reflection_.openStd[p] = measured; break;
    case Standard::Short: reflection_.shortStd[p] = measured; break;
    case Standard::Load: reflection_.loadStd[p] = measured; break;
  }
}

void ImpedanceHooks::drawPanelExtras(Screen& screen, const PanelState& panel) const {
  const bool titleHovered = panel.hovered(PanelItem::Title);
  drawCircuitSymbol(screen, impedanceCircuitSymbol(state_.control.displayMode), titleHovered ? 0 : colour::kTrace1);
}

// The prompt for the reference load names its resistance.
void ImpedanceHooks::afterProcedureStep(Screen& s, int state) const {
  if (state != +CalibrationState::AwaitingReference) return;
  s.color(0, colour::kText);
  s.locate(20, 53);
  s.printPicture("####.###", settings_.refR);
  s.printAt(20, 61, " \xEA ");
  s.color(colour::kText, 0);
}

bool ImpedanceHooks::press(Screen& screen, ClickLatch& latch) {
  ReferenceLoad inUse{settings_.refR, settings_.refL, settings_.refC};
  referenceLoadScreen(screen, latch, settingsFile_, inUse);
  settings_.refR = inUse.refR;
  settings_.refL = inUse.refL;
  settings_.refC = inUse.refC;
  return false;
}

ImpedanceAnalyzer::ImpedanceAnalyzer(Screen& screen, ChannelFactory openChannel, std::filesystem::path settingsFile)
    : hooks_(state_, reflection_, settings_, settingsFile),
      files_(impedanceAnalyzerSaveAs(), state_, directoryOf(settingsFile),
             [this](int i) { return hooks_.pointDbAngle(i); }),
      program_(screen, state_, impedanceAnalyzerProfile(), {hooks_, hooks_, hooks_, files_}, hooks_,
               std::move(openChannel), std::move(settingsFile), settings_) {}

}  // namespace vna
