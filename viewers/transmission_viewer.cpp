#include "viewers/transmission_viewer.h"

#include <algorithm>
#include <cmath>

#include "display/layout.h"
#include "transmission/transmission_modes.h"
#include "transmission/transmission_quantities.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;
constexpr int kApertureRow = 22;

constexpr auto kFields = withField(viewerPanelFields(" Copy screen to File"),
                                   valueField(PanelItem::DelayAperture, kApertureRow, FieldKind::Choice));

constexpr ParameterTexts kParameterTexts{{" s21         ", " s12         ", " s21 & s12    "}, {"s21", "s12"}};

MeasurementProfile makeScreenProfile() {
  static const ViewerModes modes(transmissionModes(), "");
  MeasurementProfile p;
  setTransmissionLook(p);
  p.modes = modes.modes();
  p.fields = kFields;
  setViewerBasics(p, transmissionViewerHelp());
  return p;
}

}  // namespace

const ViewerProfile& transmissionViewerProfile() {
  static const MeasurementProfile screen = makeScreenProfile();
  static const ViewerProfile profile{screen, transmissionViewerFiles(), transmissionViewerSaveAs(),
                                     [](std::string_view) { return TouchstoneColumns::TwoPortS21S12; }};
  return profile;
}

void TransmissionViewerHooks::load(const TouchstoneScan& scan) {
  fileFrequency_ = scan.frequency;
  forward_ = shownDbAngles(scan.s1, scan.writtenAngle1);
  reverse_ = shownDbAngles(scan.s2, scan.writtenAngle2);
  parameter_ = kFirst;
}

bool TransmissionViewerHooks::delayMode() const {
  return state_.control.displayMode == static_cast<int>(TransmissionMode::GainDbDelay);
}

int TransmissionViewerHooks::aperture() const {
  return std::min(delayAperture_, delayApertureLimit(state_.plan.points));
}

TransmissionViewerHooks::GainPhase TransmissionViewerHooks::quantitiesOf(const Curves& p, int i) const {
  const auto k = static_cast<std::size_t>(i);
  if (k >= p.db.size()) return {};
  const bool linearGain = state_.control.displayMode == static_cast<int>(TransmissionMode::GainUnitsPhase);
  return {linearGain ? std::pow(10.0, p.db[k] / 20.0) : p.db[k], p.angle[k]};
}

std::optional<double> TransmissionViewerHooks::delayEndingAt(const Curves& p, int i) const {
  const int a = aperture();
  const auto now = static_cast<std::size_t>(i), before = static_cast<std::size_t>(i - a);
  if (i < a || now >= p.angle.size() || now >= fileFrequency_.size()) return std::nullopt;
  return groupDelayFromAngles(p.angle[now], p.angle[before], fileFrequency_[now], fileFrequency_[before]);
}

// s21 or s12 as trace 1 and 2; with both, s12 in the memory traces' places.
// A delay belongs to the middle of its aperture.
void TransmissionViewerHooks::derivePoint(int i) {
  ScanRecord& r = state_.record;
  const auto p = static_cast<std::size_t>(i);
  const auto middle = static_cast<std::size_t>(std::max(i - aperture() / 2, 0));
  const auto fill = [&](const Curves& curves, PointArray<double>& gain, PointArray<double>& second) {
    const GainPhase q = quantitiesOf(curves, i);
    gain[p] = q.gain;
    if (!delayMode()) {
      second[p] = q.phase;
    } else if (const auto delay = delayEndingAt(curves, i)) {
      second[middle] = *delay;
    }
  };
  fill(parameter_ == kSecond ? reverse_ : forward_, r.trace1, r.trace2);
  if (parameter_ == kBoth) fill(reverse_, r.memoryTrace1, r.memoryTrace2);
}

void TransmissionViewerHooks::drawPanelExtras(Screen& screen, const PanelState& panel) const {
  if (delayMode())
    drawDelayAperture(screen, kApertureRow, aperture(), state_.plan.points, panel.hovered(PanelItem::DelayAperture));
  showParameter(screen, kParameterTexts, parameter_, panel.hovered(PanelItem::Parameter));
}

bool TransmissionViewerHooks::programChoice(PanelItem item, Click click) {
  if (item == PanelItem::DelayAperture) {
    delayAperture_ = stepDelayAperture(delayAperture_, state_.plan.points, click == Click::Left);
  } else {
    parameter_ = stepParameter(parameter_, click == Click::Left);
  }
  return true;
}

void TransmissionViewerHooks::showProgramChoice(Screen& screen, PanelItem item, bool hovered) const {
  if (item == PanelItem::DelayAperture) {
    showDelayAperture(screen, kApertureRow, aperture(), state_.plan.points, hovered);
  } else {
    showParameter(screen, kParameterTexts, parameter_, hovered);
  }
}

int TransmissionViewerHooks::trace2Trim() const { return delayMode() ? aperture() / 2 : 0; }

void TransmissionViewerHooks::afterScaleCheck() { delayAperture_ = aperture(); }

}  // namespace vna
