// The side panel of the impedance programs, drawn from a plain view of the
// program's state so that it knows nothing of how the state is kept.
#pragma once

#include "platform/screen.h"

namespace vna {

struct PanelView {
  int displayMode = 0;
  int displayChoice = 0;
  double trace1Max = 100, trace1Min = 0, trace2Max = 225, trace2Min = -225;
  double freqMax = 0, freqMin = 0, center = 0, span = 0;
  bool logSweep = true;
  int points = 401;
  int msPerMeasurement = 40;
  double cableLength = 0;
  int calibrationState = 0;
  bool scanning = false;
  bool titleHovered = false;
  bool calibrateHovered = false;
  bool displayHovered = false;
};

// Selects the background page, clears it and writes every panel text and the
// marker readout templates. Shows nothing by itself.
void drawImpedancePanel(Screen& screen, const PanelView& view);

// The start button's label as the panel draws it.
std::string_view startButtonLabel(bool scanning, int calibrationState);

}  // namespace vna
