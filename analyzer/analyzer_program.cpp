#include "analyzer/analyzer_program.h"

#include "display/layout.h"
#include "files/serial_port_screen.h"

namespace vna {

AnalyzerProgram::AnalyzerProgram(Screen& screen, MeasurementState& state, const AnalyzerProfile& profile,
                                 const ProgramHooks& hooks, ProcedureSteps& steps, ChannelFactory openChannel,
                                 std::filesystem::path settingsFile, SettingsFile& settings)
    : screen_(screen),
      state_(state),
      profile_(profile),
      openChannel_(std::move(openChannel)),
      settingsFile_(std::move(settingsFile)),
      settings_(settings),
      measurement_(screen, state, profile.screen, hooks),
      session_(measurement_, state, hooks.quantities, steps, profile.scan, settings, link_) {}

int AnalyzerProgram::run() {
  startUp();
  enum class Next { ScanStart, Scan, Idle, Exit };
  Next next = Next::ScanStart;  // the program scans at once
  while (next != Next::Exit) {
    switch (next) {
      case Next::ScanStart:
        session_.scanStart();
        next = Next::Scan;
        break;
      case Next::Scan:
        switch (session_.scanPass()) {
          case ScanStep::NextPoint: break;
          case ScanStep::Idle: next = Next::Idle; break;
          case ScanStep::Exit: next = Next::Exit; break;
        }
        break;
      case Next::Idle:
        switch (measurement_.idlePass()) {
          case IdleResult::Stay: break;
          case IdleResult::StartScan: next = Next::ScanStart; break;
          case IdleResult::Exit: next = Next::Exit; break;
          case IdleResult::Leave: break;  // an analyzer's button never leaves its screen
        }
        break;
      case Next::Exit: break;
    }
  }
  session_.closeInstrument();
  return 0;
}

void AnalyzerProgram::startUp() {
  screen_.setPages(kVisiblePage, kVisiblePage);
  screen_.movePointer(1, 1);
  state_.fileName = "noname";
  state_.titleText = std::string(15, ' ') + "Title" + std::string(20, ' ');
  for (const PaletteEntry& e : kPalette) screen_.setPalette(e.index, e.r, e.g, e.b);
  rescaleMarkers(state_.plan);
  for (std::size_t m = 0; m < profile_.screen.modes.size(); ++m)
    state_.scales.set(static_cast<int>(m), profile_.screen.modes[m].defaultScales);
  settings_ = usableSettings(loadSettings(settingsFile_));
  link_.portNumber = settings_.portNumber;
  link_.clockHz = settings_.clockHz;
  splash();
  measurement_.redrawAll();
  session_.openInstrument(openChannel_);
}

// F2 during the splash opens the Serial Port Setting screen.
void AnalyzerProgram::splash() {
  screen_.color(colour::kText, 0);
  screen_.printAt(6, 38, profile_.screen.splash.title);
  screen_.printAt(18, 34, profile_.screen.splash.subtitle);
  screen_.printAt(45, 5, "F2: Setup");
  for (int pass = 0; pass < 81; ++pass) {
    const std::string k = screen_.readKey();
    if (k.size() == 2 && static_cast<unsigned char>(k[1]) == key::kF2) {
      serialPortScreen(screen_, measurement_.latch(), settingsFile_, link_.portNumber);
      settings_.portNumber = link_.portNumber;
    }
    screen_.sleep(30);
  }
}

}  // namespace vna
