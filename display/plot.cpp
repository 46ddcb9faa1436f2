#include "display/plot.h"

#include <algorithm>
#include <cmath>

#include "display/layout.h"

namespace vna {
namespace {

constexpr double W = kPlot.width;
constexpr double H = kPlot.height;
constexpr int O = kPlot.origin;
constexpr double kBottom = O + H;

double clipY(double y) {
  if (std::isnan(y)) return kBottom;
  return std::clamp(y, static_cast<double>(O), kBottom);
}

double pointX(int i, int points) { return O + W * i / std::max(1, points - 1); }

// Lines at every multiple d*10^e strictly above lo up to hi, the decades
// emphasised; `draw` gets the pixel offset from the low end and the colour.
template <typename Draw>
void logGrid(double lo, double hi, double length, Draw draw) {
  if (!(lo > 0) || !(hi > lo) || !std::isfinite(hi)) return;
  // log10Of(1000) comes out as 2.9999999999999996, so for a low end that is
  // an exact power of ten (1 kHz, 1 MHz, a log scale from 1) the decade is
  // one too low and the first line lands on the low end itself: such a
  // candidate is skipped, the low end being the box edge.
  std::int64_t e = truncateToward0(log10Of(lo));
  std::int64_t d = truncateToward0(lo / std::pow(10.0, static_cast<double>(e))) + 1;
  for (int guard = 0; guard < 40 && d * std::pow(10.0, static_cast<double>(e)) <= hi; ++guard) {
    for (; d < 10 && d * std::pow(10.0, static_cast<double>(e)) <= hi; ++d) {
      const double f = d * std::pow(10.0, static_cast<double>(e));
      if (f <= lo) continue;
      draw(std::log(f / lo) * length / std::log(hi / lo), d == 1 ? colour::kGridEmphasis : colour::kGrid);
    }
    ++e;
    d = 1;
  }
}

void drawLevelMeterFrame(Screen& s) {
  s.box(953, 536, 1003, 688, colour::kGridEmphasis);
  for (int i = 0; i <= 11; ++i) s.line(966, 557 + 10 * i, 990, 557 + 10 * i, colour::kGridEmphasis);
  s.line(963, 567, 993, 567, colour::kLevelScale);
  s.line(962, 617, 994, 617, colour::kLevelScale);
  s.line(963, 667, 993, 667, colour::kLevelScale);
  s.fillBox(959, 557, 961, 677, 0);
  s.fillBox(995, 557, 997, 677, 0);
  s.printAt(35, 121, "A");
  s.printAt(35, 125, "R");
  s.printAt(36, 123, "0");
  s.printAt(39, 122, "-50");
  s.printAt(43, 122, "dBm");
}

void drawLevelBar(Screen& s, double x0, double x1, double level) {
  level = std::max(level, -5.0);
  if (std::isnan(level)) level = -5.0;
  const double top = std::max(567 - 20 * level, 0.0);
  s.fillBox(x0, 667, x1, top, colour::kMemory2);
  if (20 * level > 7) s.fillBox(x0, 560, x1, top, colour::kMarker1);
}

// Where the points of a trace stand across the plot.
struct PointPlaces {
  int points;
  std::span<const double> offsets;  // empty: evenly spaced by index
  double x(int i) const {
    return offsets.empty() ? pointX(i, points) : O + offsets[static_cast<std::size_t>(i)];
  }
};

// Segment i (from point i-1 to point i) of one trace, clipped to the box.
template <typename Map>
void drawSegment(Screen& s, std::span<const double> values, int i, const PointPlaces& at, Map map, int c) {
  if (i < 1 || static_cast<std::size_t>(i) >= values.size()) return;
  s.line(at.x(i), clipY(map(values[static_cast<std::size_t>(i)])), at.x(i - 1),
         clipY(map(values[static_cast<std::size_t>(i - 1)])), c);
}

// A trace of more points than the plot has pixel columns, segments first to
// last: each column gets one vertical stroke from the least to the greatest
// value of its points (what its many segments would cover, so a narrow
// resonance stays visible) and is joined to the column before.
template <typename Map>
void drawColumns(Screen& s, std::span<const double> values, int first, int last, const PointPlaces& at, Map map,
                 int c) {
  last = std::min(last, static_cast<int>(values.size()) - 1);
  if (first < 1 || first > last) return;
  std::int64_t column = roundPixel(at.x(first - 1));
  double low = clipY(map(values[static_cast<std::size_t>(first - 1)])), high = low, lastY = low;
  for (int i = first; i <= last; ++i) {
    const std::int64_t x = roundPixel(at.x(i));
    const double y = clipY(map(values[static_cast<std::size_t>(i)]));
    if (x != column) {
      s.line(static_cast<double>(column), low, static_cast<double>(column), high, c);
      s.line(static_cast<double>(column), lastY, static_cast<double>(x), y, c);
      column = x;
      low = high = y;
    }
    low = std::min(low, y);
    high = std::max(high, y);
    lastY = y;
  }
  s.line(static_cast<double>(column), low, static_cast<double>(column), high, c);
}

// The segments (by index) that may touch columns [left, right]: those from
// the first to the last whose end points' rounded columns reach into them.
// A line's pixels never leave the columns between its rounded ends.
struct SegmentWindow {
  int first = 1, last = -1;
  static SegmentWindow of(const PointPlaces& at, int left, int right) {
    if (left <= O && right >= O + static_cast<int>(W)) return {1, at.points - 1};  // the whole plot
    SegmentWindow window{at.points, 0};
    std::int64_t before = roundPixel(at.x(0));
    for (int i = 1; i < at.points; ++i) {
      const std::int64_t x = roundPixel(at.x(i));
      if (std::min(before, x) <= right && std::max(before, x) >= left) {
        window.first = std::min(window.first, i);
        window.last = i;
      }
      before = x;
    }
    return window;
  }
};

// A trace and its memory in one pass, segment by segment, so that where the
// two cross each segment of the trace lies under the memory's same segment
// and over the memory's previous one.
template <typename Map>
void drawTracePair(Screen& s, std::span<const double> trace, int traceColour, std::span<const double> memory,
                   bool withMemory, int memoryColour, int first, int last, const PointPlaces& at, Map map,
                   const SegmentWindow& window) {
  if (denserThanPixels(at.points)) {  // the clip alone keeps them in their columns
    drawColumns(s, trace, first, last, at, map, traceColour);
    if (withMemory) drawColumns(s, memory, first, last, at, map, memoryColour);
    return;
  }
  first = std::max(first, window.first);
  last = std::min(last, window.last);
  for (int i = first; i <= last; ++i) {
    drawSegment(s, trace, i, at, map, traceColour);
    if (withMemory) drawSegment(s, memory, i, at, map, memoryColour);
  }
}

}  // namespace

double frequencyOffset(double frequency, double freqMin, double freqMax, bool logSweep) {
  if (logSweep) return W * std::log(frequency / freqMin) / std::log(freqMax / freqMin);
  return W * (frequency - freqMin) / (freqMax - freqMin);
}

double plotY(double value, double max, double min) {
  const double k = H / (max - min), b = max * H / (max - min);
  return clipY(O + b - value * k);
}

void drawPlotFrame(Screen& s, const PlotFrameView& v) {
  s.setPages(kBackgroundPage, kVisiblePage);
  s.fillBox(O, O, O + W, O + H, colour::kPlotBack);
  if (v.logSweep) {
    logGrid(v.freqMin, v.freqMax, W, [&](double x, int c) { s.line(O + x, O, O + x, kBottom, c); });
  } else {
    for (int i = 0; i <= 10; ++i)
      s.line(O + 80 * i, O, O + 80 * i, kBottom, i == 5 ? colour::kGridEmphasis : colour::kGrid);
  }
  if (v.logTrace1) {
    // The factor 1000 keeps the logarithm of the low end positive for every allowed MIN.
    logGrid(1000 * v.trace1Min, 1000 * v.trace1Max, H, [&](double y, int c) {
      s.line(O, kBottom - y, O + W, kBottom - y, c);
    });
  } else {
    for (int i = 0; i <= 10; ++i)
      s.line(O, O + 69 * i, O + W, O + 69 * i, i == 5 ? colour::kGridEmphasis : colour::kGrid);
  }
  if (v.levelMeter) drawLevelMeterFrame(s);
  s.setPages(kCompositionPage, kVisiblePage);
  s.copyPage(kBackgroundPage, kCompositionPage);
}

double scanCursorX(const TraceView& v) {
  return pointX(v.currentPoint, v.points);
}

double tracePointX(const TraceView& v, int i) {
  return PointPlaces{v.points, v.pointX}.x(i);
}

void drawTraceLayer(Screen& s, const TraceView& v, const PixelRect& area) {
  s.setClip(area);
  if (v.scanning) {
    const double x = scanCursorX(v);
    s.line(x, O, x, kBottom, colour::kGrid);
  }
  s.line(O + v.markerOffset1, O, O + v.markerOffset1, kBottom, colour::kMarker1);
  s.line(O + v.markerOffset2, O, O + v.markerOffset2, kBottom, colour::kMarker2);

  const float k1 = static_cast<float>(
      v.logTrace1 ? H / (log10Of(v.trace1Max) - log10Of(v.trace1Min)) : H / (v.trace1Max - v.trace1Min));
  const float b1 = static_cast<float>(v.logTrace1 ? log10Of(v.trace1Max) * k1 : v.trace1Max * k1);
  const float k2 = static_cast<float>(H / (v.trace2Max - v.trace2Min));
  const float b2 = static_cast<float>(v.trace2Max * k2);
  const auto map1 = [&](double value) { return O + b1 - (v.logTrace1 ? log10Of(value) : value) * k1; };
  const auto map2 = [&](double value) { return O + b2 - value * k2; };

  const PointPlaces at{v.points, v.pointX};
  const SegmentWindow window = SegmentWindow::of(at, s.clip().x0, s.clip().x1);
  drawTracePair(s, v.trace1, colour::kTrace1, v.memory1, v.drawMemory1, colour::kMemory1, 1, v.segments, at, map1,
                window);
  if (!v.levelTraceA.empty()) {
    const auto inDb = [&](double level) { return map1(20 * level); };
    for (int i = std::max(1, window.first); i <= std::min(v.segments, window.last); ++i) {
      drawSegment(s, v.levelTraceA, i, at, inDb, colour::kLevelA);
      drawSegment(s, v.levelTraceR, i, at, inDb, colour::kLevelR);
    }
  }
  if (v.drawTrace2)
    drawTracePair(s, v.trace2, colour::kTrace2, v.memory2, v.drawMemory2, colour::kMemory2, 1 + v.trace2Trim,
                  v.segments - v.trace2Trim, at, map2, window);

  if (v.levelBars) {
    drawLevelBar(s, 995, 997, v.levelR);
    drawLevelBar(s, 959, 961, v.levelA);
  }
  if (!v.promptLine1.empty()) {
    s.color(0, colour::kText);
    s.printAt(20, 20, v.promptLine1);
    s.printAt(21, 20, v.promptLine2);
    s.color(colour::kText, 0);
  }
  if (!v.startLabel.empty()) {
    s.color(v.startHovered ? 0 : colour::kText, v.startHovered ? colour::kText : 0);
    s.printAt(36, kPanelColumn + 2, v.startLabel);
    s.color(colour::kText, 0);
    s.box(kPanelColumn * 8 + 7, 559, kPanelColumn * 8 + 136, 576, colour::kTrace1);
  }
  s.clearClip();
}

void drawTraces(Screen& s, const TraceView& v) {
  s.setPages(kCompositionPage, kVisiblePage);
  drawTraceLayer(s, v, kWholeScreen);
  s.setPages(kVisiblePage, kVisiblePage);
  s.copyPage(kCompositionPage, kVisiblePage);
}

}  // namespace vna
