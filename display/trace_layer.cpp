#include "display/trace_layer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "display/layout.h"

namespace vna {
namespace {

// The screen as the trace layer shares it out. Everything it draws lies
// above the marker readout: traces, marker lines, cursor and prompt in the
// plot's columns, level bars and the Stop label beside them.
constexpr int kPlotRight = kPlot.origin + static_cast<int>(kPlot.width);  // 803
constexpr int kReadoutTop = rowTop(45);
constexpr PixelRect kAboveReadout{0, 0, kScreenWidth - 1, kReadoutTop - 1};
constexpr PixelRect kReadout{0, kReadoutTop, kScreenWidth - 1, kScreenHeight - 1};
constexpr PixelRect kBesidePlot{kPlotRight + 1, 0, kScreenWidth - 1, kReadoutTop - 1};

// Points first..last (inclusive) of a view, changed or not.
struct PointRange {
  int first = 0, last = -1;
  bool empty() const { return first > last; }
  void add(PointRange other) {
    if (other.empty()) return;
    if (empty()) {
      *this = other;
      return;
    }
    first = std::min(first, other.first);
    last = std::max(last, other.last);
  }
};

// Where two runs of values differ, bit for bit (a value that is not a
// number is then equal to itself); `std::nullopt` when their lengths differ.
std::optional<PointRange> differingPoints(const std::vector<double>& before, std::span<const double> after) {
  if (before.size() != after.size()) return std::nullopt;
  const auto same = [&](std::size_t i) {
    return std::bit_cast<std::uint64_t>(before[i]) == std::bit_cast<std::uint64_t>(after[i]);
  };
  std::size_t first = 0, end = after.size();
  while (first < end && same(first)) ++first;
  while (end > first && same(end - 1)) --end;
  return PointRange{static_cast<int>(first), static_cast<int>(end) - 1};
}

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Whether two views draw alike wherever neither their points' values, nor
// how far their traces reach, nor their scan cursors differ. Level bars and
// the Stop label are left out: what lies beside the plot is drawn at every
// refresh.
bool sameOutsideThePoints(const TraceView& a, const TraceView& b) {
  return a.points == b.points && a.markerOffset1 == b.markerOffset1 && a.markerOffset2 == b.markerOffset2 &&
         a.logTrace1 == b.logTrace1 && sameBits(a.trace1Max, b.trace1Max) && sameBits(a.trace1Min, b.trace1Min) &&
         sameBits(a.trace2Max, b.trace2Max) && sameBits(a.trace2Min, b.trace2Min) && a.drawTrace2 == b.drawTrace2 &&
         a.drawMemory1 == b.drawMemory1 && a.drawMemory2 == b.drawMemory2 && a.trace2Trim == b.trace2Trim &&
         a.levelTraceA.empty() == b.levelTraceA.empty() && a.levelTraceR.empty() == b.levelTraceR.empty();
}

void assign(std::vector<double>& to, std::span<const double> from) {
  to.assign(from.begin(), from.end());
}

}  // namespace

void TraceLayer::restoreBackground(Screen& screen) {
  if (!drawn_) {
    screen.copyPage(kBackgroundPage, kCompositionPage);
    return;
  }
  // The plot keeps what was drawn there until draw() knows what changed.
  screen.copyPageText(kBackgroundPage, kCompositionPage);
  screen.copyPageArea(kBackgroundPage, kCompositionPage, kReadout);
  restored_ = true;
}

std::optional<std::vector<PixelRect>> TraceLayer::changedBands(const TraceView& v) const {
  if (!drawn_ || denserThanPixels(v.points)) return std::nullopt;
  const Drawn& d = *drawn_;
  if (!sameOutsideThePoints(d.view, v) || d.prompt1 != v.promptLine1 || d.prompt2 != v.promptLine2) return std::nullopt;
  const std::optional<PointRange> places = differingPoints(d.pointX, v.pointX);
  if (!places || !places->empty()) return std::nullopt;

  // Points whose values changed, and the points of segments that appeared
  // or went (those of trace 2 end trace2Trim points sooner).
  PointRange changed;
  for (const auto& [before, after] :
       {std::pair{&d.trace1, v.trace1}, std::pair{&d.trace2, v.trace2}, std::pair{&d.memory1, v.memory1},
        std::pair{&d.memory2, v.memory2}, std::pair{&d.levelA, v.levelTraceA}, std::pair{&d.levelR, v.levelTraceR}}) {
    const std::optional<PointRange> points = differingPoints(*before, after);
    if (!points) return std::nullopt;
    changed.add(*points);
  }
  if (d.view.segments != v.segments)
    changed.add({std::min(d.view.segments, v.segments) - v.trace2Trim, std::max(d.view.segments, v.segments)});

  std::vector<PixelRect> bands;
  const auto addColumns = [&](std::int64_t left, std::int64_t right) {
    left = std::max<std::int64_t>(left, 0);
    right = std::min<std::int64_t>(right, kPlotRight);
    if (left <= right) bands.push_back({static_cast<int>(left), 0, static_cast<int>(right), kReadoutTop - 1});
  };
  if (!changed.empty()) {
    // A point's value moves the two segments that meet there: the columns
    // from the point before the first changed to the one after the last.
    const int from = std::max(changed.first - 1, 0), to = std::min(changed.last + 1, v.points - 1);
    std::int64_t left = roundPixel(tracePointX(v, from)), right = left;
    for (int i = from + 1; i <= to; ++i) {
      const std::int64_t x = roundPixel(tracePointX(v, i));
      left = std::min(left, x);
      right = std::max(right, x);
    }
    addColumns(left, right);
  }
  for (const TraceView* cursor : {&d.view, &v}) {
    if (!cursor->scanning) continue;
    const std::int64_t x = roundPixel(scanCursorX(*cursor));
    addColumns(x, x);
  }
  // Bands that touch become one, so no column is drawn twice.
  std::sort(bands.begin(), bands.end(), [](const PixelRect& a, const PixelRect& b) { return a.x0 < b.x0; });
  std::vector<PixelRect> merged;
  for (const PixelRect& band : bands) {
    if (!merged.empty() && band.x0 <= merged.back().x1 + 1) {
      merged.back().x1 = std::max(merged.back().x1, band.x1);
    } else {
      merged.push_back(band);
    }
  }
  return merged;
}

void TraceLayer::draw(Screen& screen, const TraceView& view) {
  screen.setPages(kCompositionPage, kVisiblePage);
  if (!std::exchange(restored_, false)) {
    drawTraceLayer(screen, view, kWholeScreen);  // the caller brought back the whole background
  } else if (const std::optional<std::vector<PixelRect>> bands = changedBands(view)) {
    for (const PixelRect& area : *bands) {
      screen.copyPageArea(kBackgroundPage, kCompositionPage, area);
      drawTraceLayer(screen, view, area);
    }
    screen.copyPageArea(kBackgroundPage, kCompositionPage, kBesidePlot);
    drawTraceLayer(screen, view, kBesidePlot);
  } else {
    screen.copyPageArea(kBackgroundPage, kCompositionPage, kAboveReadout);
    drawTraceLayer(screen, view, kWholeScreen);
  }
  remember(view);
  screen.setPages(kVisiblePage, kVisiblePage);
  screen.copyPage(kCompositionPage, kVisiblePage);
}

void TraceLayer::remember(const TraceView& view) {
  Drawn& d = drawn_ ? *drawn_ : drawn_.emplace();
  d.view = view;
  assign(d.trace1, view.trace1);
  assign(d.trace2, view.trace2);
  assign(d.memory1, view.memory1);
  assign(d.memory2, view.memory2);
  assign(d.pointX, view.pointX);
  assign(d.levelA, view.levelTraceA);
  assign(d.levelR, view.levelTraceR);
  d.prompt1 = view.promptLine1;
  d.prompt2 = view.promptLine2;
  // The copy keeps no pointer into what it was taken from.
  d.view.trace1 = d.view.trace2 = d.view.memory1 = d.view.memory2 = d.view.pointX = {};
  d.view.levelTraceA = d.view.levelTraceR = {};
  d.view.promptLine1 = d.view.promptLine2 = d.view.startLabel = {};
}

}  // namespace vna
