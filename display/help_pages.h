// The fixed lines of each program's Help screen.
#pragma once

#include <span>
#include <string_view>


namespace vna {

// One line of a help page, written at (row, column) in `colour` on the
// current background. A colour-6 line on the row of an earlier line
// re-colours a key word of it (or adds the key words after it).
struct HelpLine {
  int row;
  int column;
  int colour;
  std::string_view text;  // code page 437 bytes: 0xEA ohm sign, 0xB3 vertical bar
};

struct HelpPage {
  std::span<const HelpLine> lines;  // in the order they are written
  int pauseMs;                      // pause per pass of the Help screen's loop
};

// Each program's page.
const HelpPage& impedanceAnalyzerHelp();
const HelpPage& transmissionAnalyzerHelp();
const HelpPage& impedanceViewerHelp();
const HelpPage& transmissionViewerHelp();

}  // namespace vna
