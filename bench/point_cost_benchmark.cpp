// The software's CPU cost per scanned point, and of the full recomputation
// and redraw after a display mode change. Prints figures; asserts nothing
// (the machines are shared and noisy: medians over many points, CPU time
// rather than wall time).
//
// Usage: point_cost_benchmark [measured points, default 300]
// With DISPLAY set the program draws into a real X11 window (run it under
// Xvfb to count the cost of presenting); otherwise headless.
//
// Two runs of the real objects:
//  1. The whole program: ImpedanceAnalyzer against the in-process simulated
//     instrument. A scripted user sets 801 points, calibrates with open,
//     short and a 50 ohm load, measures an RLC circuit, copies the complete
//     scan to memory and chooses "both + memory" (all this on a clock that
//     skips the waits); then the clock runs in real time and the CPU time
//     of every point is taken, less what the simulated instrument itself
//     spends (a real instrument costs the process nothing).
//  2. The parts: a MeasurementScreen over the program's final state, each
//     point going through what a scan pass does with it (conversion,
//     correction, quantities, trace layer, present), every part timed.
#include "point_cost_harness.h"

namespace {


struct WholeProgramResult {
  std::vector<double> pointCpu;       // the program's own CPU per point
  std::vector<double> instrumentCpu;  // the simulated instrument, left out
  // The state the measured scan left, for the parts run.
  MeasurementState state;
  ReflectionRecord reflection;
  std::vector<std::array<std::int32_t, kMaxSamples>> samplesR, samplesA;
  bool ok = false;
};

// Run 1: the whole program, as a user's process runs it.
WholeProgramResult runWholeProgram(RealBackend& real, int measuredPoints) {
  WholeProgramResult result;
  std::printf("backend                          %s\n", real.name());
  ScriptedBackend backend(*real.backend);
  Screen screen(backend);
  InstrumentModel model;
  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("vna-point-cost-" + std::to_string(::getpid()));
  std::filesystem::create_directories(work);
  TimedChannel* channel = nullptr;
  std::unique_ptr<ImpedanceAnalyzer> program;
  program = std::make_unique<ImpedanceAnalyzer>(
      screen,
      [&](int) -> std::unique_ptr<SerialChannel> {
        auto c = std::make_unique<TimedChannel>([&backend] { return backend.now(); }, model);
        channel = c.get();
        return c;
      },
      work / "configu");

  const Device dut = Device::seriesRlc(10, 1e-6, 100e-12);
  model.setDevice(dut);
  Clicker clicker;
  int step = 0, lastResume = -1, measured = -1, waitPasses = 0;
  double lastCpu = 0, lastInstrument = 0;
  constexpr int kWarmUp = 5;
  result.samplesR.resize(kMaxPoints);
  result.samplesA.resize(kMaxPoints);
  const auto& field = [](int row) { return std::pair{cellX(kPanelColumn + 14), cellY(row)}; };
  const auto& button = [](int row) { return std::pair{cellX(kPanelColumn + 4), cellY(row)}; };

  backend.script = [&](InputState& input) {
    if (!program) return;
    const ScanControl& c = program->control();
    const auto click = [&](std::pair<int, int> at) { return clicker.click(backend, input, at.first, at.second); };
    // Space, pressed again if the program did not take it within a while.
    const auto space = [&](bool wantScanning) {
      if (c.scanning() == wantScanning) return true;
      if (waitPasses-- <= 0) {
        input.pushKey(" ");
        waitPasses = 200;
      }
      return false;
    };
    const auto procedure = [&](int state) { return c.procedureState == state; };
    const auto advance = [&] {
      clicker.reset(input);
      waitPasses = 0;
      ++step;
    };
    if (c.resumePoint() != lastResume) {
      lastResume = c.resumePoint();
      const auto p = static_cast<std::size_t>(c.resumePoint());
      std::copy(program->link().sampleR.begin(), program->link().sampleR.end(), result.samplesR[p].begin());
      std::copy(program->link().sampleA.begin(), program->link().sampleA.end(), result.samplesA[p].begin());
      if (measured >= 0) {
        const double cpu = processCpu(), instrument = channel->spent();
        if (measured >= kWarmUp) {
          result.instrumentCpu.push_back(instrument - lastInstrument);
          result.pointCpu.push_back(cpu - lastCpu - (instrument - lastInstrument));
        }
        lastCpu = cpu;
        lastInstrument = instrument;
        if (++measured == kWarmUp + measuredPoints) input.closeRequested = true;
      }
    }
    switch (step) {
      case 0:  // the program starts scanning by itself: stop it
        if (c.scanning() && c.resumePoint() >= 1) advance();
        break;
      case 1:
        if (space(false)) advance();
        break;
      case 2:
        if (program->plan().points == 801) {
          advance();
        } else {
          click(field(21));
        }
        break;
      case 3:  // calibrate: asked
        if (procedure(+CalibrationState::Asked)) {
          model.setDevice(Device::open());
          advance();
        } else {
          click(field(25));
        }
        break;
      case 4:
      case 6:
      case 8: {  // start calibrate, the standard's scan, the next standard
        const int measuring = step == 4   ? +CalibrationState::MeasuringOpen
                              : step == 6 ? +CalibrationState::MeasuringShort
                                          : +CalibrationState::MeasuringReference;
        if (c.procedureState == measuring) {
          advance();
        } else {
          click(button(36));
        }
        break;
      }
      case 5:
        if (procedure(+CalibrationState::AwaitingShort) && !c.scanning()) {
          model.setDevice(Device::shortCircuit());
          advance();
        }
        break;
      case 7:
        if (procedure(+CalibrationState::AwaitingReference) && !c.scanning()) {
          model.setDevice(Device::referenceLoad(50, 0, 0));
          advance();
        }
        break;
      case 9:
        if (procedure(+CalibrationState::On) && !c.scanning()) {
          model.setDevice(dut);
          advance();
        }
        break;
      case 10:  // a complete scan of the circuit
        if (space(true)) advance();
        break;
      case 11:
        if (c.scanComplete() && c.resumePoint() == 800) advance();
        break;
      case 12:
        if (space(false)) advance();
        break;
      case 13:
        if (c.memoryValid()) {
          advance();
        } else {
          click(button(28));
        }
        break;
      case 14:
        if (c.displayChoice == display_choice::kBothWithMemory) {
          backend.movePointer(400, 300, input);
          advance();
        } else {
          click(field(26));
        }
        break;
      case 15:
        if (space(true)) {
          backend.skipping = false;
          measured = 0;
          advance();
        }
        break;
      default: break;
    }
  };
  program->run();
  result.ok = measured >= kWarmUp + measuredPoints;
  if (!result.ok) std::fprintf(stderr, "point_cost_benchmark: the script stopped at step %d\n", step);
  result.state.plan = program->plan();
  result.state.record = program->record();
  result.state.scales = program->scales();
  result.state.control = program->control();
  result.reflection = program->reflection();
  program.reset();
  std::filesystem::remove_all(work);
  return result;
}

// Repeats a cheap computation so that the clock's own cost does not count.
template <typename F>
double perCall(int repeats, F f) {
  const double start = threadCpu();
  for (int k = 0; k < repeats; ++k) f();
  return (threadCpu() - start) / repeats;
}

volatile double gSink;  // keeps the repeated computations from being dropped

struct Part {
  explicit Part(const char* n) : name(n) {}
  const char* name;
  std::vector<double> seconds;
};

// Run 2: the parts of a point, on a MeasurementScreen over the measured state.
void runParts(RealBackend& real, const WholeProgramResult& measured, int passes) {
  Screen screen(*real.backend);
  for (const PaletteEntry& e : kPalette) screen.setPalette(e.index, e.r, e.g, e.b);
  MeasurementState state = measured.state;
  ReflectionRecord reflection = measured.reflection;
  SettingsFile settings;
  ImpedanceHooks hooks(state, reflection, settings, std::filesystem::path("/nonexistent/configu"));
  const AnalyzerProfile& profile = impedanceAnalyzerProfile();
  MeasurementOutput noFiles;
  MeasurementScreen ms(screen, state, profile.screen, {hooks, hooks, hooks, noFiles});
  ScanControl& c = state.control;
  // Scanning on over a complete sweep with its memory, from point 0.
  c.start();
  c.sweepBegins();
  while (!c.scanComplete() || c.currentPoint() != 0) c.pointMeasured(state.plan.points);
  c.memoryCopied();
  c.displayChoice = display_choice::kBothWithMemory;
  ms.redrawAll();
  screen.readMouse();

  Part conversion{"conversion"}, correction{"correction (open/short/load, scan and memory)"},
      quantities{"quantities (scan and memory)"}, derive{"  both, as derivePoint calls them"},
      readout{"marker readout, drawn alone"}, traceLayer{"trace layer in all (readout, traces, copy to visible)"},
      present{"presenting"}, total{"sum per point"};
  const int points = state.plan.points;
  const int samples = std::min(kMaxSamples, state.plan.sampleCode + 1);
  ScanRecord& r = state.record;
  // The first pass warms the caches and the trace layer; the passes after it are timed.
  for (int pass = 0; pass <= passes; ++pass) {
    const auto keep = [&](Part& part, double seconds) {
      if (pass > 0) part.seconds.push_back(seconds);
    };
    for (int i = 0; i < points; ++i) {
      const auto p = static_cast<std::size_t>(i);
      const auto sampleR = std::span<const std::int32_t>(measured.samplesR[p]).first(static_cast<std::size_t>(samples));
      const auto sampleA = std::span<const std::int32_t>(measured.samplesA[p]).first(static_cast<std::size_t>(samples));
      ConvertedPoint point;
      const double convertSeconds = perCall(64, [&] {
        point = convertSamples(sampleR, sampleA, state.plan.sampleCode, settings.arGain, settings.arPhase);
        gSink = point.ratio.real();
      });
      keep(conversion, convertSeconds);
      r.rawRatio[p] = r.workRatio[p] = point.ratio;
      r.levelA[p] = point.levelA;
      r.levelR[p] = point.levelR;
      const double f = r.frequency[p];
      Complex z, zm;
      keep(correction, perCall(64, [&] {
             const Complex zl = referenceLoadImpedance(settings.refR, settings.refL, settings.refC, f);
             z = correctedImpedance(r.workRatio[p], reflection.openStd[p], reflection.shortStd[p],
                                    reflection.loadStd[p], zl);
             zm = correctedImpedance(r.memoryRatio[p], reflection.openStd[p], reflection.shortStd[p],
                                     reflection.loadStd[p], zl);
             gSink = z.real() + zm.real();
           }));
      keep(quantities, perCall(64, [&] {
             const Quantities q = impedanceQuantities(c.displayMode, z, f);
             const Quantities m = impedanceQuantities(c.displayMode, zm, f);
             gSink = q.first + m.second;
           }));
      const double deriveSeconds = perCall(16, [&] { hooks.derivePoint(i); });
      keep(derive, deriveSeconds);

      const double start = threadCpu();
      ms.refreshTraces();
      const double end = threadCpu();
      keep(traceLayer, end - start);
      keep(readout, perCall(16, [&] { drawMarkerReadout(screen, ms.view()); }));
      const double before = threadCpu();
      screen.readMouse();  // the next pump puts what the point changed on the window
      const double presentSeconds = threadCpu() - before;
      keep(present, presentSeconds);
      c.pointMeasured(points);
      keep(total, convertSeconds + deriveSeconds + (end - start) + presentSeconds);
    }
  }
  std::printf("\nparts of one point (%s, %d points x %d passes, median / mean in microseconds)\n", real.name(), points,
              passes);
  for (const Part* part : {&conversion, &correction, &quantities, &derive, &readout, &traceLayer, &present, &total}) {
    if (part->seconds.empty()) {
      std::printf("  %-52s  (not measurable here)\n", part->name);
      continue;
    }
    std::printf("  %-52s %8.2f %8.2f\n", part->name, median(part->seconds) * 1e6, mean(part->seconds) * 1e6);
  }

  // A display mode change: the idle loop recomputes every point, redraws all
  // three pages and shows them at its next key read.
  c.stoppedByUser();
  std::vector<double> recompute, redraw, shown;
  const int modes = static_cast<int>(profile.screen.modes.size());
  for (int k = 0; k < 3 * modes; ++k) {
    c.displayMode = (c.displayMode + 1) % modes;
    const double t0 = threadCpu();
    ms.recomputeAll();
    const double t1 = threadCpu();
    ms.redrawAll();
    const double t2 = threadCpu();
    screen.readKey();
    const double t3 = threadCpu();
    recompute.push_back(t1 - t0);
    redraw.push_back(t2 - t1);
    shown.push_back(t3 - t2);
  }
  std::printf("\ndisplay mode change (%d changes, median / mean in milliseconds)\n", 3 * modes);
  std::printf("  %-52s %8.3f %8.3f\n", "recomputation of all points", median(recompute) * 1e3, mean(recompute) * 1e3);
  std::printf("  %-52s %8.3f %8.3f\n", "redraw of the three pages", median(redraw) * 1e3, mean(redraw) * 1e3);
  std::printf("  %-52s %8.3f %8.3f\n", "presenting", median(shown) * 1e3, mean(shown) * 1e3);
  std::vector<double> all;
  for (std::size_t k = 0; k < recompute.size(); ++k) all.push_back(recompute[k] + redraw[k] + shown[k]);
  std::printf("  %-52s %8.3f %8.3f\n", "in all", median(all) * 1e3, mean(all) * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const int measuredPoints = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
  std::printf("whole program: 801 points, calibrated, both traces + memory, level bars\n");
  // One window for both runs, as a user's process has.
  RealBackend real;
  WholeProgramResult whole = runWholeProgram(real, measuredPoints);
  if (!whole.ok) return 1;
  std::printf("measured points                  %zu in real time\n", whole.pointCpu.size());
  std::printf("CPU per point, median            %.3f ms (mean %.3f ms)\n", median(whole.pointCpu) * 1e3,
              mean(whole.pointCpu) * 1e3);
  std::printf("simulated instrument, left out   %.3f ms per point (median)\n", median(whole.instrumentCpu) * 1e3);
  runParts(real, whole, 2);
  return 0;
}
