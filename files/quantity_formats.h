// The files and feeds of derived quantities, one line per point, beside the
// Touchstone files:
//
//   CSV          f_hz,r_ohm,r_ohm_u,ls_h,ls_h_u
//                1000,100.02,0.031,1.0001e-06,2.2e-09
//
//   JSON lines   {"command":"reflection",...,"quantities":[{"name":"f_hz","unit":"Hz"},...]}
//                {"f_hz":1000.0,"r_ohm":100.02,"r_ohm_u":0.031,...}
//                ...
//                {"end":"done","points":51}
//
// The frequency comes first; each quantity is followed by its standard
// uncertainty (NAME_u) when the points carry one. Every number is written
// as the shortest text that reads back to the same double, with a dot as
// the decimal mark whatever the locale. CSV writes a value that is not
// finite as nan, inf or -inf (as Python, R and spreadsheets read them); JSON
// has no such numbers and writes null. The last JSON line always has "end":
// "done" with the number of points, or "failed" with the error and the exit
// status, so that a script reading a pipe knows how the run ended.
// Pure: text in, text out.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "measurement/quantity.h"

namespace vna {

enum class OutputFormat { Touchstone, Csv, JsonLines };

// By a file name's extension, in any case: .s1p and .s2p, .csv, .jsonl.
std::optional<OutputFormat> formatOfName(std::string_view fileName);
// The word of --format: "touchstone", "csv" or "jsonl".
std::optional<OutputFormat> parseFormat(std::string_view word);

// The columns after f_hz.
struct ColumnSet {
  std::vector<const Quantity*> quantities;
  bool withUncertainty = false;
};

// The shortest decimal text that reads back as x: "1000", "0.1", "1e-06".
std::string numberText(double x);

std::string csvHeader(const ColumnSet& columns);
// `values` and `u` aligned with columns.quantities; `u` is read only with
// withUncertainty.
std::string csvLine(const ColumnSet& columns, double frequencyHz, std::span<const double> values,
                    std::span<const double> u);

// `run` (an object: what was measured and how) with "quantities" added, the
// name and unit of every column, f_hz and the _u columns included.
std::string jsonFirstLine(const nlohmann::ordered_json& run, const ColumnSet& columns);
std::string jsonPointLine(const ColumnSet& columns, double frequencyHz, std::span<const double> values,
                          std::span<const double> u);
std::string jsonEndLine(int points);
std::string jsonErrorLine(std::string_view message, int status);

}  // namespace vna
