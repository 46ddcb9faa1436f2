#include "viewers/impedance_viewer.h"

#include <cmath>
#include <string>
#include <utility>

#include "display/layout.h"
#include "platform/numeric.h"
#include "reflection/impedance_modes.h"
#include "reflection/impedance_quantities.h"

namespace vna {
namespace {

constexpr int P = kPanelColumn;

constexpr auto kFields = viewerPanelFields(" Copy Screen to File");

constexpr ParameterTexts kParameterTexts{{" s11 (input)  ", " s22 (output) ", " s11 & s22    "}, {"s11", "s22"}};

MeasurementProfile makeScreenProfile() {
  // The analyzer's "display:" texts, one blank longer.
  static const ViewerModes modes(impedanceModes(), " ");
  MeasurementProfile p;
  p.modes = modes.modes();
  p.scales = impedanceScaleFormat();
  p.fields = kFields;
  p.displayChoiceColumn = P + 12;
  setViewerBasics(p, impedanceViewerHelp());
  return p;
}

}  // namespace

const ViewerProfile& impedanceViewerProfile() {
  static const MeasurementProfile screen = makeScreenProfile();
  static const ViewerProfile profile{screen, impedanceViewerFiles(), impedanceViewerSaveAs(), impedanceViewerColumns};
  return profile;
}

// Each port's impedance on the file's reference for that port.
void ImpedanceViewerHooks::load(const TouchstoneScan& scan) {
  twoPort_ = !scan.s2.empty();
  parameter_ = kFirst;
  const auto fill = [](Port& port, const std::vector<Complex>& s, const std::vector<double>& angle, double reference) {
    DbAngleColumns shown = shownDbAngles(s, angle);
    port.impedance.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
      port.impedance[i] = impedanceFromReflection(shown.db[i], shown.angle[i], reference);
    port.db = std::move(shown.db);
  };
  fill(input_, scan.s1, scan.writtenAngle1, scan.reference1);
  fill(output_, scan.s2, scan.writtenAngle2, scan.reference2);
}

// The analyzer's quantities of the port's impedance; the s11 modes show the
// file's own magnitude.
Quantities ImpedanceViewerHooks::quantitiesOf(const Port& port, int i) const {
  const auto p = static_cast<std::size_t>(i);
  Complex z = port.impedance[p];
  if (z.real() == 0) z.real(1e-32);  // keeps Q and the parallel models finite
  if (z.imag() == 0) z.imag(1e-32);
  const int mode = state_.control.displayMode;
  Quantities q = impedanceQuantities(mode, z, state_.record.frequency[p]);
  if (mode == static_cast<int>(ImpedanceMode::S11Db)) q.first = port.db[p];
  if (mode == static_cast<int>(ImpedanceMode::S11Linear)) q.first = std::pow(10.0, port.db[p] / 20);
  return q;
}

// The port shown in the traces; with both, s22 in the memory traces' places.
void ImpedanceViewerHooks::derivePoint(int i) {
  const auto p = static_cast<std::size_t>(i);
  ScanRecord& r = state_.record;
  const auto fill = [&](const Port& port, PointArray<double>& first, PointArray<double>& second) {
    if (p >= port.db.size()) return;
    const Quantities q = quantitiesOf(port, i);
    first[p] = q.first;
    second[p] = q.second;
  };
  fill(parameter_ == kSecond ? output_ : input_, r.trace1, r.trace2);
  if (parameter_ == kBoth) fill(output_, r.memoryTrace1, r.memoryTrace2);
}

void ImpedanceViewerHooks::drawPanelExtras(Screen& screen, const PanelState& panel) const {
  showProgramChoice(screen, PanelItem::Parameter, panel.hovered(PanelItem::Parameter));
  drawCircuitSymbol(screen, impedanceCircuitSymbol(state_.control.displayMode),
                    panel.hovered(PanelItem::Title) ? 0 : colour::kTrace1);
}

// A one-port file has only s11.
bool ImpedanceViewerHooks::programChoice(PanelItem, Click click) {
  if (!twoPort_) return false;
  parameter_ = stepParameter(parameter_, click == Click::Left);
  return true;
}

void ImpedanceViewerHooks::showProgramChoice(Screen& screen, PanelItem, bool hovered) const {
  showParameter(screen, kParameterTexts, parameter_, hovered);
}

}  // namespace vna
