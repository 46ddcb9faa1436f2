// Other programs' Touchstone files read by our reader and by scikit-rf
// (Debian's, through Debian's own /usr/bin/python3): every one- and two-port
// file scikit-rf ships, from HFSS, ADS, Qucs, mwavepy, R&S and scikit-rf
// itself. Both must see the same frequencies and s-parameters, and the
// impedance viewer must show the impedance scikit-rf computes; vna-measure
// convert must write the s11, impedance, gain and phase scikit-rf computes,
// on the file's own reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analyzer/measure_convert.h"
#include "files/touchstone_reader.h"
#include "platform/numeric.h"
#include "reflection/impedance_quantities.h"
#include "tests/files/temp_dir.h"
#include "viewers/viewer_program.h"

namespace vna {
namespace {

// For each .s1p and .s2p below scikit-rf's folder, by its path there:
//   F <tab> path <tab> absolute path <tab> ports <tab> z0 note
//   P f  s11 s21 s12 s22  z0[port 1] z0[port 2]  z11 z22  R   (complex values as re im)
//   X <tab> path <tab> why scikit-rf refuses it
// z11 = z0[port 1](1 + s11)/(1 - s11), z22 likewise, with the port impedance
// scikit-rf uses (in HFSS files per frequency and complex); R is the
// resistance of the option line.
const char* kScript = R"PY(
import sys, os, glob, warnings
warnings.filterwarnings('ignore')
import numpy as np
import skrf
from skrf.io.touchstone import Touchstone
root = os.path.dirname(skrf.__file__)
paths = sorted(p for p in glob.glob(os.path.join(root, '**', '*'), recursive=True)
               if p.lower().endswith(('.s1p', '.s2p')))
def c(z):
    return repr(complex(z).real) + ' ' + repr(complex(z).imag)
def imp(z0, s):
    return 'inf inf' if s == 1 else c(complex(z0) * (1 + s) / (1 - s))
with open(sys.argv[1], 'w') as out:
    for p in paths:
        rel = os.path.relpath(p, root)
        try:
            n = skrf.Network(p)
            r = complex(Touchstone(p).resistance)
        except Exception as e:
            out.write('X\t%s\t%s: %s\n' % (rel, type(e).__name__, str(e).replace('\n', ' ')))
            continue
        m = n.s.shape[1] - 1
        z0 = np.broadcast_to(n.z0, (len(n.f), m + 1))
        note = ('z0 per frequency ' if np.any(z0 != z0[0]) else 'z0 ') + ('complex' if np.any(z0.imag) else 'real')
        out.write('F\t%s\t%s\t%d\t%s\n' % (rel, p, m + 1, note))
        for k, s in enumerate(n.s):
            cells = [s[0, 0], s[m, 0], s[0, m], s[m, m]] if m else [s[0, 0], 0, 0, 0]
            z = [imp(z0[k, 0], s[0, 0]), imp(z0[k, m], s[m, m]) if m else '0.0 0.0']
            out.write('P ' + ' '.join([repr(float(n.f[k]))] + [c(v) for v in cells + [z0[k, 0], z0[k, m]]] + z) +
                      ' ' + repr(r.real) + '\n')
)PY";

// Files our reader refuses, and a part of its reason: a refusal that goes
// away or changes fails the test.
constexpr std::string_view kPortImpedances = "S on the port impedances of the comments, not on R";
const std::map<std::string, std::string> kRefused = {
    // "# GHz S RI R (50+50j)": a complex R, as scikit-rf writes it; ours is one real number.
    {"io/tests/simple_touchstone.s2p", " line 2: a complex reference R \"(50+50j)\" cannot be shown "},
    // 1.5 GHz twice (lines 11 and 12), both with nine numbers: not the start
    // of a noise block (its lines have five), and no sweep either. scikit-rf
    // takes both points.
    {"tests/ntwk_noise.s2p", " line 12: the frequency is not above the one before "},
    // HFSS files "not renormalized": their s are referred to the per-frequency,
    // often complex port impedances of the "! Port Impedance" comments, which
    // scikit-rf takes as z0. An impedance from s11 on R would be wrong, so the
    // impedance viewer refuses them; the transmission viewer's s21 and s12 are
    // compared as for every other file.
    {"io/tests/HFSS_2019R2/test_multiport.s1p", std::string(kPortImpedances)},  // 0 + 29.3j ... 36.7j ohms
    {"io/tests/HFSS_2019R2/test_multiport.s2p", std::string(kPortImpedances)},
    {"io/tests/HFSS_2020R2/test_multiport.s1p", std::string(kPortImpedances)},
    {"io/tests/HFSS_2020R2/test_multiport.s2p", std::string(kPortImpedances)},
    {"io/tests/hfss_oneport.s1p", std::string(kPortImpedances)},  // 376 ... 273 ohms
    {"tests/hfss_oneport.s1p", std::string(kPortImpedances)},
    {"io/tests/hfss_twoport.s2p", std::string(kPortImpedances)},  // 49.5 ... 49.7 - 0.1j ohms
    {"tests/hfss_twoport.s2p", std::string(kPortImpedances)},
    {"media/tests/wr1p5_1in_swg_Al_0rough.s2p", std::string(kPortImpedances)},  // 376 + 0.5j ... 273 + 0.25j ohms
    {"media/tests/wr1p5_1in_swg_Al_100nm_rough.s2p", std::string(kPortImpedances)},
};

// Files of which we take fewer points than scikit-rf: none.
const std::map<std::string, int> kFewerPoints = {};

// Files whose impedance we show on another reference than scikit-rf's z0:
// none, now that the port impedance comments keep them out.
const std::map<std::string, std::string> kOtherReference = {};

struct Point {
  double f;
  Complex s[4], z0[2], z11, z22;  // s11 s21 s12 s22
  double r;
};
struct SkrfFile {
  std::string path, absolutePath, note;
  int ports;
  std::vector<Point> points;
};
struct Errors {
  double s = 0, z = 0, worstK = 0;  // largest relative errors; z and k where k < 1e6
  int illConditioned = 0, failures = 0, ourPoints = 0;
  bool otherReference = false;
};

std::vector<SkrfFile> parse(std::istream& found, std::vector<std::string>& notes) {
  std::vector<SkrfFile> files;
  for (std::string line; std::getline(found, line);) {
    std::vector<std::string> field;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) field.push_back(f);
    if (line[0] == 'X') notes.push_back(field[1] + ": scikit-rf refuses it, skipped (" + field[2] + ")");
    if (line[0] == 'F') files.push_back({field[1], field[2], field[4], std::stoi(field[3]), {}});
    if (line[0] != 'P') continue;
    std::vector<double> v;
    for (const char* p = line.c_str() + 1;;) {  // strtod, not >>: it takes "inf"
      char* end;
      const double x = std::strtod(p, &end);
      if (end == p) break;
      v.push_back(x);
      p = end;
    }
    if (v.size() != 18) {
      ADD_FAILURE() << "scikit-rf's line: " << line;
      continue;
    }
    Point p{v[0], {}, {}, {v[13], v[14]}, {v[15], v[16]}, v[17]};
    for (int i = 0; i < 6; ++i) (i < 4 ? p.s[i] : p.z0[i - 4]) = {v[1 + 2 * i], v[2 + 2 * i]};
    files.back().points.push_back(p);
  }
  return files;
}

// s as the viewers rebuild it, with the project's pi.
Complex fromDbDeg(double db, double deg) {
  return std::polar(std::pow(10.0, db / 20), kPi * deg / 180);
}

// |ours - theirs| <= 1e-6 |theirs|, with a floor for exact zeros (s11 of a
// load, s21 of a reflection standard). The reader keeps dB and degrees in
// single precision: that alone moves s by up to 7e-9 |dB| relative plus
// 1.3e-7 at 180 degrees, so 1e-6 holds for certain down to about -120 dB.
// convert computes from the file's own numbers in full precision: 1e-12.
void compareS(Complex ours, Complex theirs, const std::string& what, Errors& e, double relative = 1e-6) {
  const double d = std::abs(ours - theirs);
  if (!(d <= relative * std::abs(theirs) + 1e-6 * relative) && ++e.failures <= 5) {
    ADD_FAILURE() << what << ": ours " << ours << ", scikit-rf " << theirs;
  }
  if (theirs != 0.0) e.s = std::max(e.s, d / std::abs(theirs));
}

// z = z0 (1 + s)/(1 - s) multiplies a relative error of s by the condition
// number k = 2|s|/|1 - s^2|. Near s = 1 (an open, a delay short at a multiple
// of its half wave) k is huge and the last digits of z are those of the
// rounding of s, not of the file; near s = -1 (a short) z goes to 0 and only
// its error in ohms means something. So z is held to 1e-6 k |z|, that is
// 1e-6 max(|z|, 2|s||z0|/|1 - s|^2) ohms, finite at a short. Where s is
// exactly 1 scikit-rf's z is infinite and the viewer shows 0 ohms, its rule
// for a total reflection at angle 0.
bool zAgrees(Complex ours, Complex theirs, Complex s, Complex z0, Errors& e) {
  const double k = 2.0 * std::abs(s) / std::abs(1.0 - s * s), error = std::abs(ours - theirs);
  if (!std::isfinite(std::abs(theirs)) || k > 1e6) {
    ++e.illConditioned;
  } else if (theirs != 0.0) {
    e.z = std::max(e.z, error / std::abs(theirs));
    e.worstK = std::max(e.worstK, k);
  }
  if (!std::isfinite(std::abs(theirs))) return s == 1.0 && ours == 0.0;
  return error <= 1e-6 * std::max(std::abs(theirs), 2.0 * std::abs(s) * std::abs(z0) / std::norm(1.0 - s));
}

// Reads the file as one viewer does and compares it point by point.
void compare(const SkrfFile& file, const TouchstoneScan& scan, TouchstoneColumns columns, Errors& e) {
  const bool transmission = columns == TouchstoneColumns::TwoPortS21S12;
  e.ourPoints = scan.points();
  const auto fewer = kFewerPoints.find(file.path);
  if (scan.points() != (fewer != kFewerPoints.end() ? fewer->second : static_cast<int>(file.points.size())) &&
      ++e.failures) {
    ADD_FAILURE() << scan.points() << " points, scikit-rf reads " << file.points.size();
  }
  ASSERT_EQ(scan.s1.size(), scan.frequency.size());
  ASSERT_EQ(scan.s2.size(), file.ports == 2 ? scan.frequency.size() : 0u);
  const DbAngleColumns shown1 = shownDbAngles(scan.s1, scan.writtenAngle1),
                       shown2 = shownDbAngles(scan.s2, scan.writtenAngle2);
  if (!transmission) {  // the R of the option line, whatever z0 scikit-rf takes
    EXPECT_EQ(scan.reference1, file.points[0].r);
    if (file.ports == 2) {
      EXPECT_EQ(scan.reference2, file.points[0].r);
    }
  }
  for (std::size_t k = 0; k < std::min(file.points.size(), scan.frequency.size()); ++k) {
    const Point& p = file.points[k];
    const std::string at = " at point " + std::to_string(k) + ", " + std::to_string(p.f) + " Hz";
    if (!(std::abs(scan.frequency[k] - p.f) <= 1e-9 * p.f) && ++e.failures <= 5) {
      ADD_FAILURE() << "frequency" << at << ": ours " << scan.frequency[k];
    }
    compareS(fromDbDeg(shown1.db[k], shown1.angle[k]), p.s[transmission ? 1 : 0], (transmission ? "s21" : "s11") + at,
             e);
    if (file.ports == 2) {
      compareS(fromDbDeg(shown2.db[k], shown2.angle[k]), p.s[transmission ? 2 : 3], (transmission ? "s12" : "s22") + at,
               e);
    }
    if (transmission) continue;
    const Complex z11 = impedanceFromReflection(shown1.db[k], shown1.angle[k], scan.reference1);
    bool agree = zAgrees(z11, p.z11, p.s[0], p.z0[0], e);
    if (file.ports == 2) {
      agree &=
          zAgrees(impedanceFromReflection(shown2.db[k], shown2.angle[k], scan.reference2), p.z22, p.s[3], p.z0[1], e);
    }
    if (!agree) e.otherReference = true;
    if (!agree && !kOtherReference.count(file.path) && ++e.failures <= 5) {
      ADD_FAILURE() << "impedance" << at << ": ours z11 " << z11 << ", scikit-rf " << p.z11;
    }
  }
}

// All columns of a kind, in table order, as convert computes them.
QuantityChoice everyColumn(QuantityKind kind) {
  QuantityChoice all{kind, {}};
  for (std::size_t i = 0; i < quantitiesOf(kind).size(); ++i) all.columns.push_back(static_cast<int>(i));
  return all;
}

double columnOf(const ConvertedScan& scan, std::size_t point, QuantityKind kind, std::string_view name) {
  const std::span<const Quantity> table = quantitiesOf(kind);
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].name == name) return scan.row(point)[i];
  ADD_FAILURE() << "no column " << name;
  return 0;
}

// What convert writes of each parameter the file has: s and Z of s11 (and
// s22), gain and phase of s21 and s12, against scikit-rf's values.
void compareConverted(const SkrfFile& file, std::span<const std::uint8_t> bytes, Errors& e) {
  struct Slot {
    ParameterSlot slot;
    QuantityKind kind;
    int sIndex;  // in Point::s: s11 s21 s12 s22
  };
  const std::vector<Slot> slots = file.ports == 1
                                      ? std::vector<Slot>{{ParameterSlot::s11, QuantityKind::Reflection, 0}}
                                      : std::vector<Slot>{{ParameterSlot::s11, QuantityKind::Reflection, 0},
                                                          {ParameterSlot::s22, QuantityKind::Reflection, 3},
                                                          {ParameterSlot::s21, QuantityKind::Transmission, 1},
                                                          {ParameterSlot::s12, QuantityKind::Transmission, 2}};
  for (const Slot& slot : slots) {
    const Conversion converted = convertTouchstone(bytes, file.ports == 2, slot.slot, everyColumn(slot.kind));
    if (!converted.scan) {
      // Only the files the viewer refuses, for the same reason.
      if (!kRefused.count(file.path) && ++e.failures) ADD_FAILURE() << "convert refuses it: " << converted.reason;
      continue;
    }
    const ConvertedScan& scan = *converted.scan;
    EXPECT_EQ(scan.reference, file.points[0].r);
    for (std::size_t k = 0; k < std::min(file.points.size(), scan.frequency.size()); ++k) {
      const Point& p = file.points[k];
      const Complex theirs = p.s[slot.sIndex];
      const std::string at = " of convert at point " + std::to_string(k) + ", " + std::to_string(p.f) + " Hz";
      const auto column = [&](std::string_view name) { return columnOf(scan, k, slot.kind, name); };
      if (slot.kind == QuantityKind::Transmission) {
        compareS({column("s21_re"), column("s21_im")}, theirs, "s" + at, e, 1e-7);
        compareS(fromDbDeg(column("gain_db"), column("phase_deg")), theirs, "gain and phase" + at, e);
        continue;
      }
      compareS({column("s11_re"), column("s11_im")}, theirs, "s" + at, e, 1e-7);
      const Complex z{column("r_ohm"), column("x_ohm")}, zTheirs = slot.sIndex == 0 ? p.z11 : p.z22;
      // An ideal open (s = 1): infinite for both; convert does not make it a short.
      const bool agree = std::isfinite(std::abs(zTheirs))
                             ? zAgrees(z, zTheirs, theirs, p.z0[slot.sIndex == 0 ? 0 : 1], e)
                             : !std::isfinite(std::abs(z));
      if (!agree && ++e.failures <= 5)
        ADD_FAILURE() << "impedance" << at << ": ours " << z << ", scikit-rf " << zTheirs;
    }
  }
}

std::string summaryOf(const SkrfFile& file, const Errors& e) {
  const int points = static_cast<int>(file.points.size());
  const std::string ours = e.ourPoints == points ? "" : " (ours " + std::to_string(e.ourPoints) + ")";
  char line[256];
  std::snprintf(line, sizeof line, "%s%-55s %4d%s  %d-port %-24s s %.1e  z %.1e", e.failures ? "MISMATCH " : "",
                file.path.c_str(), points, ours.c_str(), file.ports, file.note.c_str(), e.s, e.z);
  std::string text = line;
  if (e.worstK > 10) text += " (k up to " + std::to_string(static_cast<long>(e.worstK)) + ")";
  if (e.illConditioned) text += " (" + std::to_string(e.illConditioned) + " values of z near s = 1 or -1 left out)";
  if (e.otherReference) text += " (skrf's z0 from HFSS comments)";
  return text;
}

TEST(TouchstoneInterop, OurReaderAndScikitRfReadItsFilesAlike) {
  if (std::system("/usr/bin/python3 -c 'import skrf' >/dev/null 2>&1") != 0) {
    if (std::getenv("CI") != nullptr) FAIL() << "python3-scikit-rf is missing: run scripts/install-deps.sh";
    GTEST_SKIP() << "python3-scikit-rf is not installed (scripts/install-deps.sh installs it)";
  }
  TempDir dir;
  std::ofstream(dir.path() / "read.py") << kScript;
  const std::string command =
      "cd '" + dir.path().string() + "' && /usr/bin/python3 read.py found.txt >/dev/null 2>python-errors.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << std::ifstream(dir.path() / "python-errors.txt").rdbuf();
  std::ifstream found(dir.path() / "found.txt");
  std::vector<std::string> summary;
  const std::vector<SkrfFile> files = parse(found, summary);

  std::map<std::string, std::string> refused;
  std::set<std::string> otherReference;
  int compared[3] = {};  // by number of ports
  for (const SkrfFile& file : files) {
    SCOPED_TRACE(file.path);
    std::ifstream in(file.absolutePath, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const TouchstoneColumns reflection = impedanceViewerColumns(std::filesystem::path(file.path).filename().string());
    ASSERT_EQ(reflection, file.ports == 1 ? TouchstoneColumns::OnePortS11 : TouchstoneColumns::TwoPortS11S22);
    Errors e;
    for (const TouchstoneColumns columns : {reflection, TouchstoneColumns::TwoPortS21S12}) {
      if (file.ports == 1 && columns == TouchstoneColumns::TwoPortS21S12) continue;
      const TouchstoneReading read = readTouchstone(bytes, columns);
      if (!read.ok()) refused[file.path] = read.reason;
      if (read.ok()) compare(file, *read.scan, columns, e);
    }
    compareConverted(file, bytes, e);
    if (e.otherReference) otherReference.insert(file.path);
    summary.push_back(refused.count(file.path) ? file.path + ": refused:" + refused[file.path] : summaryOf(file, e));
    compared[file.ports] += refused.count(file.path) ? 0 : 1;
  }

  // The tables say what is true now, no more and no less.
  for (const auto& [path, reason] : kRefused) {
    EXPECT_NE(refused[path].find(reason), std::string::npos) << path << ", refused for \"" << refused[path] << '"';
  }
  for (const auto& [path, reason] : refused) EXPECT_TRUE(kRefused.count(path)) << path << " is refused:" << reason;
  for (const auto& [path, z0] : kOtherReference) EXPECT_TRUE(otherReference.count(path)) << path << " now agrees";
  for (const std::string& path : otherReference) EXPECT_TRUE(kOtherReference.count(path)) << path << ": z differs";
  EXPECT_GT(compared[1], 0);
  EXPECT_GT(compared[2], 0);

  std::string all;
  for (const std::string& line : summary) all += line + "\n";
  std::printf("%s", all.c_str());
  RecordProperty("files", all);
}

}  // namespace
}  // namespace vna
