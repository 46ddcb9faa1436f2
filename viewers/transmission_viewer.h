// transmission-viewer: shows the two-port files the transmission analyzer
// saves, with its gain, phase and group delay modes; s21, s12 or both.
#pragma once

#include <filesystem>
#include <vector>

#include "measurement/scan_record.h"
#include "viewers/viewer_program.h"

namespace vna {

class TransmissionViewerHooks : public ViewerHooks {
 public:
  explicit TransmissionViewerHooks(MeasurementState& state) : state_(state) {}

  void load(const TouchstoneScan& scan) override;
  void derivePoint(int i) override;
  bool secondCurvesShown() const override { return parameter_ == kBoth; }
  int trace2Trim() const override;
  void drawPanelExtras(Screen& screen, const PanelState& panel) const override;
  bool programChoice(PanelItem item, Click click) override;
  void showProgramChoice(Screen& screen, PanelItem item, bool hovered) const override;
  void afterScaleCheck() override;

  int parameter() const { return parameter_; }
  int delayAperture() const { return aperture(); }

 private:
  using Curves = DbAngleColumns;
  struct GainPhase {
    double gain = 0, phase = 0;
  };
  // Gain (in dB or units) and phase of point i as the file holds them.
  GainPhase quantitiesOf(const Curves& p, int i) const;
  // The delay over the aperture ending at point i, when there is one.
  std::optional<double> delayEndingAt(const Curves& p, int i) const;
  bool delayMode() const;
  int aperture() const;

  MeasurementState& state_;
  std::vector<double> fileFrequency_;  // the delay uses the frequencies the file holds
  Curves forward_, reverse_;        // s21 and s12
  int parameter_ = kFirst;
  int delayAperture_ = 2;
};

const ViewerProfile& transmissionViewerProfile();

using TransmissionViewer = Viewer<TransmissionViewerHooks, transmissionViewerProfile>;

}  // namespace vna
