// The plot area: frame and grid on the background page, then marker lines,
// traces and level bars on the composition page, made visible.
#pragma once

#include <span>

#include "display/layout.h"
#include "platform/screen.h"

namespace vna {

struct PlotFrameView {
  bool logSweep = true;
  double freqMin = 200, freqMax = 60000000;
  bool logTrace1 = false;  // trace 1 on a logarithmic scale (|z| log mode)
  double trace1Max = 100, trace1Min = 1;
  bool levelMeter = true;  // acquisition programs only
};

struct TraceView {
  int points = 401;
  bool scanning = false;
  int currentPoint = 0;
  int segments = 0;        // how many segments of the traces exist
  int markerOffset1 = 100, markerOffset2 = 200;
  bool logTrace1 = false;
  double trace1Max = 100, trace1Min = 0, trace2Max = 225, trace2Min = -225;
  bool drawTrace2 = true;
  bool drawMemory1 = false, drawMemory2 = false;  // memory 2 goes with trace 2 only
  std::span<const double> trace1, trace2, memory1, memory2;
  // Each point's pixel offset from the left edge of the plot when the points
  // are not evenly spaced (frequencyOffset); empty: spaced by their index.
  std::span<const double> pointX;
  // Points at each end of the range that trace 2 has no value for (half the
  // group-delay aperture); its segments start and end that far inside.
  int trace2Trim = 0;
  // The input levels of every point (base-10 logs) as two more traces in dB
  // on trace 1's scale; empty: not drawn.
  std::span<const double> levelTraceA, levelTraceR;
  // Level bars of the point just measured (base-10 logs), acquisition only.
  bool levelBars = false;
  double levelA = -5, levelR = -5;
  // Prompt rows and the start button, reprinted while a scan runs.
  std::string_view promptLine1, promptLine2;
  std::string_view startLabel;  // empty: not reprinted
  bool startHovered = false;
};

void drawPlotFrame(Screen& screen, const PlotFrameView& view);
void drawTraces(Screen& screen, const TraceView& view);
// What drawTraces draws on the composition page, clipped to `area`, which
// the caller has brought back to the background; segments wholly beside
// the area are passed over, which draws the same.
void drawTraceLayer(Screen& screen, const TraceView& view, const PixelRect& area);

// More points than the plot has pixel columns are drawn column by column.
inline bool denserThanPixels(int points) {
  return points - 1 > static_cast<int>(kPlot.width);
}

// Where point i of the view stands across the screen, and the scan cursor.
double tracePointX(const TraceView& view, int i);
double scanCursorX(const TraceView& view);

// Pixel offset of a frequency from the left edge of the plot, on the linear
// or logarithmic axis from freqMin to freqMax.
double frequencyOffset(double frequency, double freqMin, double freqMax, bool logSweep);

// Pixel row of a value on a linear scale, clipped to the plot box.
double plotY(double value, double max, double min);

}  // namespace vna
