// An analyzer program: start-up with the splash and the port setting, then
// the scan loop and the idle loop taking turns until the user ends it. Both
// analyzers are this program with their own profile and hooks.
#pragma once

#include <filesystem>

#include "analyzer/scan_session.h"
#include "display/measurement_screen.h"
#include "files/settings_file.h"

namespace vna {

struct AnalyzerProfile {
  const MeasurementProfile& screen;
  ScanStyle scan;
};

class AnalyzerProgram {
 public:
  AnalyzerProgram(Screen& screen, MeasurementState& state, const AnalyzerProfile& profile, MeasurementHooks& hooks,
                  ChannelFactory openChannel, std::filesystem::path settingsFile, SettingsFile& settings);

  // Runs until Esc or Exit; returns the exit status.
  int run();

  const InstrumentLink& link() const { return link_; }
  const ErrorFlags& errors() const { return measurement_.errors(); }

 private:
  void startUp();
  void splash();

  Screen& screen_;
  MeasurementState& state_;
  const AnalyzerProfile& profile_;
  ChannelFactory openChannel_;
  std::filesystem::path settingsFile_;
  SettingsFile& settings_;  // as read from "configu", unusable values replaced by defaults
  InstrumentLink link_;
  MeasurementScreen measurement_;
  ScanSession session_;
};

}  // namespace vna
