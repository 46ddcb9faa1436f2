// The scan loop shared by both analyzers: scan start with the look-ahead
// loading, one acquired point per pass, stopping, the end of a calibration
// procedure's step and the recovery after a time-out. It watches the Stop
// button and the space bar while the instrument transfers a point and
// paints what the user sees of that; the instrument link only reports.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "analyzer/instrument_link.h"
#include "analyzer/sweep_engine.h"
#include "display/measurement_screen.h"
#include "files/settings_file.h"
#include "platform/serial_channel.h"

namespace vna {

// What differs between the analyzers' scan loops.
struct ScanStyle {
  AcquisitionPacing pacing;
  // Rows 31 and 32 while the port is reset after a time-out.
  std::string_view timeoutLine1 = " Error: USB timeout    ";
  std::string_view timeoutLine2 = " USB Reset : wait (3s) ";
};

enum class ScanStep { NextPoint, Idle, Exit };

// What an analyzer does with the steps of its calibration procedure.
class ProcedureSteps {
 public:
  virtual ~ProcedureSteps() = default;
  // A standard's scan measured point i: store it as standard `standard`.
  virtual void storeStandard(int standard, int i) = 0;
  // After a step ended and its texts are shown.
  virtual void afterProcedureStep(Screen&, int /*state*/) const {}
};

class ScanSession : private AcquisitionHost {
 public:
  ScanSession(MeasurementScreen& screen, MeasurementState& state, PointQuantities& quantities, ProcedureSteps& steps,
              const ScanStyle& style, const SettingsFile& settings, InstrumentLink& link);

  // Opens the port named in the settings and resets the instrument; says so
  // on the screen when the port cannot be opened.
  void openInstrument(const ChannelFactory& openChannel);
  void closeInstrument();

  void scanStart();
  ScanStep scanPass();

 private:
  ScanStep stopScan();
  ScanStep handleTimeout();
  void endProcedureStep();
  void convertPoint(int i);
  void showText(const ProcedureText& text);
  void warnIfLong(const AcquisitionProgress& progress);
  Instrument instrument() { return engine_->instrument(); }

  // What the acquisition asks of the program while it waits.
  double now() override;
  void sleep(int ms) override;
  void waitForActivity(double seconds, const WakeSource& wake) override;
  bool keepGoing(const AcquisitionProgress& progress) override;
  void pauseUntil(double time) override;

  MeasurementScreen& screen_;
  Screen& out_;
  MeasurementState& state_;
  PointQuantities& quantities_;
  ProcedureSteps& steps_;
  const ScanStyle& style_;
  const SettingsFile& settings_;
  InstrumentLink& link_;
  std::unique_ptr<SerialChannel> channel_;
  std::optional<SweepEngine> engine_;  // on channel_, once the port is named
  bool stopHighlighted_ = false;  // the Stop button is shown highlighted
};

}  // namespace vna
