// A viewer: the start screen with the Touchstone files of the current
// directory, then the chosen file on the measurement screen, until the user
// goes back to the list (File Access) or leaves. Given a file, it shows that
// one first, as if it had been picked from its folder's list. Both viewers are this
// program with their own profile and hooks; there is no instrument, no
// calibration and no settings file.
#pragma once

#include <array>
#include <complex>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/help_pages.h"
#include "display/measurement_screen.h"
#include "files/file_list_screen.h"
#include "files/measurement_files.h"
#include "files/touchstone_reader.h"

namespace vna {

// What a viewer does with a file beside the shared screen: the quantities
// and the panel rows of the file it shows.
class ViewerHooks : public PointQuantities, public ProgramPanel {
 public:
  // A file was loaded: its display frequencies and plan are in place; the
  // hooks keep its values and start on its first parameter.
  virtual void load(const TouchstoneScan& scan) = 0;
};

struct ViewerProfile {
  const MeasurementProfile& screen;
  const FileListTable& fileList;
  const SaveAsTable& saveAs;  // where its copies of the screen go
  // The columns of a file of this name the viewer takes.
  TouchstoneColumns (*columnsFor)(std::string_view fileName);
};

inline constexpr int kParameterRow = 24;

// A parameter of the file as both viewers show it: dB and degrees in single
// precision, the precision the analyzers save, one entry per point; the
// angle as the file writes it, where it writes one.
struct DbAngleColumns {
  std::vector<double> db, angle;
};
DbAngleColumns shownDbAngles(std::span<const std::complex<double>> s, std::span<const double> writtenAngle);

// The panel both viewers show: the scales, the file's frequencies, sweep and
// points (shown, not edited), the parameter, the display choice and the
// buttons Copy Screen to File, Help, File Access and Exit.
constexpr std::array<PanelField, 17> viewerPanelFields(std::string_view copyLabel) {
  constexpr int P = kPanelColumn;
  return joined(kTitleAndScaleFields,
                std::array<PanelField, 12>{{
                    valueField(PanelItem::FreqMax, 14, FieldKind::Shown),
                    valueField(PanelItem::FreqMin, 15, FieldKind::Shown),
                    valueField(PanelItem::Center, 17, FieldKind::Shown),
                    valueField(PanelItem::Span, 18, FieldKind::Shown),
                    valueField(PanelItem::Sweep, 20, FieldKind::Shown),
                    valueField(PanelItem::Points, 21, FieldKind::Shown),
                    valueField(PanelItem::Parameter, kParameterRow, FieldKind::Choice),
                    valueField(PanelItem::Display, 25, FieldKind::Choice),
                    buttonField(PanelItem::Save, 28, 968, copyLabel, " Copy Screen to File    ", P + 2),
                    buttonField(PanelItem::Help, 38, 968, " Help ", " Help           ", P + 2),
                    buttonField(PanelItem::ProgramButton, 40, 968, " File Access ", " File Access    ", P + 2),
                    buttonField(PanelItem::Exit, 42, 968, " Exit ", " Exit           ", P + 2),
                }});
}

// Without a memory the "display:" item only toggles both traces and trace 1 alone.
int toggleDisplayChoice(int choice, bool forward, int displayMode, bool memoryValid);

// An analyzer's modes as a viewer shows them: the "display:" choices of both
// traces and of trace 1 only, their texts followed by `suffix`.
class ViewerModes {
 public:
  ViewerModes(std::span<const ModeSpec> analyzerModes, std::string_view suffix);
  ViewerModes(const ViewerModes&) = delete;  // the modes point into the texts
  ViewerModes& operator=(const ViewerModes&) = delete;
  std::span<const ModeSpec> modes() const { return modes_; }

 private:
  std::vector<std::string> texts_;
  std::vector<ModeSpec> modes_;
};

// The "Parameter:" item (row 24): the first port or parameter of the file,
// the second, or both; shown from column P+12, and for both with the first
// name in the trace colour and the second in the colour of its curves.
struct ParameterTexts {
  std::array<std::string_view, 3> text;   // " s11 (input)  ", ...
  std::array<std::string_view, 2> names;  // "s11", "s22"
};
enum Parameter { kFirst = 1, kSecond = 2, kBoth = 3 };
// 1 -> 2 -> 3 -> 1 forward, the other way back.
int stepParameter(int parameter, bool forward);
void showParameter(Screen& screen, const ParameterTexts& texts, int parameter, bool hovered);

// What every viewer's screen profile has: no memory, no instrument, the
// range of the file.
void setViewerBasics(MeasurementProfile& profile, const HelpPage& help);

// Where a viewer starts: the folder whose files it lists, and the file of
// that folder it shows at once, if one was given.
struct ViewerStart {
  std::filesystem::path directory = ".";
  std::optional<std::string> file;
};

// A file named on the command line: shown at once from its folder, which
// the viewer then works in. No name: the current directory's list.
ViewerStart viewerStartFor(const std::string& givenFile);

class ViewerProgram {
 public:
  ViewerProgram(Screen& screen, MeasurementState& state, const ViewerProfile& profile, ViewerHooks& hooks,
                std::filesystem::path directory, std::optional<std::string> firstFile = {});

  // Runs until Esc or Exit; returns the exit status.
  int run();

  const ErrorFlags& errors() const { return measurement_.errors(); }

 private:
  void startUp();
  // Reads the file and puts it on the screen; or the reason it cannot be
  // shown, and the screen is left as it was.
  std::string load(const std::string& name);
  void markersBackToStart();

  // File Access leaves the measurement screen for the file list.
  struct FileAccessButton final : ProgramButton {
    bool press(Screen&, ClickLatch&) override { return true; }
  };

  Screen& screen_;
  MeasurementState& state_;
  const ViewerProfile& profile_;
  ViewerHooks& hooks_;
  std::filesystem::path directory_;
  std::optional<std::string> firstFile_;
  MeasurementFiles files_;  // copies of the screen, into `directory`
  FileAccessButton fileAccess_;
  MeasurementScreen measurement_;
};

// A viewer program with its hooks and state, as main() and the tests use it.
template <typename Hooks, const ViewerProfile& (*profile)()>
class Viewer {
 public:
  explicit Viewer(Screen& screen, std::filesystem::path directory = ".", std::optional<std::string> firstFile = {})
      : hooks_(state_), program_(screen, state_, profile(), hooks_, std::move(directory), std::move(firstFile)) {}

  int run() { return program_.run(); }

  // State, readable by tests.
  const ScanControl& control() const { return state_.control; }
  const SweepPlan& plan() const { return state_.plan; }
  const ScanRecord& record() const { return state_.record; }
  const Hooks& hooks() const { return hooks_; }

 private:
  MeasurementState state_;
  Hooks hooks_;
  ViewerProgram program_;
};

}  // namespace vna
