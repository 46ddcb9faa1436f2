// Geometry of the one screen every program shows: the plot at the left, the
// side panel's text column at the right, the marker readout rows below.
#pragma once

#include <array>

#include "platform/numeric.h"

namespace vna {

struct PlotGeometry {
  double width = 800.0;
  double height = 690.0;
  int origin = 3;            // x and y of the plot box's top-left corner
  int marker1Start = 100;    // initial marker offsets inside the plot, pixels
  int marker2Start = 200;
};

inline constexpr PlotGeometry kPlot{};

// The panel's text column, derived from the plot: every panel text is placed
// relative to it.
inline constexpr int panelColumnFor(const PlotGeometry& plot) {
  return static_cast<int>((plot.width + plot.origin) / 8) + 1;
}
inline constexpr int kPanelColumn = panelColumnFor(kPlot);  // 101
// Left pixel edge of the panel's mouse zones (column kPanelColumn + 2).
inline constexpr int kPanelX = kPanelColumn * 8 + 8;         // 816

// The start button as it is watched while a scan runs: a press inside
// (bounds exclusive) stops the scan; its outline is drawn on these edges.
struct StopButtonZone {
  int x0, x1, y0, y1;
  constexpr bool contains(int x, int y) const { return x > x0 && x < x1 && y > y0 && y < y1; }
};
inline constexpr StopButtonZone kStopButton{kPanelColumn * 8 + 8, kPanelColumn * 8 + 136, 559, 576};

// Screen pages and their roles.
inline constexpr int kVisiblePage = 0;
inline constexpr int kCompositionPage = 1;
inline constexpr int kBackgroundPage = 2;

// Palette roles.
namespace colour {
inline constexpr int kBlack = 0;
inline constexpr int kMemory1 = 1;    // memory trace 1; buttons of full-screen screens
inline constexpr int kMemory2 = 2;    // memory trace 2; level bars
inline constexpr int kLevelScale = 3;
inline constexpr int kLevelA = 3;      // input A's level as a trace, and its letter
inline constexpr int kErrorBack = 6;
inline constexpr int kPlotBack = 7;
inline constexpr int kGrid = 8;
inline constexpr int kGridEmphasis = 9;
inline constexpr int kTrace2 = 10;
inline constexpr int kMarker1 = 12;
inline constexpr int kMarker2 = 13;
inline constexpr int kLevelR = 13;     // input R's level as a trace, and its letter
inline constexpr int kTrace1 = 14;    // also typed-entry fields (0 on 14)
inline constexpr int kText = 15;      // normal text on 0; hovered items are 0 on 15
}  // namespace colour

struct PaletteEntry {
  int index, r, g, b;
};

// The sixteen colours every program sets at start-up.
inline constexpr std::array<PaletteEntry, 16> kPalette{{
    {0, 0, 0, 0},        {1, 144, 144, 0},   {2, 0, 168, 0},     {3, 0, 168, 168},
    {4, 0, 0, 0},        {5, 0, 0, 0},       {6, 168, 84, 0},    {7, 0, 76, 76},
    {8, 84, 84, 84},     {9, 112, 112, 112}, {10, 84, 252, 84},  {11, 0, 0, 0},
    {12, 252, 84, 84},   {13, 252, 84, 252}, {14, 252, 252, 84}, {15, 252, 228, 184},
}};

// The viewers' one colour more, the grey of the file list's scroll bar. It
// lies above the sixteen, so setting it changes none of the analyzers' colours.
inline constexpr PaletteEntry kScrollBarEntry{16, 160, 160, 160};

// A text row r covers pixel rows 16(r - 1) to 16r - 1.
inline constexpr int rowTop(int row) { return 16 * (row - 1); }

}  // namespace vna
