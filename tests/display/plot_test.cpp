// The plot as pixels: where the grid lines fall, where values beyond the
// scale and values that are not numbers end up, which traces the shared
// screen draws for each display choice and scan state, and the level bars.
#include "display/plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <map>
#include <vector>

#include "analyzer/impedance_analyzer.h"
#include "display/layout.h"
#include "display/measurement_screen.h"
#include "platform/headless_backend.h"
#include "simulator/device_models.h"

namespace vna {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isGrid(int c) {
  return c == colour::kGrid || c == colour::kGridEmphasis;
}

struct PlotPixels : ::testing::Test {
  HeadlessBackend backend;
  Screen screen{backend};

  int at(int x, int y, int page = kVisiblePage) const { return screen.framebuffer().pixel(page, x, y); }

  // Grid lines crossing pixel row y (vertical lines) or column x (horizontal
  // lines) of the background page, with their colours.
  std::map<int, int> gridColumnsAtRow(int y) const {
    std::map<int, int> found;
    for (int x = 0; x < kScreenWidth; ++x)
      if (isGrid(at(x, y, kBackgroundPage))) found[x] = at(x, y, kBackgroundPage);
    return found;
  }
  std::map<int, int> gridRowsAtColumn(int x) const {
    std::map<int, int> found;
    for (int y = 0; y < kScreenHeight; ++y)
      if (isGrid(at(x, y, kBackgroundPage))) found[y] = at(x, y, kBackgroundPage);
    return found;
  }

  // Every pixel of the shown page outside the plot box, when nothing but
  // the plot was drawn, must still be the cleared screen.
  int pixelsOutsideTheBox() const {
    int count = 0;
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x)
        if ((x < 3 || x > 803 || y < 3 || y > 693) && at(x, y) != 0) ++count;
    return count;
  }

  void draw(const TraceView& v, bool levelMeter = false) {
    PlotFrameView frame;
    frame.logSweep = false;
    frame.levelMeter = levelMeter;
    drawPlotFrame(screen, frame);
    drawTraces(screen, v);
  }
};

// Every multiple d*10^e strictly above `lo` up to `hi`, the decades marked.
std::map<double, bool> multiplesAbove(double lo, double hi) {
  std::map<double, bool> lines;
  for (double decade = 1; decade <= hi; decade *= 10)
    for (int d = 1; d <= 9; ++d)
      if (d * decade > lo && d * decade <= hi) lines[d * decade] = d == 1;
  return lines;
}

TEST_F(PlotPixels, LogSweepGridHasALineAtEveryMultipleAboveTheLowEndAndNoneOnIt) {
  struct Sweep {
    double fmin, fmax;
  };
  // The last two ranges start on a power of ten, where the decade of the
  // low end is easily taken one too low.
  for (const Sweep sweep : {Sweep{200, 60e6}, Sweep{1e3, 1e6}, Sweep{1e6, 99e6}}) {
    SCOPED_TRACE(std::to_string(sweep.fmin) + " .. " + std::to_string(sweep.fmax));
    PlotFrameView frame;
    frame.logSweep = true;
    frame.freqMin = sweep.fmin;
    frame.freqMax = sweep.fmax;
    drawPlotFrame(screen, frame);
    std::map<int, int> expected;
    for (const auto& [f, decade] : multiplesAbove(sweep.fmin, sweep.fmax)) {
      const double x = 3 + 800 * std::log10(f / sweep.fmin) / std::log10(sweep.fmax / sweep.fmin);
      expected[static_cast<int>(std::lround(x))] = decade ? colour::kGridEmphasis : colour::kGrid;
    }
    EXPECT_EQ(gridColumnsAtRow(40), expected);                 // row 40 lies between two horizontal lines
    EXPECT_EQ(at(3, 40, kBackgroundPage), colour::kPlotBack);  // nothing at Fmin itself
  }
  // The named case: 300 Hz first, 1 kHz emphasised, 60 MHz on the right edge.
  drawPlotFrame(screen, PlotFrameView{true, 200, 60e6, false, 100, 0, false});
  const std::map<int, int> lines = gridColumnsAtRow(40);
  ASSERT_EQ(lines.size(), 7u + 4 * 9 + 6);          // 300..900, four whole decades 1k..9M, 10M..60M
  EXPECT_EQ(lines.begin()->first, 29);              // 300 Hz
  EXPECT_EQ(lines.at(105), colour::kGridEmphasis);  // 1 kHz
  EXPECT_EQ(lines.rbegin()->first, 803);            // 60 MHz
  EXPECT_EQ(lines.rbegin()->second, colour::kGrid);
  // Linear sweep: eleven lines 80 pixels apart, the middle one emphasised.
  drawPlotFrame(screen, PlotFrameView{false, 200, 60e6, false, 100, 0, false});
  std::map<int, int> linear;
  for (int i = 0; i <= 10; ++i) linear[3 + 80 * i] = i == 5 ? colour::kGridEmphasis : colour::kGrid;
  EXPECT_EQ(gridColumnsAtRow(40), linear);
}

TEST_F(PlotPixels, LogScaleGridOfTrace1SpansMinToMaxWithTheDecadesMarked) {
  struct Scale {
    double min, max;
  };
  for (const Scale scale : {Scale{1, 100}, Scale{0.001, 1}, Scale{2.5, 4000}}) {
    SCOPED_TRACE(std::to_string(scale.min) + " .. " + std::to_string(scale.max));
    drawPlotFrame(screen, PlotFrameView{false, 200, 60e6, true, scale.max, scale.min, false});
    std::map<int, int> expected;
    for (const auto& [v, decade] : multiplesAbove(1000 * scale.min, 1000 * scale.max)) {
      const double y = 693 - 690 * std::log10(v / (1000 * scale.min)) / std::log10(scale.max / scale.min);
      expected[static_cast<int>(std::lround(y))] = decade ? colour::kGridEmphasis : colour::kGrid;
    }
    EXPECT_EQ(gridRowsAtColumn(10), expected);                   // column 10 lies between two vertical lines
    EXPECT_EQ(at(10, 693, kBackgroundPage), colour::kPlotBack);  // no line at MIN itself
  }
  // MIN 1, Max 100: 2 ... 9, 10 emphasised, 20 ... 90, 100 emphasised on the top edge.
  drawPlotFrame(screen, PlotFrameView{false, 200, 60e6, true, 100, 1, false});
  const std::map<int, int> rows = gridRowsAtColumn(10);
  ASSERT_EQ(rows.size(), 18u);
  EXPECT_EQ(rows.at(348), colour::kGridEmphasis);  // 10, half way up
  EXPECT_EQ(rows.at(3), colour::kGridEmphasis);    // 100
  EXPECT_EQ(rows.rbegin()->first, 589);            // 2
}

TEST_F(PlotPixels, ValuesBeyondTheScaleLieOnTheBoxEdgeAndNeverOutside) {
  // 51 points, 16 pixels apart. Trace 1 (100 .. 0): points 0..9 far above
  // Max, 20..29 below MIN, the rest wildly beyond both. Trace 2 (225 ..
  // -225) the same way round on its own scale.
  std::vector<double> t1(51), t2(51);
  for (int i = 0; i < 51; ++i) {
    const auto u = static_cast<std::size_t>(i);
    t1[u] = i < 10 ? 150 : i < 20 ? 50 : i < 30 ? -80 : (i % 2 ? 1e300 : -1e300);
    t2[u] = i < 10 ? -1e6 : i < 20 ? 0 : i < 30 ? 226 : (i % 2 ? -1e30 : 1e30);
  }
  TraceView v;
  v.points = 51;
  v.segments = 50;
  v.trace1 = t1;
  v.trace2 = t2;
  v.markerOffset1 = v.markerOffset2 = 0;
  draw(v);
  for (int x = 3; x <= 3 + 16 * 9; ++x) {
    EXPECT_EQ(at(x, 3), colour::kTrace1) << x;
    EXPECT_EQ(at(x, 693), colour::kTrace2) << x;
  }
  for (int x = 3 + 16 * 20; x <= 3 + 16 * 29; ++x) {
    EXPECT_EQ(at(x, 693), colour::kTrace1) << x;
    EXPECT_EQ(at(x, 3), colour::kTrace2) << x;
  }
  EXPECT_EQ(at(3 + 16 * 15, 348), colour::kTrace2);  // a value inside the scale stays where it belongs
  EXPECT_EQ(pixelsOutsideTheBox(), 0);
}

TEST_F(PlotPixels, InfiniteAndNotANumberValuesDrawNothingOutsideTheBox) {
  // Trace 1 on the logarithmic scale, point by point: +inf, 0 and -5 (which
  // have no logarithm), a plain 10, NaN. The other traces hold only values
  // that are not numbers or lie below their scale.
  std::vector<double> t1(51), t2(51), m1(51), m2(51);
  const double cycle1[] = {kInf, 0.0, -5.0, 10.0, kNaN};
  const double cycle2[] = {-kInf, kNaN, 0.0};
  for (std::size_t i = 0; i < 51; ++i) {
    t1[i] = cycle1[i % 5];
    m1[i] = i % 2 ? kNaN : -kInf;
    t2[i] = cycle2[i % 3];
    m2[i] = i % 2 ? -kInf : kNaN;
  }
  TraceView v;
  v.points = 51;
  v.segments = 50;
  v.logTrace1 = true;
  v.trace1Max = 100;
  v.trace1Min = 1;
  v.trace1 = t1;
  v.trace2 = t2;
  v.drawMemory1 = v.drawMemory2 = true;
  v.memory1 = m1;
  v.memory2 = m2;
  v.markerOffset1 = v.markerOffset2 = 0;
  draw(v);
  EXPECT_EQ(pixelsOutsideTheBox(), 0);
  // Infinity is beyond Max: trace 1 reaches the top edge there, and only there.
  for (int i = 0; i < 51; ++i) EXPECT_EQ(at(3 + 16 * i, 3) == colour::kTrace1, i % 5 == 0) << "point " << i;
  EXPECT_EQ(at(3 + 16 * 3, 348), colour::kTrace1);  // 10 on 1 .. 100: half way
}

TEST_F(PlotPixels, LevelBarsRiseFromTheFloorAndTurnRedAboveSevenDecibels) {
  TraceView v;
  v.levelBars = true;
  v.levelA = -1;   // -20 dB: a green bar from 667 up to 587
  v.levelR = 0.5;  // +10 dB: up to 557, the part above 560 in the overload colour
  draw(v, true);
  for (int y = 557; y <= 677; ++y) {
    SCOPED_TRACE(y);
    if (y > 560) {  // above lies the foot of the "A"
      EXPECT_EQ(at(960, y), y >= 587 && y <= 667 ? colour::kMemory2 : 0);
    }
    EXPECT_EQ(at(996, y), y < 561 ? colour::kMarker1 : y <= 667 ? colour::kMemory2 : 0);
  }
  // Below the -5 floor (and not a number at all) the bar is one row at
  // -100 dBm: the black channel under it stays black.
  v.levelA = -12;
  v.levelR = kNaN;
  draw(v, true);
  for (int y = 560; y <= 687; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(at(960, y), y == 667 ? colour::kMemory2 : 0);
    EXPECT_EQ(at(996, y), y == 667 ? colour::kMemory2 : 0);
  }
  // 6.9 dB reaches row 560 and is not yet an overload; neither is 7 dB
  // itself, which ends on the same row: only above 7 dB does it turn red.
  for (const double level : {0.345, 0.35}) {
    SCOPED_TRACE(level);
    v.levelA = level;
    draw(v, true);
    EXPECT_EQ(at(960, 560), colour::kMemory2);
    EXPECT_EQ(at(960, 559), 0);
  }
  v.levelA = 0.355;  // 7.1 dB: up to row 559.9, its top row 560 in the overload colour
  draw(v, true);
  EXPECT_EQ(at(960, 560), colour::kMarker1);
  EXPECT_EQ(at(960, 561), colour::kMemory2);
}

// Where a trace and its memory cross, each segment of the trace lies under
// the memory's same segment and over the memory's previous one, with 801
// points (one to a pixel column) as with 401. The memory here climbs across
// a column and then runs flat while the trace falls from the top of that
// column: there the trace covers the memory's climb.
TEST_F(PlotPixels, ATraceLiesUnderItsMemorysSameSegmentAndOverItsPreviousOne) {
  for (const int points : {401, 801}) {
    SCOPED_TRACE(std::to_string(points) + " points");
    std::vector<double> trace(static_cast<std::size_t>(points)), memory(trace.size());
    for (std::size_t i = 0; i < trace.size(); ++i) {
      trace[i] = i % 2 ? 10 : 90;
      memory[i] = (i / 2) % 2 ? 90 : 10;
    }
    TraceView v;
    v.points = points;
    v.segments = points - 1;
    v.trace1Max = 100;
    v.trace1Min = 0;
    v.trace1 = trace;
    v.memory1 = memory;
    v.drawMemory1 = true;
    v.markerOffset1 = v.markerOffset2 = 0;
    draw(v);

    // The same segments in that order, drawn alone on a screen of their own
    // with the plot's scale (single precision, as the plot keeps it).
    HeadlessBackend otherBackend;
    Screen expected{otherBackend};
    const float k = static_cast<float>(690.0 / 100);
    const float b = static_cast<float>(100 * k);
    const auto x = [&](int i) { return 3 + 800.0 * i / (points - 1); };
    const auto y = [&](double value) { return kPlot.origin + b - value * k; };
    for (int i = 1; i < points; ++i) {
      const auto p = static_cast<std::size_t>(i);
      expected.line(x(i), y(trace[p]), x(i - 1), y(trace[p - 1]), colour::kTrace1);
      expected.line(x(i), y(memory[p]), x(i - 1), y(memory[p - 1]), colour::kMemory1);
    }
    int differing = 0, tracePixels = 0;
    for (int py = 3; py <= 693; ++py) {
      for (int px = 3; px <= 803; ++px) {
        const int want = expected.framebuffer().pixel(kVisiblePage, px, py);
        if (want != colour::kTrace1 && want != colour::kMemory1) continue;
        if (want == colour::kTrace1) ++tracePixels;
        if (at(px, py) != want) ++differing;
      }
    }
    EXPECT_EQ(differing, 0) << "of " << tracePixels << " trace pixels and the memory's";
  }
}

// The shared screen decides from the display choice and the scan state
// which traces exist and how far they reach.
struct NoQuantities : PointQuantities {
  void derivePoint(int) override {}
};

struct ScreenTraces : PlotPixels {
  MeasurementState state;
  NoQuantities quantities;
  ProgramPanel panel;
  ProgramButton button;
  MeasurementOutput output;
  MeasurementScreen measurement{screen, state, impedanceAnalyzerProfile().screen, {quantities, panel, button, output}};

  ScreenTraces() {
    for (int m = 0; m < 11; ++m) state.scales.set(m, impedanceAnalyzerProfile().screen.modes[m].defaultScales);
    state.plan.points = 51;
    rescaleMarkers(state.plan);
    state.control.stopped();
    // Mode 0: |z| 100 .. 0 and arg z 225 .. -225. Flat traces at rows
    // 141 (|z| 80), 348 (arg 0), 555 (memory |z| 20) and 210 (memory arg 90).
    for (std::size_t i = 0; i < 51; ++i) {
      state.record.trace1[i] = 80;
      state.record.trace2[i] = 0;
      state.record.memoryTrace1[i] = 20;
      state.record.memoryTrace2[i] = 90;
    }
  }
  struct Seen {
    bool trace1, trace2, memory1, memory2;
    friend bool operator==(const Seen&, const Seen&) = default;
  };
  // The scan as the loops leave it: stopped after point `last`, or complete.
  void measureUpTo(int last) {
    ScanControl& c = state.control;
    c.start();
    c.sweepBegins();
    do c.pointMeasured(state.plan.points);
    while (c.resumePoint() < last);
    c.stoppedByUser();
  }
  Seen seenAt(int x) const {
    return {at(x, 141) == colour::kTrace1, at(x, 348) == colour::kTrace2, at(x, 555) == colour::kMemory1,
            at(x, 210) == colour::kMemory2};
  }
};

TEST_F(ScreenTraces, MemoryTracesOnlyOverACompleteScanWithAStoredMemoryAndTrace2OnlyWhenChosen) {
  struct Case {
    int choice;
    bool memoryValid, scanComplete;
    Seen seen;
  };
  const Case cases[] = {
      {display_choice::kBoth, true, true, {true, true, false, false}},
      {display_choice::kFirstOnly, true, true, {true, false, false, false}},
      {display_choice::kBothWithMemory, true, true, {true, true, true, true}},
      {display_choice::kFirstWithMemory, true, true, {true, false, true, false}},
      {display_choice::kBothWithMemory, false, true, {true, true, false, false}},
      {display_choice::kFirstWithMemory, false, true, {true, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("choice " + std::to_string(c.choice) + " memory " + std::to_string(c.memoryValid) + " complete " +
                 std::to_string(c.scanComplete));
    state.control = ScanControl{};
    state.control.displayChoice = c.choice;
    measureUpTo(c.scanComplete ? 50 : 40);
    if (c.memoryValid) state.control.memoryCopied();
    measurement.redrawAll();
    EXPECT_EQ(seenAt(400), c.seen);
  }
}

TEST_F(ScreenTraces, TracesReachTheLastMeasuredPointAllOfACompleteScanAndNothingAfterASweepChange) {
  state.control.displayChoice = display_choice::kBothWithMemory;
  // Stopped after point 25 (x = 403) of a first scan.
  measureUpTo(25);
  measurement.redrawAll();
  EXPECT_EQ(seenAt(395), (Seen{true, true, false, false}));
  EXPECT_EQ(seenAt(411), (Seen{false, false, false, false}));
  // The whole scan, with its memory, up to the right edge.
  measureUpTo(50);
  state.control.memoryCopied();
  measurement.redrawAll();
  EXPECT_EQ(seenAt(803), (Seen{true, true, true, true}));
  // The sweep switched to linear: the complete scan and its memory stay
  // stored, but nothing is drawn until the next scan measures again.
  state.control.sweepKindChanged();
  measurement.redrawAll();
  for (int x = 3; x <= 803; x += 8) EXPECT_EQ(seenAt(x), (Seen{false, false, false, false})) << x;
}

// A scan refreshes the traces point by point and redraws only what a point
// changes; after every point the screen must be what a full redraw of the
// same state shows on a second screen, pixel for pixel. The values are the
// simulated instrument's devices, with a ripple so that trace and memory
// cross; the level inputs rise past the overload mark and fall again.
struct DeviceHooks : PointQuantities {
  MeasurementState& state;
  Device device = Device::seriesRlc(10, 1e-6, 100e-12);
  int trim = 0;
  double ripple = 0;
  explicit DeviceHooks(MeasurementState& s) : state(s) {}
  void derivePoint(int i) override {
    const auto p = static_cast<std::size_t>(i);
    const std::complex<double> z = impedanceAt(device, state.record.frequency[p]);
    state.record.trace1[p] = std::abs(z) * (1 + ripple * std::sin(i * 0.7));
    state.record.trace2[p] = std::arg(z) * 180 / 3.1415926 + 40 * ripple * std::cos(i * 0.3);
  }
  int trace2Trim() const override { return trim; }
};

struct ScanAgainstFullRedraw : ::testing::Test {
  HeadlessBackend backendShown, backendFull;
  Screen shown{backendShown}, full{backendFull};
  MeasurementState state;
  DeviceHooks hooks{state};
  ProgramPanel panel;
  ProgramButton button;
  MeasurementOutput output;
  const MeasurementProfile& profile = impedanceAnalyzerProfile().screen;
  MeasurementScreen scanning{shown, state, profile, {hooks, panel, button, output}};
  MeasurementScreen redrawn{full, state, profile, {hooks, panel, button, output}};

  ScanAgainstFullRedraw() {
    for (int m = 0; m < static_cast<int>(profile.modes.size()); ++m)
      state.scales.set(m, profile.modes[m].defaultScales);
  }
  void plan(int points, double freqMin, double freqMax, bool logSweep) {
    state.plan.points = points;
    state.plan.freqMin = freqMin;
    state.plan.freqMax = freqMax;
    state.plan.logSweep = logSweep;
    buildFrequencyList(state.plan, state.record.frequency);
    rescaleMarkers(state.plan);
  }
  // Every point of the plan once, as the scan session takes them; false
  // with the first point whose screen differs from the full redraw.
  void scan(const std::function<void(int)>& measure) {
    ScanControl& c = state.control;
    if (!c.scanComplete()) {  // else the scan runs on from point 0 over the stored one
      c.fromFirstPoint();
      c.start();
    }
    scanning.recomputeAll();
    redrawn.recomputeAll();
    scanning.redrawAll();
    for (int i = 0; i < state.plan.points; ++i) {
      measure(i);
      hooks.derivePoint(i);
      scanning.refreshTraces();
      redrawn.redrawAll();
      int differing = 0, firstX = -1, firstY = -1;
      for (int y = 0; y < kScreenHeight; ++y) {
        const std::uint8_t* a = shown.framebuffer().row(kVisiblePage, y);
        const std::uint8_t* b = full.framebuffer().row(kVisiblePage, y);
        for (int x = 0; x < kScreenWidth; ++x) {
          if (a[x] == b[x]) continue;
          if (differing++ == 0) std::tie(firstX, firstY) = std::pair{x, y};
        }
      }
      ASSERT_EQ(differing, 0) << "after point " << i << ", first at " << firstX << "," << firstY;
      c.pointMeasured(state.plan.points);
    }
  }
};

TEST_F(ScanAgainstFullRedraw, EveryPointLeavesTheScreenAsAFullRedrawDrawsIt) {
  ScanControl& c = state.control;
  const auto noLevels = [&](int i) {
    state.record.levelA[static_cast<std::size_t>(i)] = -1;
    state.record.levelR[static_cast<std::size_t>(i)] = -0.5;
  };
  {
    SCOPED_TRACE("a first scan of 801 points, |z| on its logarithmic scale, log sweep");
    const auto logMode =
        std::find_if(profile.modes.begin(), profile.modes.end(), [](const ModeSpec& m) { return m.logTrace1; });
    ASSERT_NE(logMode, profile.modes.end());
    c.displayMode = static_cast<int>(logMode - profile.modes.begin());
    plan(801, 1e3, 60e6, true);
    scan(noLevels);
  }
  {
    SCOPED_TRACE("both traces and memory over the stored scan, 401 points, linear sweep");
    c.displayMode = 0;
    plan(401, 1e6, 30e6, false);
    scan(noLevels);
    std::copy_n(state.record.trace1.begin(), 401, state.record.memoryTrace1.begin());
    std::copy_n(state.record.trace2.begin(), 401, state.record.memoryTrace2.begin());
    c.memoryCopied();
    c.displayChoice = display_choice::kBothWithMemory;
    hooks.device = Device::parallelRlc(50, 2e-6, 50e-12);
    hooks.ripple = 0.3;
    scan(noLevels);
  }
  {
    SCOPED_TRACE("the input levels as traces and bars, trace 2 trimmed at both ends");
    c.displayChoice = display_choice::kLevels;
    hooks.trim = 4;
    scan([&](int i) {
      state.record.levelA[static_cast<std::size_t>(i)] = 0.6 * std::sin(i * 0.05) - 0.2;
      state.record.levelR[static_cast<std::size_t>(i)] = 0.4 * std::cos(i * 0.11);
    });
  }
  {
    SCOPED_TRACE("points not evenly spaced, over the stored scan");
    hooks.trim = 0;
    c.displayChoice = display_choice::kBoth;
    state.plan.evenSpacing = false;
    for (std::size_t i = 0; i < 401; ++i) state.record.frequency[i] = 1e6 + 29e6 * std::pow(i / 400.0, 1.7);
    scan(noLevels);
  }
}

}  // namespace
}  // namespace vna
