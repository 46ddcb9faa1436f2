// Where the derived quantities of a run go, point by point, as CSV or JSON
// lines, to a file or to standard output.
//
// On standard output the lines are live: each point's line is written and
// flushed the moment the point is final, so that a script reading the pipe
// sees each point while the sweep goes on; the last JSON line tells how the
// run ended (a feed cut off without it did not finish). A file is written
// whole at the end or not at all, through a temporary file beside it, as the
// Touchstone files are: a failed or interrupted run (finish() not reached)
// leaves an existing file as it was.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

#include "files/atomic_file.h"
#include "files/quantity_formats.h"

namespace vna {

class QuantityOutput {
 public:
  // `file` empty: standard output `out`. Nothing is written before begin().
  QuantityOutput(OutputFormat format, ColumnSet columns, std::filesystem::path file, std::FILE* out);

  // The header: the CSV header line, or the first JSON line made of `run`.
  SaveResult begin(const nlohmann::ordered_json& run);
  // One point's values and uncertainties, aligned with the columns.
  SaveResult point(double frequencyHz, std::span<const double> values, std::span<const double> u);
  // Every point is there: the end line, or the CSV file saved.
  SaveResult finish();

 private:
  SaveResult write(const std::string& text);

  OutputFormat format_;
  ColumnSet columns_;
  std::filesystem::path file_;
  std::FILE* stream_;    // standard output; null for a file
  std::string pending_;  // a file's text until finish()
  int points_ = 0;
};

}  // namespace vna
