// An analyzer program: start-up with the splash and the port setting, then
// the scan loop and the idle loop taking turns until the user ends it. Both
// analyzers are this program with their own profile and hooks.
#pragma once

#include <filesystem>

#include <array>
#include <string_view>

#include "analyzer/scan_session.h"
#include "display/measurement_screen.h"
#include "files/settings_file.h"

namespace vna {

// The side panel both analyzers show, in the order the idle loop serves its
// items; row 40 holds the program's own button with its two labels.
constexpr std::array<PanelField, 21> analyzerPanelFields(std::string_view programButton,
                                                         std::string_view programButtonHovered) {
  constexpr int P = kPanelColumn;
  return joined(kTitleAndScaleFields,
                std::array<PanelField, 16>{{
                    valueField(PanelItem::FreqMax, 14, FieldKind::Number),
                    valueField(PanelItem::FreqMin, 15, FieldKind::Number),
                    valueField(PanelItem::Center, 17, FieldKind::Number),
                    valueField(PanelItem::Span, 18, FieldKind::Number),
                    valueField(PanelItem::Sweep, 20, FieldKind::Choice),
                    valueField(PanelItem::Points, 21, FieldKind::Choice),
                    valueField(PanelItem::SampleCode, 22, FieldKind::Choice),
                    valueField(PanelItem::Length, 24, FieldKind::Number),
                    valueField(PanelItem::Procedure, 25, FieldKind::Choice),
                    valueField(PanelItem::Display, 26, FieldKind::Choice),
                    buttonField(PanelItem::Copy, 28, 1008, "Copy measure to Memory", "Copy Measure to Memory", P + 3),
                    buttonField(PanelItem::Save, 29, 1008, "Save measure to File", "Save Measure to File  ", P + 3),
                    buttonField(PanelItem::Start, 36, 968, "", " Start          ", P + 2),
                    buttonField(PanelItem::Help, 38, 968, " Help ", " Help           ", P + 2),
                    buttonField(PanelItem::ProgramButton, 40, 968, programButton, programButtonHovered, P + 2),
                    buttonField(PanelItem::Exit, 42, 968, " Exit ", " Exit           ", P + 2),
                }});
}

struct AnalyzerProfile {
  const MeasurementProfile& screen;
  ScanStyle scan;
};

class AnalyzerProgram {
 public:
  AnalyzerProgram(Screen& screen, MeasurementState& state, const AnalyzerProfile& profile, const ProgramHooks& hooks,
                  ProcedureSteps& steps, ChannelFactory openChannel, std::filesystem::path settingsFile,
                  SettingsFile& settings);

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
