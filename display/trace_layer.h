// The trace layer of the measurement screen as a scan refreshes it point by
// point. It remembers what it last drew; when the next view differs from
// that only in some points' values, how far the traces reach and where the
// scan cursor stands, it brings back from the background and redraws only
// the columns those change (and the side of the plot with the level bars
// and the Stop label), drawing there everything that crosses them in the
// order of a whole drawing, so the screen comes out the same pixel for
// pixel. Anything else is drawn whole, as drawTraces does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "display/plot.h"

namespace vna {

class TraceLayer {
 public:
  // In place of copying the background page over the composition page
  // before the marker readout and the traces of a refresh: all of it when
  // nothing stands there yet, else everything but the plot, whose columns
  // draw() brings back as it needs them.
  void restoreBackground(Screen& screen);
  // Draws the view on the composition page and shows it, as drawTraces
  // does. Drawn whole unless restoreBackground came just before.
  void draw(Screen& screen, const TraceView& view);

 private:
  // A view as drawn, its values copied: the spans it draws from change in
  // place. The copy's spans and texts are left empty.
  struct Drawn {
    TraceView view;
    std::vector<double> trace1, trace2, memory1, memory2, pointX, levelA, levelR;
    std::string prompt1, prompt2;
  };
  // The columns to draw again, or nothing when the view must be drawn whole.
  std::optional<std::vector<PixelRect>> changedBands(const TraceView& view) const;
  void remember(const TraceView& view);

  std::optional<Drawn> drawn_;
  bool restored_ = false;  // restoreBackground ran since the last draw
};

}  // namespace vna
