// impedance-viewer: shows the one-port and two-port files the impedance
// analyzer saves, with its display modes, scales and markers; s11, s22 or
// both of a two-port file.
#pragma once

#include <filesystem>
#include <vector>

#include "measurement/scan_record.h"
#include "reflection/impedance_quantities.h"
#include "viewers/viewer_program.h"

namespace vna {

class ImpedanceViewerHooks : public ViewerHooks {
 public:
  explicit ImpedanceViewerHooks(MeasurementState& state) : state_(state) {}

  void load(const TouchstoneScan& scan) override;
  void derivePoint(int i) override;
  bool secondCurvesShown() const override { return parameter_ == kBoth; }
  void drawPanelExtras(Screen& screen, const PanelState& panel) const override;
  bool programChoice(PanelItem item, Click click) override;
  void showProgramChoice(Screen& screen, PanelItem item, bool hovered) const override;

  int parameter() const { return parameter_; }
  bool twoPort() const { return twoPort_; }

 private:
  struct Port {
    std::vector<double> db;
    std::vector<Complex> impedance;  // rebuilt from the dB and angle shown
  };
  Quantities quantitiesOf(const Port& port, int i) const;

  MeasurementState& state_;
  Port input_, output_;  // s11 and s22
  bool twoPort_ = false;
  int parameter_ = kFirst;
};

const ViewerProfile& impedanceViewerProfile();

using ImpedanceViewer = Viewer<ImpedanceViewerHooks, impedanceViewerProfile>;

}  // namespace vna
