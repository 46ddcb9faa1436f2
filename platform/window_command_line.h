// What the window programs make of their command line. Started as the menu
// or a shell starts them, without arguments, they open their window as they
// always did; besides that they answer --version and --help without a
// window, and a viewer takes the one file it is to show at once.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vna {

// What a window program is, as its --help tells it.
struct WindowProgramText {
  std::string_view name;         // "impedance-viewer"
  std::string_view synopsis;     // the arguments after the name in the usage line
  std::string_view description;  // what it is (lines ending in '\n')
  std::string_view place;        // where it works and keeps things
  bool takesFile;                // a viewer: one file name may be given
};

const WindowProgramText& impedanceAnalyzerText();
const WindowProgramText& transmissionAnalyzerText();
const WindowProgramText& impedanceViewerText();
const WindowProgramText& transmissionViewerText();

// What main() does: open the window (with `file` for a viewer given one),
// or print `text` to standard output and exit 0, or print `text` (one
// line) to standard error and exit with status 2.
struct WindowCommand {
  enum class Action { OpenWindow, PrintAndExit, Refuse };
  Action action = Action::OpenWindow;
  std::string file;
  std::string text;
};

WindowCommand readWindowCommandLine(const WindowProgramText& program, std::span<const std::string_view> arguments);

// For main(): prints what the command prints and gives the exit status, or
// nothing when the window is to open.
std::optional<int> finishWithoutWindow(const WindowCommand& command);

}  // namespace vna
