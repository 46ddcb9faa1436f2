// An engineer pins the page of an analysis to the lab notebook: the report
// of a crystal's impedance with its fitted model and of a low-pass filter's
// transmission, in PNG, SVG and PDF, read back by other programs (Pillow,
// Python's XML parser) as a viewer would; and saves that cannot be made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "report/axis_ticks.h"
#include "report/report_series.h"
#include "report/report_writer.h"
#include "tests/files/temp_dir.h"
#include "tests/report/example_reports.h"

namespace vna {
namespace {

std::string textOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// What a Python program prints about `file` (its argv[1]).
std::string pythonSays(const TempDir& dir, const std::string& script, const std::filesystem::path& file) {
  std::ofstream(dir.path() / "check.py") << script;
  const std::string command = "/usr/bin/python3 '" + (dir.path() / "check.py").string() + "' '" + file.string() +
                              "' > '" + (dir.path() / "said.txt").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  return (status == 0 ? "" : "python failed: ") + textOf(dir.path() / "said.txt");
}

// The PNG's size, then the pixels in the right column's upper cell (where
// the Smith chart or the group delay stands) that are not white, and those
// of the measured curve's blue and the model's red, in thousandths; and
// digests of the pixels of the left column's plots and of the chart's
// circle (without its caption).
constexpr const char* kPngScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert('RGB')
width, height = image.size
region = image.crop((1000, 200, 1564, 700))
pixels = list(region.getdata())
inked = sum(1 for p in pixels if p != (255, 255, 255))
blue = sum(1 for r, g, b in pixels if b > 120 and r < 80 and g < 110)
red = sum(1 for r, g, b in pixels if r > 170 and g < 90 and b < 80)
import hashlib
def digest(box): return hashlib.md5(image.crop(box).tobytes()).hexdigest()
print(width, height, 1000 * inked // len(pixels), 1000 * blue // len(pixels), 1000 * red // len(pixels),
      digest((36, 150, 976, 1090)), digest((1010, 200, 1560, 600)))
)";

constexpr const char* kSvgScript = R"(
import sys, xml.etree.ElementTree as tree
root = tree.parse(sys.argv[1]).getroot()
print(root.tag.split('}')[-1], root.get('width'), root.get('height'), sum(1 for _ in root.iter()) > 100)
)";

struct PngFacts {
  int width = 0, height = 0, inked = 0, blue = 0, red = 0;
  std::string plots, chart;
};

PngFacts pngFacts(const TempDir& dir, const std::filesystem::path& file) {
  std::istringstream said(pythonSays(dir, kPngScript, file));
  PngFacts facts;
  said >> facts.width >> facts.height >> facts.inked >> facts.blue >> facts.red >> facts.plots >> facts.chart;
  return facts;
}

// The number of page objects in a PDF (its "/Type /Page", not "/Pages").
int pdfPages(const std::string& pdf) {
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
    pages += pdf.compare(at, 12, "/Type /Pages") != 0;
  return pages;
}

class ReportStory : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "python3-pil is not installed (scripts/install-deps.sh installs it)";
  }
  TempDir dir_;
};

TEST_F(ReportStory, ACrystalsImpedanceAndAFiltersTransmissionInEveryFormat) {
  const struct {
    ReportData data;
    const char* name;
  } reports[] = {{examples::crystalReport(), "crystal"}, {examples::lowPassReport(), "lowpass"}};
  for (const auto& report : reports) {
    SCOPED_TRACE(report.name);
    const std::filesystem::path png = dir_.path() / (std::string(report.name) + ".png");
    const std::filesystem::path svg = dir_.path() / (std::string(report.name) + ".SVG");
    const std::filesystem::path pdf = dir_.path() / (std::string(report.name) + ".pdf");
    for (const auto& file : {png, svg, pdf}) {
      const SaveResult saved = writeReport(file, report.data);
      ASSERT_TRUE(saved.ok()) << file << ": " << saved.reason();
    }

    const PngFacts facts = pngFacts(dir_, png);
    EXPECT_EQ(facts.width, 1600);
    EXPECT_EQ(facts.height, 1130);
    // The chart's lines and the traces stand there: neither blank nor a
    // solid block, and both curves drawn.
    EXPECT_GT(facts.inked, 30) << "thousandths";
    EXPECT_LT(facts.inked, 600) << "thousandths";
    EXPECT_GE(facts.blue, 3) << "thousandths of the measured curve's blue";
    EXPECT_GE(facts.red, 1) << "thousandths of the model's red";

    EXPECT_EQ(pythonSays(dir_, kSvgScript, svg), "svg 841.89pt 595.28pt True\n");
    const std::string pdfBytes = textOf(pdf);
    EXPECT_EQ(pdfBytes.substr(0, 5), "%PDF-");
    EXPECT_EQ(pdfPages(pdfBytes), 1);
  }
  // Nothing but the reports: no temporary file left beside them.
  EXPECT_EQ(dir_.entries().size(), 6u + 2u);  // and check.py, said.txt
}

// The Smith chart is drawn on the report's own reference: the same crystal
// on 50 and on 12.5 ohms moves its trace on the chart and nothing on the
// plots of |Z| and phase.
TEST_F(ReportStory, TheSmithChartFollowsTheReference) {
  ReportData data = examples::crystalReport();
  data.model.clear();
  data.markers.clear();
  ASSERT_TRUE(writeReport(dir_.path() / "on50.png", data).ok());
  data.referenceOhms = 12.5;
  ASSERT_TRUE(writeReport(dir_.path() / "on12.png", data).ok());
  const PngFacts on50 = pngFacts(dir_, dir_.path() / "on50.png"), on12 = pngFacts(dir_, dir_.path() / "on12.png");
  EXPECT_EQ(on12.red, 0) << "no model, no model's curve";
  EXPECT_EQ(on50.plots, on12.plots);
  EXPECT_NE(on50.chart, on12.chart);
}

TEST_F(ReportStory, AReportThatCannotBeMadeSaysWhyAndLeavesTheOldOne) {
  const std::filesystem::path old = dir_.path() / "old.pdf";
  ASSERT_TRUE(writeReport(old, examples::crystalReport(51)).ok());
  const std::string before = textOf(old);

  ReportData mismatched = examples::crystalReport(51);
  mismatched.model.pop_back();
  SaveResult saved = writeReport(old, mismatched);
  EXPECT_FALSE(saved.ok());
  EXPECT_EQ(saved.reason(), "nothing to draw: 51 frequencies but 50 model values");
  EXPECT_EQ(textOf(old), before);

  saved = writeReport(dir_.path() / "report.jpg", examples::crystalReport(51));
  EXPECT_EQ(saved.reason(), "a report is a .png, .svg or .pdf file: report.jpg");

  saved = writeReport(dir_.path() / "no-such-folder" / "report.png", examples::crystalReport(51));
  EXPECT_FALSE(saved.ok());
  EXPECT_NE(saved.reason().find("No such file or directory"), std::string::npos) << saved.reason();

  // A folder that is a file, and one the user may not write (root may).
  saved = writeReport(old / "report.png", examples::crystalReport(51));
  EXPECT_NE(saved.reason().find("Not a directory"), std::string::npos) << saved.reason();
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
    saved = writeReport(dir_.path() / "old.pdf", examples::lowPassReport(51));
    ::chmod(dir_.path().c_str(), 0755);
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.reason().find("ermission"), std::string::npos) << saved.reason();
    EXPECT_EQ(textOf(old), before);
  }
  EXPECT_EQ(dir_.entries(), std::vector<std::string>{"old.pdf"});
}

// A file name in another encoding than UTF-8, a label nobody gave, a point
// the instrument could not measure: the page is drawn all the same.
TEST_F(ReportStory, OddTextAndMissingPointsStillMakeAPage) {
  ReportData data = examples::crystalReport(101);
  data.title = "Messung \xE4\xF6\xFC.s1p";
  data.lines.push_back("over \xC0\xAF and\ttabs");
  data.markers.push_back({9.99e6, ""});
  data.measured[40] = {std::nan(""), 0};
  data.measured[41] = {1e308 * 10, 0};
  for (int i = 0; i < 30; ++i) data.table.push_back({"row " + std::to_string(i), "1.000", "0.001", "V"});
  const SaveResult saved = writeReport(dir_.path() / "odd.png", data);
  ASSERT_TRUE(saved.ok()) << saved.reason();
  EXPECT_GE(pngFacts(dir_, dir_.path() / "odd.png").blue, 3);
}

TEST(ReportAxes, TicksFallOnRoundNumbersWithSiLabels) {
  EXPECT_EQ(siLabel(1e3, 1e3), "1 k");
  EXPECT_EQ(siLabel(1e7, 1e7), "10 M");
  EXPECT_EQ(siLabel(1e-7, 1e-7), "100 n");
  EXPECT_EQ(siLabel(9.995e6, 5e3), "9.995 M");
  EXPECT_EQ(siLabel(-45, 15), "-45");
  EXPECT_EQ(siLabel(2.5e-12, 5e-13), "2.5 p");

  // A sweep fills its axis; the labels are round within it.
  const Axis sweep = makeAxis(9.98e6, 10.06e6, AxisScale::Linear, AxisFit::Exact);
  EXPECT_EQ(sweep.low, 9.98e6);
  EXPECT_EQ(sweep.high, 10.06e6);
  std::string labels;
  for (const Tick& tick : sweep.ticks) labels += tick.label + ";";
  EXPECT_EQ(labels, "9.98 M;10 M;10.02 M;10.04 M;10.06 M;");

  // Values get a margin to whole decades; decades are labelled, 2..9 are grid.
  const Axis impedance = makeAxis(13.2, 8.1e4, AxisScale::Logarithmic, AxisFit::Rounded);
  EXPECT_DOUBLE_EQ(impedance.low, 10);
  EXPECT_DOUBLE_EQ(impedance.high, 1e5);
  labels.clear();
  for (const Tick& tick : impedance.ticks) labels += tick.label.empty() ? "." : tick.label;
  EXPECT_EQ(labels, "10........100........1 k........10 k........100 k");

  // A curve keeps a margin to round numbers, not a whole step more than it needs.
  const Axis gain = makeAxis(-60.3, 0.05, AxisScale::Linear, AxisFit::Rounded);
  EXPECT_EQ(std::pair(gain.low, gain.high), std::pair(-70.0, 10.0));
  EXPECT_EQ(gain.ticks.size(), 9u);
  // A reactance's phase a little beyond 90 degrees keeps the quarter-turn scale.
  EXPECT_LT(phaseAxis(-90.4, 90.7).high, 100);
  EXPECT_EQ(phaseAxis(-150, 170).high, 180);

  EXPECT_TRUE(isLogarithmicSweep(examples::lowPassReport(51).frequencyHz));
  EXPECT_FALSE(isLogarithmicSweep(examples::crystalReport(51).frequencyHz));
}

// A delay line of 35 ns on a log sweep: its group delay, in seconds, at
// every point, the ends included, and whatever the aperture.
TEST(ReportSeries, ADelayLineShowsItsDelay) {
  ReportData line = examples::lowPassReport(401);
  for (std::size_t i = 0; i < line.frequencyHz.size(); ++i)
    line.measured[i] = std::polar(0.9, -examples::kTwoPi * line.frequencyHz[i] * 35e-9);
  for (const int aperture : {1, delayAperture(401)}) {
    const std::vector<double> delay = groupDelaySeconds(line.frequencyHz, line.measured, aperture);
    ASSERT_EQ(delay.size(), 401u);
    for (const double seconds : delay) EXPECT_NEAR(seconds, 35e-9, 0.02e-9);
  }
  EXPECT_EQ(delayAperture(401), 2);
}

}  // namespace
}  // namespace vna
