// What makes one program's measurement screen its own: its display modes
// with their texts, units and scales, its panel items, its calibration
// procedure, its help page and splash, as tables; the few things it really
// does differently are hooks (program_hooks.h). The screen itself (panel
// loop, traces, readout, redraw) is shared by every program.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "display/help_pages.h"
#include "display/panel_fields.h"
#include "measurement/calibration_procedure.h"
#include "measurement/scale_set.h"
#include "platform/screen.h"

namespace vna {

// A unit letter that ends a typed scale value, with the factor it applies.
struct UnitLetter {
  char key = 0;  // 0: unused slot
  double factor = 1;
};
using UnitLetters = std::array<UnitLetter, 4>;

// The marker readout of one mode: the row template and where its values go.
struct ReadoutFormat {
  std::string_view rowTemplate;  // row 45; rows 46 and 47 replace "marker   1:"
  std::string_view unit1;        // re-coloured in the trace 1 colour
  int unit1Column = 44;
  std::string_view unit2;        // re-coloured in the trace 2 colour
  int unit2Column = 61;
  int value1Column = 29;
  std::string_view value1Picture = "##########.###";
  int value2Column = 46;
  std::string_view value2Picture = "##########.###";
  // What an unmeasured point leaves in the value places.
  int blank1Column = 29;
  int blank1Width = 14;
  int blank2Width = 13;
};

struct ModeSpec {
  std::array<std::string_view, 3> title;  // title lines from the profile's title row; empty lines are skipped
  std::string_view trace1Name, trace1Unit, trace2Name, trace2Unit;
  // "display:" texts per DisplayChoice; an empty text is not offered in this mode.
  std::array<std::string_view, 5> displayChoice;
  ReadoutFormat readout;
  bool logTrace1 = false;     // trace 1 on a logarithmic scale
  ModeScales defaultScales;
  std::string_view trace2Error;  // the validation message of a reversed trace 2 scale
  UnitLetters trace1Units{}, trace2Units{};
};

// How the scale values are shown, typed and stepped.
struct ScaleFormat {
  std::string_view picture = "##########.###";
  std::span<const double> wheelWeights;
  std::span<const double> frequencyWeights = kFrequencyStepWeights;
  std::size_t entryLength1 = 13, entryLength2 = 11;
  double entryLow1 = -999999999.98, entryHigh1 = 9999999999.98;  // typed: low < v < high
  double entryLow2 = -999999999.98, entryHigh2 = 9999999999.98;
  double wheelLow = -999999999.99, wheelHigh = 9999999999.98;     // stepped: low < v < high
  double logFloor = 0.0008;  // a logarithmic trace 1 keeps its MIN above this
};

struct Splash {
  std::string_view title = " A Network Analyzer program ";
  std::string_view subtitle;  // row 18, column 34
};

struct MeasurementProfile {
  std::span<const ModeSpec> modes;
  ScaleFormat scales;
  std::span<const PanelField> fields;  // in the order the idle loop serves them
  int titleRow = 2;
  bool titleFollowsHover = true;  // the title is drawn inverse while hovered
  int displayChoiceColumn = 0;     // column of the "display:" value
  // The next DisplayChoice after a left (forward) or right click.
  int (*stepDisplayChoice)(int choice, bool forward, int displayMode, bool memoryValid) = nullptr;
  // The choice as the panel is about to show it, where a program mends one
  // the mode or the memory no longer allows; nullptr: shown as it is.
  int (*shownDisplayChoice)(int choice, int displayMode, bool memoryValid) = nullptr;
  const CalibrationProcedure* procedure = nullptr;
  const HelpPage* help = nullptr;
  Splash splash;
  bool levelMeter = true;        // the acquisition programs' input level bars
  bool overscaleReadout = true;  // readout values out of their picture read "  overscale  "
  bool zoomKey = true;           // Ctrl+V zooms on the markers (not in a viewer: its range is the file's)
  // The mode whose trace 2 is a group delay: the delay aperture row is
  // there only in that mode.
  int delayApertureMode = -1;
};

}  // namespace vna
