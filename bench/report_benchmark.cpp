// The time to draw and save the analysis report of an 801-point sweep, in
// each format (the goal is under half a second). With a file name, the
// crystal's report is also left there as an example.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "report/report_writer.h"
#include "tests/report/example_reports.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const vna::ReportData reports[] = {vna::examples::crystalReport(801), vna::examples::lowPassReport(801)};
  for (const vna::ReportData& data : reports)
    for (const char* extension : {".png", ".svg", ".pdf"}) {
      const std::filesystem::path out = folder / ("vna-report-benchmark" + std::string(extension));
      const auto start = Clock::now();
      const vna::SaveResult saved = vna::writeReport(out, data);
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      std::printf("%-20s %s  %4zu points  %6.3f s  %8ju bytes%s\n", data.title.c_str(), extension,
                  data.frequencyHz.size(), seconds, saved ? std::uintmax_t(std::filesystem::file_size(out)) : 0,
                  saved ? "" : ("  failed: " + saved.reason()).c_str());
      std::filesystem::remove(out);
    }
  if (argc > 1) {
    const vna::SaveResult saved = vna::writeReport(argv[1], reports[0]);
    std::printf("%s: %s\n", argv[1], saved ? "written" : saved.reason().c_str());
    if (argc > 2) (void)vna::writeReport(argv[2], reports[1]);
  }
  return 0;
}
