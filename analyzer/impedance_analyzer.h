// impedance-analyzer: one-port measurements by reflection, calibrated with
// an open circuit, a short circuit and a reference load. The shared
// analyzer program with the impedance profile and these hooks.
#pragma once

#include <filesystem>

#include "analyzer/analyzer_program.h"
#include "files/measurement_files.h"
#include "reflection/reflection_record.h"

namespace vna {

// What the impedance analyzer does its own way.
class ImpedanceHooks : public PointQuantities, public ProgramPanel, public ProgramButton, public ProcedureSteps {
 public:
  // The Reference Load screen saves to `settingsFile`.
  ImpedanceHooks(MeasurementState& state, ReflectionRecord& reflection, SettingsFile& settings,
                 std::filesystem::path settingsFile);

  void derivePoint(int i) override;
  void storeStandard(int standard, int i) override;
  void drawPanelExtras(Screen& screen, const PanelState& panel) const override;
  void afterProcedureStep(Screen& screen, int state) const override;
  // The Reference Load screen; what it saves is used from then on.
  bool press(Screen& screen, ClickLatch& latch) override;
  // The reflection of point i against 50 ohm, in dB and degrees.
  TouchstonePoint pointDbAngle(int i) const;

 private:
  void correctPoint(int i);
  Complex impedanceOf(int i) const;

  MeasurementState& state_;
  ReflectionRecord& reflection_;
  SettingsFile& settings_;
  std::filesystem::path settingsFile_;
};

const AnalyzerProfile& impedanceAnalyzerProfile();

class ImpedanceAnalyzer {
 public:
  ImpedanceAnalyzer(Screen& screen, ChannelFactory openChannel,
                    std::filesystem::path settingsFile = kSettingsFileName);

  // Runs until Esc or Exit; returns the exit status.
  int run() { return program_.run(); }

  // State, readable by tests.
  const ScanControl& control() const { return state_.control; }
  const SweepPlan& plan() const { return state_.plan; }
  const ScanRecord& record() const { return state_.record; }
  const ReflectionRecord& reflection() const { return reflection_; }
  const ScaleSet& scales() const { return state_.scales; }
  const InstrumentLink& link() const { return program_.link(); }
  const SettingsFile& settings() const { return settings_; }
  const ErrorFlags& errors() const { return program_.errors(); }
  double cableLength() const { return state_.cableLength; }
  const std::string& fileName() const { return state_.fileName; }

 private:
  MeasurementState state_;
  ReflectionRecord reflection_;
  SettingsFile settings_;
  ImpedanceHooks hooks_;
  MeasurementFiles files_;  // in the directory of the settings file
  AnalyzerProgram program_;
};

}  // namespace vna
