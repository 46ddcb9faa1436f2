// transmission-analyzer: two-port measurements (filters, amplifiers) of the
// ratio of input A to input R, normalized with a through connection. The
// shared analyzer program with the transmission profile and these hooks.
#pragma once

#include <filesystem>

#include "analyzer/analyzer_program.h"
#include "files/measurement_files.h"
#include "transmission/transmission_record.h"

namespace vna {

// What the transmission analyzer does its own way.
class TransmissionHooks : public PointQuantities, public ProgramPanel, public ProgramButton, public ProcedureSteps {
 public:
  // The Adjustment screen saves to `settingsFile`.
  TransmissionHooks(MeasurementState& state, TransmissionRecord& transmission, SettingsFile& settings,
                    std::filesystem::path settingsFile);

  // Length or normalization, then gain, phase or group delay.
  void derivePoint(int i) override;
  // The through connection's ratio, the reference of later points.
  void storeStandard(int standard, int i) override;
  void drawPanelExtras(Screen& screen, const PanelState& panel) const override;
  // The delay aperture, present in the delay mode.
  bool programChoice(PanelItem item, Click click) override;
  void showProgramChoice(Screen& screen, PanelItem item, bool hovered) const override;
  int trace2Trim() const override;
  void afterScaleCheck() override;
  // The Adjustment screen; what it saves is used from the next scan on.
  bool press(Screen& screen, ClickLatch& latch) override;
  // The transmission of point i in dB and degrees, at the plan's frequency.
  TouchstonePoint pointDbAngle(int i) const;

 private:
  bool normalizing() const;
  bool delayMode() const;
  // The aperture in use: never more than the plan's points allow.
  int aperture() const;

  MeasurementState& state_;
  TransmissionRecord& transmission_;
  SettingsFile& settings_;
  std::filesystem::path settingsFile_;
};

const AnalyzerProfile& transmissionAnalyzerProfile();

class TransmissionAnalyzer {
 public:
  TransmissionAnalyzer(Screen& screen, ChannelFactory openChannel,
                       std::filesystem::path settingsFile = kSettingsFileName);

  // Runs until Esc or Exit; returns the exit status.
  int run() { return program_.run(); }

  // State, readable by tests.
  const ScanControl& control() const { return state_.control; }
  const SweepPlan& plan() const { return state_.plan; }
  const ScanRecord& record() const { return state_.record; }
  const TransmissionRecord& transmission() const { return transmission_; }
  const ScaleSet& scales() const { return state_.scales; }
  const InstrumentLink& link() const { return program_.link(); }
  const SettingsFile& settings() const { return settings_; }
  const ErrorFlags& errors() const { return program_.errors(); }
  double cableLength() const { return state_.cableLength; }

 private:
  MeasurementState state_;
  TransmissionRecord transmission_;
  SettingsFile settings_;
  TransmissionHooks hooks_;
  MeasurementFiles files_;  // in the directory of the settings file
  AnalyzerProgram program_;
};

}  // namespace vna
