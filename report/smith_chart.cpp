#include "report/smith_chart.h"

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/numeric.h"
#include "report/axis_ticks.h"
#include "reflection/impedance_quantities.h"
#include "report/report_series.h"

namespace vna {
namespace {

// Where an impedance stands on the chart: its reflection on the reference,
// as the display modes compute it; not finite (no dot) for an ideal open.
Complex gammaOf(Complex z, double referenceOhms) {
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) return {std::nan(""), std::nan("")};
  const Reflection r = reflectionOf(z, referenceOhms);
  return {r.re, r.im};
}

using Complex = std::complex<double>;

// The lines of a printed chart of this size.
constexpr std::array<double, 5> kResistances = {0.2, 0.5, 1, 2, 5};
constexpr std::array<double, 5> kReactances = {0.2, 0.5, 1, 2, 5};
constexpr double kLabelFont = 13, kHeadingFont = 17, kMarkerFont = 14;

struct Chart {
  double cx, cy, radius;
  double px(Complex gamma) const { return pageCoordinate(cx + radius * gamma.real()); }
  double py(Complex gamma) const { return pageCoordinate(cy - radius * gamma.imag()); }
};

void circle(cairo_t* cr, const Chart& chart, Complex centre, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, chart.px(centre), chart.py(centre), radius * chart.radius, 0, 2 * kPi);
}

// On the reflection plane: the circle of resistance r has its centre at
// r/(1 + r) and radius 1/(1 + r); the arc of reactance x is the part inside
// the unit circle of the circle about 1 + j/x of radius 1/|x|.
void drawGridLines(PagePainter& painter, const Chart& chart) {
  cairo_t* cr = painter.cairo();
  cairo_save(cr);
  circle(cr, chart, 0, 1);
  cairo_clip(cr);
  for (const double r : kResistances) circle(cr, chart, r / (1 + r), 1 / (1 + r));
  for (const double x : kReactances)
    for (const double sign : {1.0, -1.0}) circle(cr, chart, Complex(1, sign / x), 1 / x);
  painter.use(Ink::Grid);
  cairo_stroke(cr);
  cairo_restore(cr);
  painter.line(chart.px(-1), chart.cy, chart.px(1), chart.cy, Ink::Grid);
  circle(cr, chart, 0, 1);
  painter.use(Ink::Frame);
  cairo_stroke(cr);
}

// As printed charts label their lines: "0.2", "1", "5".
std::string valueText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Returns the boxes of the labels, which the markers' labels keep clear of.
std::vector<Rect> drawGridLabels(PagePainter& painter, const Chart& chart) {
  std::vector<Rect> boxes;
  painter.font(kLabelFont);
  // Resistances along the real axis, just left of where their circle crosses it.
  for (const double r : kResistances) {
    const double x = chart.px((r - 1) / (r + 1));
    const Rect box = painter.textBox(valueText(r), x - 3, chart.cy - 4, Anchor::Right);
    painter.fill({box.x - 1, box.y, box.width + 2, box.height - 2}, Ink::Shading);
    boxes.push_back(painter.text(valueText(r), x - 3, chart.cy - 4, Anchor::Right, Ink::Faint));
  }
  boxes.push_back(painter.text("0", chart.px(-1) - 6, chart.cy + 0.36 * kLabelFont, Anchor::Right, Ink::Faint));
  boxes.push_back(painter.text("∞", chart.px(1) + 6, chart.cy + 0.36 * kLabelFont, Anchor::Left, Ink::Faint));
  // Reactances outside the rim, where their arc meets it: at (jx - 1)/(jx + 1).
  for (const double x : kReactances)
    for (const double sign : {1.0, -1.0}) {
      const Complex rim = Complex(-1, sign * x) / Complex(1, sign * x);
      const std::string label = (sign > 0 ? "+j" : "−j") + valueText(x);
      const double width = painter.textWidth(label);
      const Offset at = labelOutsideCircle(chart.radius + 4, std::arg(rim), width, kLabelFont * 0.8);
      boxes.push_back(
          painter.text(label, chart.cx + at.dx, chart.cy + at.dy + 0.4 * kLabelFont * 0.8, Anchor::Center, Ink::Faint));
    }
  return boxes;
}

void drawTrace(PagePainter& painter, const Chart& chart, const std::vector<Complex>& impedance, double reference,
               Ink ink) {
  cairo_t* cr = painter.cairo();
  bool penDown = false;
  for (const Complex& z : impedance) {
    const Complex gamma = gammaOf(z, reference);
    const double x = chart.px(gamma), y = chart.py(gamma);
    if (!std::isfinite(x) || !std::isfinite(y)) {
      penDown = false;
      continue;
    }
    penDown ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
    penDown = true;
  }
  painter.use(ink);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// Each marker's dot on the measured trace, its label in the first of
// sixteen places around the dot (eight near, eight further) that touches
// no label already drawn.
void drawMarkers(PagePainter& painter, const Chart& chart, const ReportData& data, std::vector<Rect> taken) {
  painter.font(kMarkerFont, Weight::Bold);
  for (const ReportMarker& marker : data.markers) {
    const int point = nearestPoint(data.frequencyHz, marker.frequencyHz);
    if (point < 0) continue;
    const Complex gamma = gammaOf(data.measured[point], data.referenceOhms);
    const double x = chart.px(gamma), y = chart.py(gamma);
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    painter.dot(x, y, 5, Ink::Marker);
    const double width = painter.textWidth(marker.label), height = kMarkerFont;
    Rect chosen;
    for (int place = 0; place < 16; ++place) {
      const double angle = -kPi / 4 + place * kPi / 4, reach = place < 8 ? 10 : 28;
      const double left = x + std::cos(angle) * reach -
                          (std::cos(angle) < -0.1  ? width
                           : std::cos(angle) > 0.1 ? 0
                                                   : width / 2);
      const double top = y - std::sin(angle) * reach -
                         (std::sin(angle) > 0.1    ? height
                          : std::sin(angle) < -0.1 ? 0
                                                   : height / 2);
      chosen = {left, top, width, height};
      bool free = true;
      for (const Rect& other : taken) free = free && !chosen.overlaps(other);
      if (free) break;
    }
    taken.push_back(chosen);
    painter.fill({chosen.x - 2, chosen.y - 1, chosen.width + 4, chosen.height + 2}, Ink::Shading);
    painter.text(marker.label, chosen.x, chosen.y + 0.76 * kMarkerFont, Anchor::Left, Ink::Marker);
  }
}

}  // namespace

Offset labelOutsideCircle(double radius, double angle, double width, double height) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double reach = radius + std::fabs(c) * width / 2 + std::fabs(s) * height / 2;
  return {c * reach, -s * reach};
}

void drawSmithChart(PagePainter& painter, const Rect& cell, const ReportData& data) {
  constexpr double kTop = 30, kBottom = 30, kSide = 54;
  const double radius = std::min(cell.width - 2 * kSide, cell.height - kTop - kBottom - 2 * 26) / 2;
  const Chart chart{cell.x + cell.width / 2, cell.y + kTop + 26 + radius, radius};
  painter.font(kHeadingFont, Weight::Bold);
  painter.text("Smith chart", cell.x + 8, cell.y + 19, Anchor::Left);

  drawGridLines(painter, chart);
  const std::vector<Rect> gridLabels = drawGridLabels(painter, chart);
  drawTrace(painter, chart, data.measured, data.referenceOhms, Ink::Measured);
  drawTrace(painter, chart, data.model, data.referenceOhms, Ink::Model);
  drawMarkers(painter, chart, data, gridLabels);

  char caption[96];
  std::snprintf(caption, sizeof caption, "impedance normalized to %s Ω", siLabel(data.referenceOhms, 0.1).c_str());
  painter.font(kLabelFont + 1);
  painter.text(caption, chart.cx, chart.cy + radius + 26 + 24, Anchor::Center, Ink::Faint);
}

}  // namespace vna
