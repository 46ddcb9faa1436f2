// transmission-viewer: shows the Touchstone files of the current directory, or
// the one file it is given and then the files of its folder.
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/window_command_line.h"
#include "platform/x11_backend.h"
#include "viewers/transmission_viewer.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const vna::WindowCommand command = vna::readWindowCommandLine(vna::transmissionViewerText(), arguments);
  if (const std::optional<int> status = vna::finishWithoutWindow(command)) return *status;
  vna::X11Backend backend("transmission-viewer");
  if (!backend.ok()) {
    std::fprintf(stderr, "transmission-viewer: %s\n", backend.error().c_str());
    return 1;
  }
  vna::Screen screen(backend);
  const vna::ViewerStart start = vna::viewerStartFor(command.file);
  vna::TransmissionViewer program(screen, start.directory, start.file);
  return program.run();
}
