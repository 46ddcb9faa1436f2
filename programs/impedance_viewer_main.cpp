// impedance-viewer: shows the Touchstone files of the current directory.
#include <cstdio>

#include "platform/x11_backend.h"
#include "viewers/impedance_viewer.h"

int main() {
  vna::X11Backend backend("impedance-viewer");
  if (!backend.ok()) {
    std::fprintf(stderr, "impedance-viewer: %s\n", backend.error().c_str());
    return 1;
  }
  vna::Screen screen(backend);
  vna::ImpedanceViewer program(screen);
  return program.run();
}
