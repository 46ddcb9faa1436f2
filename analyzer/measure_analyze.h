// vna-measure analyze: the answers a measurement holds, from any Touchstone
// file the viewers read, without the instrument. Of a reflection (s11 or
// s22) the resonances and the equivalent circuit that fits, each value with
// its uncertainty; of a transmission (s21 or s12) the figures of the filter
// or line it is. A table for people, or one JSON object for scripts, and a
// page with the curves, a Smith chart and the table (--report).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "analyzer/measure_program.h"
#include "report/report_data.h"

namespace vna {

// What analyze found, in the two forms it prints.
struct AnalysisText {
  std::string table;              // for people
  nlohmann::ordered_json object;  // for scripts (--json)
  ReportData page;                // its model curve, markers, results table and the model's line
  bool answered = true;           // false: the circuit asked for did not fit, or none did
};

// The analyze command: reads options.input, prints to setting.out; the exit status.
int runAnalyze(const MeasureOptions& options, MeasureSetting& setting);

}  // namespace vna
