#include "viewers/viewer_program.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "display/layout.h"
#include "files/atomic_file.h"
#include "files/file_list_screen.h"
#include "files/network_parameters.h"

namespace vna {
namespace {

// Beyond the float range a value is the infinity of its sign (the
// conversion would be undefined).
double singlePrecision(double value) {
  constexpr double kMost = std::numeric_limits<float>::max();
  if (std::isnan(value)) return value;
  if (std::fabs(value) > kMost) return std::copysign(std::numeric_limits<double>::infinity(), value);
  return static_cast<float>(value);
}

}  // namespace

DbAngleColumns shownDbAngles(std::span<const std::complex<double>> s, std::span<const double> writtenAngle) {
  DbAngleColumns shown;
  shown.db.reserve(s.size());
  shown.angle.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const DbAngle d = dbAngleOf(s[i]);
    const bool written = i < writtenAngle.size() && !std::isnan(writtenAngle[i]);
    shown.db.push_back(singlePrecision(d.db));
    shown.angle.push_back(singlePrecision(written ? writtenAngle[i] : d.degrees));
  }
  return shown;
}

int toggleDisplayChoice(int choice, bool, int, bool) {
  return choice == display_choice::kBoth ? display_choice::kFirstOnly : display_choice::kBoth;
}

ViewerModes::ViewerModes(std::span<const ModeSpec> analyzerModes, std::string_view suffix) {
  texts_.reserve(2 * analyzerModes.size());  // never moved once the modes point into them
  for (const ModeSpec& analyzer : analyzerModes) {
    ModeSpec& mode = modes_.emplace_back(analyzer);
    for (std::size_t c = 0; c < mode.displayChoice.size(); ++c) {
      if (c > static_cast<std::size_t>(display_choice::kFirstOnly)) {
        mode.displayChoice[c] = {};
        continue;
      }
      mode.displayChoice[c] = texts_.emplace_back(std::string(analyzer.displayChoice[c]) + std::string(suffix));
    }
  }
}

void setViewerBasics(MeasurementProfile& p, const HelpPage& help) {
  p.stepDisplayChoice = toggleDisplayChoice;
  p.help = &help;
  p.levelMeter = false;
  p.zoomKey = false;
}

int stepParameter(int parameter, bool forward) {
  if (forward) return parameter >= kBoth ? kFirst : parameter + 1;
  return parameter <= kFirst ? kBoth : parameter - 1;
}

void showParameter(Screen& s, const ParameterTexts& texts, int parameter, bool hovered) {
  constexpr int P = kPanelColumn;
  s.color(colour::kText, 0);
  s.printAt(kParameterRow, P + 2, "Parameter:");
  const auto p = static_cast<std::size_t>(std::clamp(parameter, 1, 3) - 1);
  s.color(hovered ? 0 : colour::kText, hovered ? colour::kText : 0);
  s.printAt(kParameterRow, P + 12, texts.text[p]);
  if (parameter == kBoth && !hovered) {
    s.color(colour::kTrace1, 0);
    s.printAt(kParameterRow, P + 13, texts.names[0]);
    s.color(colour::kMemory1, 0);
    s.printAt(kParameterRow, P + 19, texts.names[1]);
  }
  s.color(colour::kText, 0);
}

ViewerStart viewerStartFor(const std::string& givenFile) {
  if (givenFile.empty()) return {};
  // "folder/" names the folder itself: it is refused as what it is, a folder.
  std::filesystem::path path = std::filesystem::path(givenFile).lexically_normal();
  if (!path.has_filename() && path.has_parent_path() && path.parent_path() != path.root_path())
    path = path.parent_path();
  ViewerStart start;
  if (path.has_parent_path()) start.directory = path.parent_path();
  start.file = path.has_filename() ? path.filename().string() : path.string();
  return start;
}

ViewerProgram::ViewerProgram(Screen& screen, MeasurementState& state, const ViewerProfile& profile, ViewerHooks& hooks,
                             std::filesystem::path directory, std::optional<std::string> firstFile)
    : screen_(screen),
      state_(state),
      profile_(profile),
      hooks_(hooks),
      directory_(std::move(directory)),
      firstFile_(std::move(firstFile)),
      files_(profile.saveAs, state, directory_, {}),
      measurement_(screen, state, profile.screen, {hooks, hooks, fileAccess_, files_}) {}

int ViewerProgram::run() {
  startUp();
  std::optional<std::string> given = std::exchange(firstFile_, std::nullopt);
  for (;;) {
    const std::optional<std::string> name =
        given ? std::exchange(given, std::nullopt)
              : chooseFile(screen_, measurement_.latch(), profile_.fileList, directory_);
    if (!name) return 0;
    if (const std::string reason = load(*name); !reason.empty()) {
      showNotCompatible(screen_, reason);
      markersBackToStart();
      continue;
    }
    IdleResult result = IdleResult::Stay;
    while (result == IdleResult::Stay || result == IdleResult::StartScan) result = measurement_.idlePass();
    if (result == IdleResult::Exit) return 0;
    markersBackToStart();  // File Access: back to the list
  }
}

void ViewerProgram::startUp() {
  screen_.setPages(kVisiblePage, kVisiblePage);
  screen_.movePointer(1, 1);
  for (const PaletteEntry& e : kPalette) screen_.setPalette(e.index, e.r, e.g, e.b);
  state_.fileName = "noname";
  for (std::size_t m = 0; m < profile_.screen.modes.size(); ++m)
    state_.scales.set(static_cast<int>(m), profile_.screen.modes[m].defaultScales);
  state_.control.stopped();  // nothing is measured: the scan is the file's
  markersBackToStart();
}

void ViewerProgram::markersBackToStart() {
  state_.plan.markerOffset1 = 100;
  state_.plan.markerOffset2 = 200;
}

std::string ViewerProgram::load(const std::string& name) {
  // The list shows only names of the kinds this viewer reads; a name given
  // to it may be any.
  if (!listsName(profile_.fileList, name))
    return " " + shownName(name) + " is not " + std::string(profile_.fileList.kinds) + " ";
  const ReadResult file = readWholeFile(directory_ / name);
  if (!file.bytes) return " " + file.reason + " ";
  const auto& text = *file.bytes;
  const TouchstoneReading reading =
      readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, profile_.columnsFor(name));
  if (!reading.ok()) return reading.reason;
  const TouchstoneScan& scan = *reading.scan;
  state_.record.makeRoomFor(scan.points());
  planForScan(scan, state_.plan, state_.record.frequency);
  state_.control.showsFile(state_.plan.points);
  hooks_.load(scan);
  measurement_.recomputeAll();
  measurement_.redrawAll();
  measurement_.checkScales();
  measurement_.clearHover();
  return {};
}

}  // namespace vna
