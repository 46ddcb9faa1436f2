// One plot of a quantity against frequency in its cell of the page: heading,
// grid at the axes' ticks, labels, the measured curve, the model's over it,
// and the markers as lines with their labels along the top.
#pragma once

#include <vector>

#include "report/page_painter.h"
#include "report/report_data.h"
#include "report/report_series.h"

namespace vna {

void drawCartesianPlot(PagePainter& painter, const Rect& cell, const Axis& frequencyAxis,
                       const std::vector<double>& frequencyHz, const PlotSeries& series,
                       const std::vector<ReportMarker>& markers);

// Labels laid along a line in rows: each goes into the first row where it
// is at least `gap` clear of every label already there. The row of each.
std::vector<int> stackLabels(const std::vector<Rect>& boxes, double gap);

}  // namespace vna
