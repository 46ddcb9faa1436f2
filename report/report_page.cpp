#include "report/report_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "report/cartesian_plot.h"
#include "report/page_painter.h"
#include "report/report_series.h"
#include "report/results_table.h"
#include "report/smith_chart.h"

namespace vna {
namespace {

constexpr double kMargin = 36, kColumnGap = 28, kLeftShare = 0.60;
constexpr double kTitleFont = 28, kLineFont = 16, kLineSpacing = 22, kLegendFont = 15;
// More lines under the title than this leave too little room for the plots.
constexpr int kMostHeaderLines = 5;

// The legend at the right of the title line: a sample of each curve drawn.
// Returns its left edge.
double drawLegend(PagePainter& painter, double right, double baseline, bool withModel) {
  painter.font(kLegendFont);
  struct Entry {
    const char* name;
    Ink ink;
  };
  std::vector<Entry> entries = {{"measured", Ink::Measured}};
  if (withModel) entries.push_back({"model", Ink::Model});
  double x = right;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const double width = painter.textWidth(entry->name);
    painter.text(entry->name, x, baseline, Anchor::Right);
    x -= width + 8;
    painter.line(x - 36, baseline - 5, x, baseline - 5, entry->ink);
    x -= 36 + 24;
  }
  return x;
}

// Title, legend and the lines under them; returns where the header ends.
double drawHeader(PagePainter& painter, const ReportData& data) {
  const double width = kPageWidth - 2 * kMargin, baseline = kMargin + kTitleFont * 0.8;
  const double legendLeft = drawLegend(painter, kPageWidth - kMargin, baseline, !data.model.empty());
  painter.font(kTitleFont, Weight::Bold);
  painter.text(painter.fitted(data.title, legendLeft - kMargin - 24), kMargin, baseline, Anchor::Left);

  painter.font(kLineFont);
  std::vector<std::string> lines;
  for (const std::string& line : data.lines)
    for (std::string& part : painter.wrap(line, width)) lines.push_back(std::move(part));
  if (lines.size() > static_cast<std::size_t>(kMostHeaderLines)) {
    lines.resize(kMostHeaderLines);
    lines.back() = painter.fitted(lines.back() + " …", width);
  }
  double y = baseline + 10;
  for (const std::string& line : lines) {
    y += kLineSpacing;
    painter.text(line, kMargin, y, Anchor::Left);
  }
  y += 12;
  painter.line(kMargin, y, kPageWidth - kMargin, y, Ink::Frame);
  return y + 10;
}

// `area` cut into `count` cells one above the other.
std::vector<Rect> stacked(const Rect& area, std::size_t count, double gap) {
  std::vector<Rect> cells;
  const double height = (area.height - gap * static_cast<double>(count - 1)) / static_cast<double>(count);
  for (std::size_t k = 0; k < count; ++k)
    cells.push_back({area.x, area.y + static_cast<double>(k) * (height + gap), area.width, height});
  return cells;
}

}  // namespace

void drawReportPage(cairo_t* cr, const ReportData& data) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  PagePainter painter(cr);
  const double top = drawHeader(painter, data);

  const double inner = kPageWidth - 2 * kMargin - kColumnGap, height = kPageHeight - kMargin - top;
  const Rect left{kMargin, top, inner * kLeftShare, height};
  const Rect right{left.right() + kColumnGap, top, inner - left.width, height};
  // The right column's upper cell is square, for the Smith chart.
  const double upperHeight = std::min(right.width + 60, height * 0.64);
  const Rect upper{right.x, right.y, right.width, upperHeight};
  const Rect table{right.x, upper.bottom() + 14, right.width, right.bottom() - upper.bottom() - 14};

  const Axis frequency = frequencyAxisOf(data.frequencyHz);
  const std::vector<PlotSeries> plots = plotSeriesOf(data);
  // The left column holds two plots; a two-port's third (group delay) takes
  // the Smith chart's place.
  const std::vector<Rect> cells = stacked(left, 2, 16);
  for (std::size_t k = 0; k < 2; ++k)
    drawCartesianPlot(painter, cells[k], frequency, data.frequencyHz, plots[k], data.markers);
  if (data.kind == ReportKind::OnePort)
    drawSmithChart(painter, upper, data);
  else
    drawCartesianPlot(painter, upper, frequency, data.frequencyHz, plots[2], data.markers);
  drawResultsTable(painter, table, data.table);
}

}  // namespace vna
