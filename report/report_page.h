// The layout of the report's one page, 1600 x 1130 units (the proportions
// of A4 landscape): the title and its lines across the top, the plots
// against frequency in the left column, the Smith chart (or, for a
// two-port, the group delay) and the results table in the right one.
#pragma once

#include <cairo.h>

#include "report/report_data.h"

namespace vna {

inline constexpr double kPageWidth = 1600, kPageHeight = 1130;

// Draws the whole page on `cr`, whose user space is the page's units.
void drawReportPage(cairo_t* cr, const ReportData& data);

}  // namespace vna
