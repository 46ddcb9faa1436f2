// The files read back by independent programs: Touchstone files by
// scikit-rf, screen copies by Pillow, both Debian's, run through Debian's
// own /usr/bin/python3 (another python on PATH may lack them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/bmp_writer.h"
#include "files/touchstone_writer.h"
#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<double>>;

bool pythonHas(const char* module) {
  return std::system(("/usr/bin/python3 -c 'import " + std::string(module) + "' >/dev/null 2>&1").c_str()) == 0;
}

// CI installs the packages (scripts/install-deps.sh): there a missing one
// is a failure, on a developer's machine only a skip.
#define REQUIRE_PYTHON_MODULE(module, package)                                                         \
  if (!pythonHas(module)) {                                                                            \
    if (std::getenv("CI") != nullptr) FAIL() << package << " is missing: run scripts/install-deps.sh"; \
    GTEST_SKIP() << package << " is not installed (scripts/install-deps.sh installs it)";              \
  }

// Runs `script` with the arguments; its first argument is the file it
// writes its findings to (Python packages may print notices of their own).
std::string runPython(const TempDir& dir, const std::string& script, const std::string& args) {
  std::ofstream(dir.path() / "check.py") << script;
  const fs::path out = dir.path() / "found.txt";
  const std::string command = "cd '" + dir.path().string() + "' && /usr/bin/python3 check.py found.txt " + args +
                              " >/dev/null 2>python-errors.txt";
  EXPECT_EQ(std::system(command.c_str()), 0) << std::ifstream(dir.path() / "python-errors.txt").rdbuf();
  std::stringstream found;
  found << std::ifstream(out).rdbuf();
  return found.str();
}

Rows numbersOf(const std::string& text) {
  Rows rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    rows.emplace_back();
    for (double v; fields >> v;) rows.back().push_back(v);
  }
  return rows;
}

const char* kTouchstoneScript = R"(
import sys, skrf
with open(sys.argv[1], 'w') as out:
    for path in sys.argv[2:]:
        n = skrf.Network(path)
        cells = [(0, 0)] if n.s.shape[1] == 1 else [(0, 0), (1, 0), (0, 1), (1, 1)]  # s11 s21 s12 s22
        for k in range(len(n.f)):
            values = [float(n.f[k])]
            for i, j in cells:
                values += [float(n.s_db[k, i, j]), float(n.s_deg[k, i, j])]
            out.write(' '.join(repr(v) for v in values) + '\n')
)";

TEST(Interoperability, ScikitRfReadsTheTouchstoneFilesAsWritten) {
  REQUIRE_PYTHON_MODULE("skrf", "python3-scikit-rf");
  TempDir dir;
  // Point i's values carry i + 1, so a column or a line out of place shows.
  std::vector<TouchstonePoint> a, b;
  for (int i = 0; i < 5; ++i) {
    const double f = 1000.0 * std::pow(10.0, 1.2345678 * i);
    a.push_back({f, -(i + 1) - 0.1234567, 10.0 * (i + 1) + 0.7654321});
    b.push_back({f, -3.0 * (i + 1) - 0.5555555, -20.0 * (i + 1) - 0.3333333});
  }
  ASSERT_TRUE(saveS1p(dir.path() / "one.s1p", a));
  ASSERT_TRUE(saveS2p(dir.path() / "refl.s2p", FileOrigin::impedanceAnalyzer, ParameterSlot::s11, a));
  ASSERT_TRUE(mergeS2pFile(dir.path() / "refl.s2p", ParameterSlot::s22, b));
  ASSERT_TRUE(saveS2p(dir.path() / "trans.s2p", FileOrigin::transmissionAnalyzer, ParameterSlot::s21, a));
  ASSERT_TRUE(mergeS2pFile(dir.path() / "trans.s2p", ParameterSlot::s12, b));

  Rows expected;
  for (int i = 0; i < 5; ++i) expected.push_back({a[i].frequencyHz, a[i].db, a[i].angleDeg});
  for (int i = 0; i < 5; ++i)
    expected.push_back({a[i].frequencyHz, a[i].db, a[i].angleDeg, 0, 0, 0, 0, b[i].db, b[i].angleDeg});
  for (int i = 0; i < 5; ++i)
    expected.push_back({a[i].frequencyHz, 0, 0, a[i].db, a[i].angleDeg, b[i].db, b[i].angleDeg, 0, 0});

  const Rows read = numbersOf(runPython(dir, kTouchstoneScript, "one.s1p refl.s2p trans.s2p"));
  ASSERT_EQ(read.size(), expected.size());
  for (std::size_t r = 0; r < read.size(); ++r) {
    ASSERT_EQ(read[r].size(), expected[r].size()) << "line " << r;
    EXPECT_NEAR(read[r][0], expected[r][0], 1e-15 * expected[r][0]) << "frequency of line " << r;
    for (std::size_t c = 1; c < read[r].size(); ++c) {  // 7 significant digits of a float
      EXPECT_NEAR(read[r][c], expected[r][c], 1e-6 * std::max(1.0, std::abs(expected[r][c]))) << r << "," << c;
    }
  }
}

const char* kBmpScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[2])
rgb = image.convert('RGB')
with open(sys.argv[1], 'w') as out:
    out.write(f'{image.format} {image.mode} {image.size[0]} {image.size[1]}\n')
    for xy in sys.argv[3:]:
        x, y = map(int, xy.split(','))
        out.write(' '.join(str(v) for v in (image.getpixel((x, y)),) + rgb.getpixel((x, y))) + '\n')
)";

TEST(Interoperability, PillowReadsTheScreenCopyTopRowFirstInThePaletteColours) {
  REQUIRE_PYTHON_MODULE("PIL", "python3-pil");
  Framebuffer fb;
  for (int i = 0; i < 16; ++i) {
    fb.setPaletteEntry(i, {static_cast<std::uint8_t>(17 * i), static_cast<std::uint8_t>(255 - 17 * i),
                           static_cast<std::uint8_t>(i * 40 % 256)});
  }
  const struct {
    int x, y, colour;
  } marks[] = {{0, 0, 12}, {1023, 0, 1}, {0, 767, 2}, {1023, 767, 14}, {400, 300, 15}, {401, 300, 0}};
  std::string args = "screen.bmp";
  for (const auto& m : marks) {
    fb.setPixel(2, m.x, m.y, static_cast<std::uint8_t>(m.colour));
    args += " " + std::to_string(m.x) + "," + std::to_string(m.y);
  }
  TempDir dir;
  ASSERT_TRUE(saveBmp(dir.path() / "screen.bmp", fb, 2));
  const std::string found = runPython(dir, kBmpScript, args);
  ASSERT_EQ(found.substr(0, found.find('\n')), "BMP P 1024 768");
  const Rows read = numbersOf(found.substr(found.find('\n') + 1));
  ASSERT_EQ(read.size(), std::size(marks));
  for (std::size_t i = 0; i < read.size(); ++i) {
    const Rgb& c = fb.paletteEntry(marks[i].colour);
    EXPECT_EQ(read[i], (std::vector<double>{double(marks[i].colour), double(c.r), double(c.g), double(c.b)}))
        << marks[i].x << "," << marks[i].y;
  }
}

}  // namespace
}  // namespace vna
