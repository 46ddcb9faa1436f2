#include "report/results_table.h"

#include <algorithm>
#include <array>
#include <string>

namespace vna {
namespace {

constexpr double kHeadingFont = 17, kLargestFont = 16, kSmallestFont = 11;
constexpr double kPadding = 12;

// A row's cells in column order; the uncertainty is shown as "± u".
std::array<std::string, 4> cellsOf(const ReportRow& row) {
  return {row.name, row.value, row.uncertainty.empty() ? std::string() : "± " + row.uncertainty, row.unit};
}

const std::array<std::string, 4> kColumnTitles = {"quantity", "value", "uncertainty", "unit"};
const std::array<Anchor, 4> kAlignment = {Anchor::Left, Anchor::Right, Anchor::Right, Anchor::Left};

std::array<double, 4> columnWidths(PagePainter& painter, const std::vector<ReportRow>& rows, double size) {
  std::array<double, 4> widths{};
  painter.font(size, Weight::Bold);
  for (std::size_t c = 0; c < 4; ++c) widths[c] = painter.textWidth(kColumnTitles[c]);
  painter.font(size);
  for (const ReportRow& row : rows) {
    const auto cells = cellsOf(row);
    for (std::size_t c = 0; c < 4; ++c) widths[c] = std::max(widths[c], painter.textWidth(cells[c]));
  }
  return widths;
}

double total(const std::array<double, 4>& widths) {
  return widths[0] + widths[1] + widths[2] + widths[3] + 3 * kPadding;
}

}  // namespace

void drawResultsTable(PagePainter& painter, const Rect& cell, const std::vector<ReportRow>& rows) {
  painter.font(kHeadingFont, Weight::Bold);
  painter.text("Results", cell.x + 8, cell.y + 19, Anchor::Left);
  const double top = cell.y + 32, inner = cell.width - 16;
  if (rows.empty()) {
    painter.font(kLargestFont);
    painter.text("no fitted values", cell.x + 8, top + 20, Anchor::Left, Ink::Faint);
    return;
  }

  // The largest type at which the columns fit the width and the rows the height.
  double size = kLargestFont;
  std::array<double, 4> widths = columnWidths(painter, rows, size);
  const auto rowHeight = [](double fontSize) { return fontSize * 1.55; };
  while (size > kSmallestFont &&
         (total(widths) > inner || rowHeight(size) * static_cast<double>(rows.size() + 1) > cell.bottom() - top)) {
    size -= 0.5;
    widths = columnWidths(painter, rows, size);
  }
  // The name column takes what is left of the width (and gives way first).
  widths[0] = std::max(40.0, inner - (total(widths) - widths[0]));

  const double height = rowHeight(size);
  const std::size_t fitting = static_cast<std::size_t>(std::max(1.0, (cell.bottom() - top) / height - 1));
  const bool allFit = rows.size() <= fitting;
  const std::size_t shown = allFit ? rows.size() : fitting - 1;

  std::array<double, 4> x{};  // a left column's left edge, a right column's right edge
  double edge = cell.x + 8;
  for (std::size_t c = 0; c < 4; ++c) {
    x[c] = kAlignment[c] == Anchor::Left ? edge : edge + widths[c];
    edge += widths[c] + kPadding;
  }
  const auto drawRow = [&](const std::array<std::string, 4>& cells, double rowTop) {
    for (std::size_t c = 0; c < 4; ++c)
      painter.text(painter.fitted(cells[c], widths[c]), x[c], rowTop + height * 0.68, kAlignment[c]);
  };

  painter.font(size, Weight::Bold);
  drawRow(kColumnTitles, top);
  painter.line(cell.x + 8, top + height, cell.x + 8 + inner, top + height, Ink::Frame);
  painter.font(size);
  for (std::size_t r = 0; r < shown; ++r) {
    const double rowTop = top + height * static_cast<double>(r + 1);
    if (r % 2 == 1) painter.fill({cell.x + 8, rowTop + 1, inner, height - 1}, Ink::Shading);
    drawRow(cellsOf(rows[r]), rowTop);
  }
  if (!allFit)
    painter.text("(" + std::to_string(rows.size() - shown) + " more values are not shown)", cell.x + 8,
                 top + height * static_cast<double>(shown + 1) + height * 0.68, Anchor::Left, Ink::Faint);
}

}  // namespace vna
