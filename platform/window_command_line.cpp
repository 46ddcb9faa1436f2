#include "platform/window_command_line.h"

#include <cstdio>

#include "platform/program_version.h"

namespace vna {
namespace {

constexpr std::string_view kAnalyzerSynopsis = "[--help | --version]";
constexpr std::string_view kViewerSynopsis = "[FILE | --help | --version]";

constexpr std::string_view kAnalyzerPlace =
    "It works in the current directory: it keeps its settings in the file \"configu\" there (F2\n"
    "during the splash screen chooses the serial port) and saves measurements and screen copies there.\n";
constexpr std::string_view kViewerPlace =
    "Without FILE it lists those files of the current directory; with FILE it shows that file at\n"
    "once, and File Access lists the files of its folder, where screen copies (BMP) are saved too.\n"
    "It keeps no settings (\"configu\" is the analyzers' file).\n";

constexpr std::string_view kImpedanceAnalyzerLines =
    "Measures one-port devices by reflection (impedance, L, C, Q, s11) with the vector network\n"
    "analyzer on /dev/ttyUSB<n>, in a window of 1024 x 768 pixels.\n";
constexpr std::string_view kTransmissionAnalyzerLines =
    "Measures two-port devices (filters, amplifiers) by transmission (gain, phase, group delay)\n"
    "with the vector network analyzer on /dev/ttyUSB<n>, in a window of 1024 x 768 pixels.\n";
constexpr std::string_view kImpedanceViewerLines =
    "Shows one-port and two-port Touchstone files (.s1p, .s2p) as impedance, L, C, Q and s11,\n"
    "in a window of 1024 x 768 pixels.\n";
constexpr std::string_view kTransmissionViewerLines =
    "Shows two-port Touchstone files (.s2p) as gain, phase and group delay, in a window of\n"
    "1024 x 768 pixels.\n";

constexpr WindowProgramText kImpedanceAnalyzer{"impedance-analyzer", kAnalyzerSynopsis, kImpedanceAnalyzerLines,
                                               kAnalyzerPlace, false};
constexpr WindowProgramText kTransmissionAnalyzer{"transmission-analyzer", kAnalyzerSynopsis,
                                                  kTransmissionAnalyzerLines, kAnalyzerPlace, false};
constexpr WindowProgramText kImpedanceViewer{"impedance-viewer", kViewerSynopsis, kImpedanceViewerLines, kViewerPlace,
                                             true};
constexpr WindowProgramText kTransmissionViewer{"transmission-viewer", kViewerSynopsis, kTransmissionViewerLines,
                                                kViewerPlace, true};

std::string helpText(const WindowProgramText& program) {
  std::string text = "Usage: " + std::string(program.name) + " " + std::string(program.synopsis) + "\n";
  text += program.description;
  text += program.place;
  text +=
      "  --help     show this text and exit\n"
      "  --version  show the version and licence and exit\n"
      "More in the manual page: man ";
  text += program.name;
  text += '\n';
  return text;
}

WindowCommand refused(const WindowProgramText& program, const std::string& what) {
  return {WindowCommand::Action::Refuse,
          {},
          std::string(program.name) + ": " + what + " (usage: " + std::string(program.name) + " " +
              std::string(program.synopsis) + ")\n"};
}

}  // namespace

const WindowProgramText& impedanceAnalyzerText() {
  return kImpedanceAnalyzer;
}
const WindowProgramText& transmissionAnalyzerText() {
  return kTransmissionAnalyzer;
}
const WindowProgramText& impedanceViewerText() {
  return kImpedanceViewer;
}
const WindowProgramText& transmissionViewerText() {
  return kTransmissionViewer;
}

// --help or --version anywhere wins, as in most programs; "--" ends the
// options so that a file whose name starts with "-" can be given.
WindowCommand readWindowCommandLine(const WindowProgramText& program, std::span<const std::string_view> arguments) {
  bool optionsEnded = false;
  std::string file;
  bool fileGiven = false;
  for (const std::string_view argument : arguments) {
    if (!optionsEnded && argument == "--help") return {WindowCommand::Action::PrintAndExit, {}, helpText(program)};
    if (!optionsEnded && argument == "--version")
      return {WindowCommand::Action::PrintAndExit, {}, versionText(program.name)};
  }
  for (const std::string_view argument : arguments) {
    if (!optionsEnded && argument == "--" && program.takesFile) {
      optionsEnded = true;
      continue;
    }
    const bool option = !optionsEnded && argument.size() > 1 && argument.front() == '-';
    if (option) return refused(program, "unknown option \"" + std::string(argument) + "\"");
    if (!program.takesFile) return refused(program, "takes no argument, not \"" + std::string(argument) + "\"");
    if (fileGiven) return refused(program, "shows one file, not also \"" + std::string(argument) + "\"");
    if (argument.empty()) return refused(program, "an empty file name");
    file = argument;
    fileGiven = true;
  }
  return {WindowCommand::Action::OpenWindow, file, {}};
}

std::optional<int> finishWithoutWindow(const WindowCommand& command) {
  switch (command.action) {
    case WindowCommand::Action::OpenWindow: return std::nullopt;
    case WindowCommand::Action::PrintAndExit:
      std::fputs(command.text.c_str(), stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case WindowCommand::Action::Refuse: std::fputs(command.text.c_str(), stderr); return 2;
  }
  return 2;
}

}  // namespace vna
