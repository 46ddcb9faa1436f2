// transmission-viewer: shows the Touchstone files of the current directory.
#include <cstdio>

#include "platform/x11_backend.h"
#include "viewers/transmission_viewer.h"

int main() {
  vna::X11Backend backend("transmission-viewer");
  if (!backend.ok()) {
    std::fprintf(stderr, "transmission-viewer: %s\n", backend.error().c_str());
    return 1;
  }
  vna::Screen screen(backend);
  vna::TransmissionViewer program(screen);
  return program.run();
}
