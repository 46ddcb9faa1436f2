// vna-measure run in-process against the virtual instrument on a virtual
// clock: the command line as a script types it, the status, the messages,
// standard output and the files in a fresh working directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/measure_program.h"
#include "simulator/simulated_channel.h"
#include "tests/scenario/scenario_support.h"

namespace vna::testing {

// Sleeping and waiting move a virtual clock on at once. From `ctrlCAt` on
// the user has pressed Ctrl+C: as in vna-measure's own host, the signal ends
// the wait under way, and every sleep and wait after it ends at once (a
// system call's few microseconds).
class VirtualHost : public AcquisitionHost {
 public:
  double t = 0;
  double ctrlCAt = std::numeric_limits<double>::infinity();

  bool interrupted() const { return t >= ctrlCAt; }
  double now() override { return t; }
  void sleep(int ms) override { pauseUntil(t + ms / 1000.0); }
  void waitForActivity(double seconds, const WakeSource& wake) override {
    advanceTo(std::min(t + seconds, std::max(wake.readyAt, t + 1e-4)));
  }
  bool keepGoing(const AcquisitionProgress&) override { return !interrupted(); }
  void pauseUntil(double time) override { advanceTo(std::max(t, time)); }

 private:
  void advanceTo(double time) { t = interrupted() ? t + 1e-5 : std::min(time, ctrlCAt); }
};

struct Outcome {
  int status = -1;
  std::string message;  // standard error
  std::string output;   // standard output
};

// The numbers of every data line of a Touchstone text: comment ("!") and
// option ("#") lines are passed over.
inline std::vector<std::vector<double>> dataLines(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '!' || line[0] == '#' || line == "\r") continue;
    std::istringstream fields(line);
    std::vector<double> row;
    for (double v; fields >> v;) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

// A CSV text by column name; the header's names in their order into `names`.
using CsvColumns = std::map<std::string, std::vector<double>>;
inline CsvColumns csvColumns(const std::string& text, std::vector<std::string>* names = nullptr) {
  std::istringstream lines(text);
  std::string line;
  std::vector<std::string> header;
  std::getline(lines, line);
  std::istringstream headerFields(line);
  for (std::string name; std::getline(headerFields, name, ',');) header.push_back(name);
  CsvColumns columns;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::size_t k = 0;
    for (std::string field; std::getline(fields, field, ','); ++k)
      columns[k < header.size() ? header[k] : "?"].push_back(std::strtod(field.c_str(), nullptr));
    EXPECT_EQ(k, header.size()) << line;
  }
  if (names) *names = header;
  return columns;
}

class MeasureBench : public ::testing::Test {
 protected:
  explicit MeasureBench(InstrumentSettings settings = {}) : model_(settings) {}

  Outcome measure(const std::vector<std::string>& args) {
    std::vector<std::string_view> views(args.begin(), args.end());
    const MeasureOptions options = parseMeasureOptions(views);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ChannelFactory port = channel_ ? channel_ : [this](int) -> std::unique_ptr<SerialChannel> {
      ++opened_;
      return std::make_unique<SimulatedChannel>([this] { return host_.t; }, model_);
    };
    MeasureSetting setting{dir_.path(), port, host_, [this] { return host_.interrupted(); }, out, err, false};
    Outcome run;
    run.status = runMeasure(options, setting);
    run.output = contents(out);
    run.message = contents(err);
    return run;
  }

  std::string file(const std::string& name) const {
    std::ifstream in(dir_.path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_.path() / name); }

  WorkDirectory dir_;
  VirtualHost host_;
  InstrumentModel model_;
  ChannelFactory channel_;  // empty: the virtual instrument
  int opened_ = 0;          // times the program opened the virtual instrument's port

 private:
  static std::string contents(std::FILE* f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    return text;
  }
};

}  // namespace vna::testing
