// The Smith chart of a one-port on its reference: the constant-resistance
// circles and constant-reactance arcs of a printed chart, labelled with
// their normalized values, the measured reflection and the model's, and
// the markers as dots with their labels.
#pragma once

#include "report/page_painter.h"
#include "report/report_data.h"

namespace vna {

void drawSmithChart(PagePainter& painter, const Rect& cell, const ReportData& data);

// Where a label of size `width` x `height` goes so that its box touches,
// but does not cross, the circle of radius `radius` around (0, 0) in the
// direction `angle` (radians, counter-clockwise): the offset of its centre.
struct Offset {
  double dx = 0, dy = 0;
};
Offset labelOutsideCircle(double radius, double angle, double width, double height);

}  // namespace vna
