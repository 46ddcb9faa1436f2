// The impedance analyzer program: start-up, the scan loop that measures one
// point per pass, and the idle loop that serves the panel.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "analyzer/instrument_link.h"
#include "analyzer/scan_record.h"
#include "analyzer/sweep_plan.h"
#include "display/click_latch.h"
#include "display/panel_fields.h"
#include "display/scale_set.h"
#include "files/settings_file.h"
#include "platform/screen.h"
#include "platform/serial_channel.h"

namespace vna {

// Makes the channel to the instrument for a port number ("/dev/ttyUSB" + n).
using ChannelFactory = std::function<std::unique_ptr<SerialChannel>(int portNumber)>;

class ImpedanceAnalyzer {
 public:
  ImpedanceAnalyzer(Screen& screen, ChannelFactory openChannel,
                    std::filesystem::path settingsFile = kSettingsFileName);

  // Runs until Esc or Exit; returns the exit status.
  int run();

  // State, readable by tests.
  const ScanControl& control() const { return ctl_; }
  const SweepPlan& plan() const { return plan_; }
  const ScanRecord& record() const { return scan_; }
  const ScaleSet& scales() const { return scales_; }
  const InstrumentLink& link() const { return link_; }
  const SettingsFile& settings() const { return settings_; }
  const ErrorFlags& errors() const { return errors_; }
  double cableLength() const { return cableLength_; }

 private:
  enum class Next { ScanStart, Scan, Idle, Exit };

  // Start-up and the two loops, in the order the passes run their steps.
  void startUp();
  void splash();
  void scanStart();
  Next scanPass();
  Next idlePass();

  Next stopScan();
  Next handleTimeout();
  void endCalibrationStep();
  void convertPoint(int i);
  void correctPoint(int i);
  void deriveQuantities(int i);
  bool calibrated() const;
  bool memoryShown() const;
  void recomputeAll();

  // Drawing.
  void redrawAll();
  void refreshTraces();
  void drawPanel();
  void drawMarkerReadout();
  void drawTraces();

  // Idle loop: panel items, keys and buttons.
  Next handlePanel(const MouseState& mouse);
  Next handleKey(const std::string& key);
  Next startButton();
  Next startScanning();
  void copyToMemory();
  void saveToFile();
  void showAcquisitionError();
  void updateHover(const MouseState& mouse);
  void numberEntry(PanelItem item, std::string pendingKey);
  void showField(PanelItem item, bool hovered);
  void wheelStep(PanelItem item, const MouseState& mouse, int delta);
  void choiceClick(PanelItem item, Click click);
  void zoomOnMarkers();
  void dragMarkers(const MouseState& mouse);
  void checkScales();
  bool validationPending() const { return errors_.any(); }

  Screen& screen_;
  ChannelFactory openChannel_;
  std::filesystem::path settingsFile_;
  std::unique_ptr<SerialChannel> channel_;

  SettingsFile settings_;  // as read from "configu", unusable values replaced by defaults
  SweepPlan plan_;
  ScanRecord scan_;
  ScanControl ctl_;
  ScaleSet scales_ = impedanceDefaultScales();
  InstrumentLink link_;
  PanelState panel_;
  ErrorFlags errors_;
  ClickLatch latch_;
  double cableLength_ = 0;
  bool stopHighlighted_ = false;
  bool markerGrabbed1_ = false, markerGrabbed2_ = false;
};

}  // namespace vna
