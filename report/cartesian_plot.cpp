#include "report/cartesian_plot.h"

#include <algorithm>
#include <cmath>

namespace vna {
namespace {

constexpr double kTickFont = 15, kHeadingFont = 17, kMarkerFont = 14;

// The frame inside the cell: room for the heading above, the value labels
// at the left, the frequency labels and the axis title below.
Rect frameOf(const Rect& cell) {
  constexpr double kLeft = 76, kTop = 48, kRight = 16, kBottom = 52;
  return {cell.x + kLeft, cell.y + kTop, cell.width - kLeft - kRight, cell.height - kTop - kBottom};
}

struct Mapping {
  Rect frame;
  const Axis& x;
  const Axis& y;
  double px(double value) const { return pageCoordinate(frame.x + axisFraction(x, value) * frame.width); }
  double py(double value) const { return pageCoordinate(frame.bottom() - axisFraction(y, value) * frame.height); }
};

bool labelled(const Tick& tick) {
  return !tick.label.empty();
}

void drawGrid(PagePainter& painter, const Mapping& map) {
  for (const Tick& tick : map.x.ticks) {
    const double x = map.px(tick.value);
    painter.line(x, map.frame.y, x, map.frame.bottom(), labelled(tick) ? Ink::Grid : Ink::MinorGrid);
  }
  for (const Tick& tick : map.y.ticks) {
    const double y = map.py(tick.value);
    painter.line(map.frame.x, y, map.frame.right(), y, labelled(tick) ? Ink::Grid : Ink::MinorGrid);
  }
}

// Tick labels, each skipped when it would touch the one before it.
void drawTickLabels(PagePainter& painter, const Mapping& map) {
  painter.font(kTickFont);
  Rect previous{-1e9, -1e9, 0, 0};
  for (const Tick& tick : map.x.ticks) {
    if (!labelled(tick)) continue;
    const double x = map.px(tick.value), baseline = map.frame.bottom() + 21;
    const Rect box = painter.textBox(tick.label, x, baseline, Anchor::Center);
    if (box.x < previous.right() + 8) continue;
    previous = painter.text(tick.label, x, baseline, Anchor::Center);
  }
  previous = {-1e9, -1e9, 0, 0};
  for (const Tick& tick : map.y.ticks) {
    if (!labelled(tick)) continue;
    const double baseline = map.py(tick.value) + 0.36 * kTickFont;
    const Rect box = painter.textBox(tick.label, map.frame.x - 8, baseline, Anchor::Right);
    if (box.overlaps({previous.x, previous.y - 2, previous.width, previous.height + 4})) continue;
    previous = painter.text(tick.label, map.frame.x - 8, baseline, Anchor::Right);
  }
}

// A polyline through the finite values, lifted where a value is missing
// and, for a phase, where it wraps round (a jump of more than half a turn).
void drawCurve(PagePainter& painter, const Mapping& map, const std::vector<double>& x, const std::vector<double>& y,
               bool phase, Ink ink) {
  cairo_t* cr = painter.cairo();
  bool penDown = false;
  for (std::size_t i = 0; i < y.size() && i < x.size(); ++i) {
    const double px = map.px(x[i]), py = map.py(y[i]);
    if (!std::isfinite(px) || !std::isfinite(py)) {
      penDown = false;
      continue;
    }
    const bool wraps = phase && i > 0 && std::fabs(y[i] - y[i - 1]) > 180;
    if (penDown && !wraps)
      cairo_line_to(cr, px, py);
    else
      cairo_move_to(cr, px, py);
    penDown = true;
  }
  painter.use(ink);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void drawMarkers(PagePainter& painter, const Mapping& map, const std::vector<double>& frequencyHz,
                 const std::vector<double>& measured, const std::vector<ReportMarker>& markers) {
  painter.font(kMarkerFont, Weight::Bold);
  std::vector<Rect> boxes;
  std::vector<const ReportMarker*> shown;
  for (const ReportMarker& marker : markers) {
    const int point = nearestPoint(frequencyHz, marker.frequencyHz);
    if (point < 0) continue;
    const double x = map.px(marker.frequencyHz);
    painter.line(x, map.frame.y, x, map.frame.bottom(), Ink::Marker);
    if (std::isfinite(measured[point]))
      painter.dot(map.px(frequencyHz[point]), map.py(measured[point]), 4.5, Ink::Marker);
    Rect box = painter.textBox(marker.label, x, map.frame.y - 7, Anchor::Center);
    // Kept over the frame at its ends.
    box.x = std::clamp(box.x, map.frame.x, map.frame.right() - box.width);
    boxes.push_back(box);
    shown.push_back(&marker);
  }
  // The first row stands just above the frame, where no curve goes; labels
  // that crowd it go down into the frame, row by row.
  const std::vector<int> rows = stackLabels(boxes, 6);
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    const double baseline = rows[k] == 0 ? map.frame.y - 7 : map.frame.y + 4 + rows[k] * (kMarkerFont + 6);
    const Rect box = painter.textBox(shown[k]->label, boxes[k].x, baseline, Anchor::Left);
    if (rows[k] > 0) painter.fill({box.x - 3, box.y - 2, box.width + 6, box.height + 3}, Ink::Shading);
    painter.text(shown[k]->label, box.x, baseline, Anchor::Left, Ink::Marker);
  }
}

}  // namespace

std::vector<int> stackLabels(const std::vector<Rect>& boxes, double gap) {
  std::vector<int> rows(boxes.size(), 0);
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    for (bool clash = true; clash;) {
      clash = false;
      for (std::size_t j = 0; j < k && !clash; ++j)
        clash = rows[j] == rows[k] && boxes[k].x < boxes[j].right() + gap && boxes[j].x < boxes[k].right() + gap;
      if (clash) ++rows[k];
    }
  }
  return rows;
}

void drawCartesianPlot(PagePainter& painter, const Rect& cell, const Axis& frequencyAxis,
                       const std::vector<double>& frequencyHz, const PlotSeries& series,
                       const std::vector<ReportMarker>& markers) {
  const Mapping map{frameOf(cell), frequencyAxis, series.yAxis};
  painter.font(kHeadingFont, Weight::Bold);
  painter.text(series.heading, map.frame.x, cell.y + 19, Anchor::Left);

  drawGrid(painter, map);
  cairo_t* cr = painter.cairo();
  cairo_save(cr);
  cairo_rectangle(cr, map.frame.x, map.frame.y, map.frame.width, map.frame.height);
  cairo_clip(cr);
  drawCurve(painter, map, frequencyHz, series.measured, series.phase, Ink::Measured);
  drawCurve(painter, map, frequencyHz, series.model, series.phase, Ink::Model);
  cairo_restore(cr);
  drawMarkers(painter, map, frequencyHz, series.measured, markers);

  painter.rectangle(map.frame, Ink::Frame);
  drawTickLabels(painter, map);
  painter.font(kTickFont);
  painter.text("frequency  (Hz)", map.frame.x + map.frame.width / 2, map.frame.bottom() + 44, Anchor::Center,
               Ink::Faint);
}

}  // namespace vna
