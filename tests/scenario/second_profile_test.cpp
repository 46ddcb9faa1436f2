// A program that is not the impedance analyzer, made of nothing but a
// profile and hooks: two modes, a panel item of its own and a calibration of
// one standard (a through connection). It runs the shared panel loop and
// scan loop against the virtual instrument: what the transmission analyzer
// and the viewers will be.
#include <gtest/gtest.h>

#include <cmath>

#include "analyzer/analyzer_program.h"
#include "platform/numeric.h"
#include "scenario_support.h"
#include "simulator/simulated_channel.h"

namespace vna {
namespace {

using testing::cellY;
using testing::WorkDirectory;

constexpr int P = 101;

const std::array<ModeSpec, 2> kModes{{
    {{"   ratio vs frequency    ", "     |A/R| & phase      "}, " A/R ", " (U) ", "phase", "(deg)",
     {" U,deg       ", " U           ", " U,deg, + Mem", " U + Mem     "},
     {"marker   1:             Hz                U                deg ", "U ", 44, "deg ", 61}, false,
     {2, 0, 180, -180}, " Phase Max < Phase Min ", {}, {}},
    {{"   levels vs frequency   ", "      A & R (dB)        "}, "  A  ", "(dB) ", "  R  ", "(dB) ",
     {" dB,dB       ", " dB          "}, {"marker   1:             Hz                dB               dB  ", "dB", 44, "dB", 61},
     false, {20, -100, 20, -100}, {}, {}, {}},
}};

// Off, asked for the through, measuring it, on, warning.
constexpr StepEnd kThroughMeasured{{ProcedureText{20, 20, "reference taken", true}},
                                   500,
                                   {ProcedureText{25, P + 2, "through:   on     ", false}},
                                   true};
const std::array<ProcedureState, 5> kStates{{
    {StepRole::Off, " off         "},
    {StepRole::Awaiting, " asked       ", 2, -1, false, false, {" Connect the through, then start     ", ""}},
    {StepRole::Measuring, " measuring   ", 3, 0, false, false, {}, kThroughMeasured},
    {StepRole::On, " on          ", 0, -1, true, false},
    {StepRole::Warning, " warning     ", 0, -1, true, false},
}};
const CalibrationProcedure kThrough{"through:  ", kStates, 1, 4, {" Connect the through, then start     ", ""},
                                    " Start through  ", " Abort through  ", " Through aborted "};

// A smaller panel than the analyzers': no center/span, sweep, ms/meas, save or help.
const auto kFields = joined(kTitleAndScaleFields, std::array<PanelField, 8>{{
    valueField(PanelItem::FreqMax, 14, FieldKind::Number),
    valueField(PanelItem::FreqMin, 15, FieldKind::Number),
    valueField(PanelItem::Points, 21, FieldKind::Choice),
    valueField(PanelItem::ProgramChoice, 23, FieldKind::Choice),
    valueField(PanelItem::Procedure, 25, FieldKind::Choice),
    valueField(PanelItem::Display, 26, FieldKind::Choice),
    buttonField(PanelItem::Start, 36, 968, "", " Start          ", P + 2),
    buttonField(PanelItem::Exit, 42, 968, " Exit ", " Exit           ", P + 2),
}});

int stepChoice(int choice, bool forward, int, bool memoryValid) {
  const int count = memoryValid ? 4 : 2;
  return forward ? (choice + 1) % count : (choice + count - 1) % count;
}

// The ratio divided by the through's ratio while the reference is on, times
// the gain chosen on the program's own panel item.
struct ThroughHooks : PointQuantities, ProgramPanel, ProcedureSteps {
  explicit ThroughHooks(MeasurementState& s) : state(s) {}

  void derivePoint(int i) override {
    const auto p = static_cast<std::size_t>(i);
    ScanRecord& r = state.record;
    const bool on = correcting(kThrough, state.control.procedureState);
    const Complex x = on ? r.rawRatio[p] / reference[p] : r.rawRatio[p];
    if (state.control.displayMode == 0) {
      r.trace1[p] = std::abs(x) * gain;
      r.trace2[p] = std::arg(x) * 180 / kPi;
    } else {
      r.trace1[p] = 20 * r.levelA[p];
      r.trace2[p] = 20 * r.levelR[p];
    }
  }
  void storeStandard(int standard, int i) override {
    EXPECT_EQ(standard, 0);
    reference[static_cast<std::size_t>(i)] = state.record.rawRatio[static_cast<std::size_t>(i)];
  }
  void drawPanelExtras(Screen& s, const PanelState&) const override {
    showProgramChoice(s, PanelItem::ProgramChoice, false);
  }
  bool programChoice(PanelItem, Click) override {
    gain = gain == 1 ? 10 : 1;
    return true;
  }
  void showProgramChoice(Screen& s, PanelItem, bool hovered) const override {
    s.color(hovered ? 0 : 15, hovered ? 15 : 0);
    s.printAt(23, P + 6, gain == 1 ? "gain: x1 " : "gain: x10");
    s.color(15, 0);
  }

  MeasurementState& state;
  PointArray<Complex> reference{};
  double gain = 1;
};

MeasurementProfile throughProfile() {
  MeasurementProfile p;
  p.modes = kModes;
  p.fields = kFields;
  p.scales.wheelWeights = kScaleStepWeights;
  p.displayChoiceColumn = P + 12;
  p.stepDisplayChoice = stepChoice;
  p.procedure = &kThrough;
  p.splash.subtitle = "To measure through connections";
  return p;
}

struct SecondProfile : ::testing::Test {
  WorkDirectory dir;
  HeadlessBackend backend;
  Screen screen{backend};
  InstrumentModel model;
  MeasurementState state;
  SettingsFile settings;
  ThroughHooks hooks{state};
  ProgramButton noButton;
  MeasurementOutput noOutput;
  MeasurementProfile screenProfile = throughProfile();
  AnalyzerProfile profile{screenProfile, ScanStyle{{2, 14, true}}};
  AnalyzerProgram program{screen,
                          state,
                          profile,
                          {hooks, hooks, noButton, noOutput},
                          hooks,
                          [this](int) -> std::unique_ptr<SerialChannel> {
                            return std::make_unique<SimulatedChannel>([this] { return backend.now(); }, model);
                          },
                          dir.settings(),
                          settings};

  void at(double t, std::function<void()> action) { backend.actionAt(t, std::move(action)); }
  void clickRow(double t, int row, int button = 1) { backend.clickAt(t, 900, cellY(row), button); }
  std::string text(int row, int column, int length) const { return screen.textAt(row, column, length); }
};

TEST_F(SecondProfile, ItsOwnItemTablesAndOneStandardCalibrationRunThroughTheSharedLoops) {
  model.setDevice(Device::attenuator(6));
  backend.keyAt(5.0, " ");  // stop the scan started by itself
  for (int i = 0; i < 3; ++i) clickRow(6.0 + 0.2 * i, 21, 2);  // meas/scan 401 -> 201 -> 101 -> 51
  clickRow(6.8, 1);  // the title: the levels mode
  std::string levelsTitle, asked, startLabel, onText;
  at(7.2, [&] { levelsTitle = text(2, P + 2, 25); });
  clickRow(7.3, 1, 2);  // back to the ratio mode
  clickRow(7.6, 25);    // ask for the through
  at(8.0, [&] {
    asked = text(25, P + 2, 23) + "|" + text(20, 20, 36);
    startLabel = text(36, P + 2, 16);
    model.setDevice(Device::through());
  });
  backend.keyAt(8.1, " ");  // refused while the standard is awaited
  bool scanningAfterSpace = true;
  at(8.3, [&] { scanningAfterSpace = state.control.scanning(); });
  backend.clickAt(8.5, 850, cellY(36));  // Start: measures the through
  at(16.0, [&] {
    onText = text(25, P + 2, 18);
    model.setDevice(Device::attenuator(6));
  });
  backend.keyAt(26.0, " ");  // the reference stays on and scanning went on
  double beforeGain = 0, afterGain = 0;
  std::string gainText;
  ScanRecord measured;
  at(27.0, [&] {
    measured = state.record;
    beforeGain = state.record.trace1[25];
  });
  clickRow(27.5, 23);  // the program's own item: gain x10, recomputed from stored data
  at(28.5, [&] {
    afterGain = state.record.trace1[25];
    gainText = text(23, P + 6, 9);
  });
  backend.keyAt(29.0, "\x1b");
  program.run();

  EXPECT_EQ(state.plan.points, 51);
  EXPECT_EQ(levelsTitle, "   levels vs frequency   ");
  EXPECT_EQ(asked, "through:   asked       | Connect the through, then start    ");
  EXPECT_EQ(startLabel, " Start through  ");
  EXPECT_FALSE(scanningAfterSpace);
  EXPECT_EQ(onText, "through:   on     ");
  EXPECT_EQ(state.control.procedureState, 3);
  EXPECT_TRUE(state.control.scanComplete());
  // 6 dB against the through: 0.501 whatever the instrument's own path does.
  for (int i = 0; i < 51; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    EXPECT_NEAR(measured.trace1[static_cast<std::size_t>(i)], 0.5012, 0.01);
    EXPECT_NEAR(measured.trace2[static_cast<std::size_t>(i)], 0.0, 1.0);
  }
  EXPECT_NEAR(afterGain, 10 * beforeGain, 1e-9);
  EXPECT_EQ(gainText, "gain: x10");
  // What the table leaves out is not drawn.
  EXPECT_EQ(text(20, P + 2, 20), std::string(20, ' '));
  EXPECT_EQ(text(22, P + 2, 20), std::string(20, ' '));
}

TEST_F(SecondProfile, StoppingTheStandardsScanAbortsItsCalibration) {
  model.setDevice(Device::through());
  backend.keyAt(5.0, " ");
  clickRow(6.0, 25);
  backend.clickAt(6.5, 850, cellY(36));
  std::string label;
  at(8.0, [&] { label = text(36, P + 2, 16); });
  backend.clickAt(8.2, 850, cellY(36));  // " Abort through  "
  std::string aborted;
  at(8.8, [&] { aborted = text(20, 20, 17); });
  backend.keyAt(12.0, "\x1b");
  program.run();
  EXPECT_EQ(label, " Abort through  ");
  EXPECT_EQ(aborted, " Through aborted ");
  EXPECT_EQ(state.control.procedureState, 0);
  EXPECT_FALSE(state.control.scanning());
}

}  // namespace
}  // namespace vna
