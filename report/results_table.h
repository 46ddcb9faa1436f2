// The results table: quantity, value, uncertainty and unit, a row each,
// the values and uncertainties right-aligned so that their digits line up.
#pragma once

#include <vector>

#include "report/page_painter.h"
#include "report/report_data.h"

namespace vna {

// Draws into `cell`, making the type smaller when the rows need it; rows
// that still do not fit are left out and the last line says how many.
void drawResultsTable(PagePainter& painter, const Rect& cell, const std::vector<ReportRow>& rows);

}  // namespace vna
