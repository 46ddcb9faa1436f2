// vna-measure: calibrated measurements from the command line, on the sweep
// engine the analyzers use, without a window. Each run sweeps the plan once
// (or --sweeps times, each the mean of --average sweeps) and writes a
// calibration standard, a Touchstone file exactly as the analyzers write it,
// or the derived quantities of each point as CSV or JSON lines.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>

#include "analyzer/instrument_link.h"
#include "analyzer/measure_options.h"
#include "platform/serial_channel.h"

namespace vna {

struct MeasureSetting {
  std::filesystem::path directory;  // where "configu" and relative names are
  ChannelFactory openChannel;
  AcquisitionHost& host;
  std::function<bool()> interrupted;  // Ctrl+C: stop, write nothing
  std::FILE* out = stdout;            // "-o -"
  std::FILE* err = stderr;            // messages and the progress line
  bool progress = false;              // one progress line (standard error is a terminal)
};

// Says why a run failed, on standard error and, to a script reading JSON
// lines on standard output, as the feed's last line; returns the status.
int reportFailure(const MeasureOptions& options, MeasureSetting& setting, MeasureExit status,
                  const std::string& message);

// Runs one command line; returns the exit status (MeasureExit).
int runMeasure(const MeasureOptions& options, MeasureSetting& setting);

}  // namespace vna
