// Touchstone files of other instruments, simulators and scripts: the option
// line, the keywords of version 2, and the forms a data line takes. Small
// files whose values tell their point and their place apart.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "files/touchstone_reader.h"
#include "reflection/impedance_quantities.h"

namespace vna {
namespace {

constexpr auto kOnePort = TouchstoneColumns::OnePortS11;
constexpr auto kImpedance2 = TouchstoneColumns::TwoPortS11S22;
constexpr auto kTransmission = TouchstoneColumns::TwoPortS21S12;

TouchstoneReading reading(const std::string& text, TouchstoneColumns columns) {
  return readTouchstone({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, columns);
}

// The impedance of s on a real reference.
std::complex<double> impedanceOf(std::complex<double> s, double reference) {
  return reference * (1.0 + s) / (1.0 - s);
}

// Within 1e-7: the reader keeps s in double precision, and the real and
// imaginary parts below were written with the true pi, the expected values
// with the programs' 3.1415926.
void expectS(const TouchstoneScan& scan, int parameter, std::size_t i, std::complex<double> s, const std::string& what) {
  const auto got = (parameter == 1 ? scan.s1 : scan.s2)[i];
  EXPECT_LE(std::abs(got - s), 1e-7 * std::abs(s) + 1e-15) << what << " point " << i << ": " << got << " for " << s;
}

// Two points of one s = 0.6 at 30 degrees (and 0.5 at -45), in each format.
TEST(TouchstoneOptions, UnitsFormatsCaseAndOrderAsTheLineSays) {
  struct Case {
    std::string options, first, second;
    double hertz;
  };
  const Case cases[] = {
      {"HZ S DB R 50", "-4.436974992327127 30", "-6.020599913279624 -45", 1},
      {"khz s ma", "0.6 30", "0.5 -45", 1e3},
      {"MA R 50 S MHz", "0.6 30", "0.5 -45", 1e6},
      {"RI", "0.5196152422706632 0.3", "0.3535533905932738 -0.3535533905932738", 1e9},  // GHZ by default
      {"", "0.6 30", "0.5 -45", 1e9},                                                     // GHZ S MA R 50
  };
  for (const Case& c : cases) {
    const std::string file = "!comment\n#" + c.options + "\n2 " + c.first + "\n3 " + c.second + "\n";
    const TouchstoneReading r = reading(file, kOnePort);
    ASSERT_TRUE(r.ok()) << c.options << r.reason;
    EXPECT_EQ(r.scan->frequency, (std::vector<double>{2 * c.hertz, 3 * c.hertz})) << c.options;
    expectS(*r.scan, 1, 0, std::polar(0.6, 3.1415926 / 6), c.options);
    expectS(*r.scan, 1, 1, std::polar(0.5, -3.1415926 / 4), c.options);
    EXPECT_EQ(r.scan->reference1, 50);
  }
  // The viewers show the angle a file writes, which a complex number
  // forgets: beyond half a turn, or beside a magnitude of 0.
  const TouchstoneReading polar = reading("# HZ S MA R 50\n1 0 135\n2 0.5 -200\n3 -0.5 10\n", kOnePort);
  ASSERT_TRUE(polar.ok()) << polar.reason;
  EXPECT_EQ(polar.scan->writtenAngle1[0], 135);
  EXPECT_EQ(polar.scan->writtenAngle1[1], -200);
  EXPECT_TRUE(std::isnan(polar.scan->writtenAngle1[2]));  // a negative magnitude turns it by half a turn
  EXPECT_TRUE(reading("# HZ S RI R 50\n1 0 1\n2 0 1\n", kOnePort).scan->writtenAngle1.empty());
  EXPECT_EQ(reading("# R 75 RI\n1 0 0\n2 0 0\n", kOnePort).scan->reference1, 75);
  EXPECT_EQ(reading("# H\n1 0 0\n2 0 0\n", kOnePort).reason, " line 1: H parameters cannot be shown ");
  EXPECT_EQ(reading("\n# MHZ g\n", kTransmission).reason, " line 2: G parameters cannot be shown ");
  EXPECT_EQ(reading("# MHZ S DB R\n", kOnePort).reason, " line 1: R needs a positive resistance ");
  EXPECT_EQ(reading("# MHZ S DB R -5\n", kOnePort).reason, " line 1: R needs a positive resistance ");
  EXPECT_EQ(reading("# HZ T\n", kOnePort).reason, " line 1: \"T\" is not an option of the # line ");
}

// Version 1 Z and Y are normalized to R: a 30 ohm load on 50 ohm is z 0.6,
// y 1/0.6; its impedance comes back as 30 ohm.
TEST(TouchstoneOptions, NormalizedZAndYBecomeTheSameS) {
  for (const std::string line : {"1 0.6 0", "1 1.6666666666666667 0"}) {
    const std::string parameter = line == "1 0.6 0" ? "Z" : "Y";
    const TouchstoneReading r = reading("# HZ " + parameter + " RI R 50\n" + line + "\n2 0.6 0\n", kOnePort);
    ASSERT_TRUE(r.ok()) << r.reason;
    expectS(*r.scan, 1, 0, -0.25, parameter);
    const auto z = impedanceOf(r.scan->s1[0], r.scan->reference1);
    EXPECT_NEAR(z.real(), 30, 30e-12) << parameter;
    EXPECT_NEAR(z.imag(), 0, 30e-12) << parameter;
  }
  // A 25 ohm shunt resistor between two 50 ohm ports (z = 0.5 everywhere)
  // reflects -0.5 and passes 0.5; a 100 ohm series resistor (y = 0.5, -0.5)
  // reflects 0.5 and passes 0.5.
  const TouchstoneReading shunt = reading("# HZ Z RI R 50\n1 0.5 0 0.5 0 0.5 0 0.5 0\n2 0.5 0 0.5 0 0.5 0 0.5 0\n",
                                          kTransmission);
  ASSERT_TRUE(shunt.ok()) << shunt.reason;
  expectS(*shunt.scan, 1, 1, 0.5, "shunt s21");
  const TouchstoneReading series =
      reading("# HZ Y RI R 50\n1 0.5 0 -0.5 0 -0.5 0 0.5 0\n2 0.5 0 -0.5 0 -0.5 0 0.5 0\n", kImpedance2);
  ASSERT_TRUE(series.ok()) << series.reason;
  expectS(*series.scan, 1, 0, 0.5, "series s11");
  expectS(*series.scan, 2, 1, 0.5, "series s22");
}

// The pairs of a two-port record by their place: pair k holds k + 1 + i/10
// (real) at point i, so a swapped pair or point shows at once.
std::string twoPortRecord(int point, int pairs) {
  std::string line = std::to_string(point + 1);
  for (int k = 0; k < pairs; ++k) line += " " + std::to_string(k + 1 + point / 10.0) + " 0";
  return line + "\n";
}

TEST(TouchstoneVersion2, KeywordsSetOrderMatrixReferencesAndWhereDataEnds) {
  const std::string head = "[Version] 2.0\n# HZ S RI R 50\n[Number of Ports] 2\n";
  const std::string body = "[Number of Frequencies] 2\n[Network Data]\n" + twoPortRecord(0, 4) +
                           "! a comment between points\n" + twoPortRecord(1, 4);
  // 12_21: s11 s12 s21 s22; 21_12 (and version 1): s11 s21 s12 s22.
  const TouchstoneReading order12 = reading(head + "[Two-Port Data Order] 12_21\n" + body, kTransmission);
  ASSERT_TRUE(order12.ok()) << order12.reason;
  expectS(*order12.scan, 1, 1, 3.1, "s21 of 12_21");
  expectS(*order12.scan, 2, 1, 2.1, "s12 of 12_21");
  const TouchstoneReading order21 = reading(head + "[Two-Port Data Order] 21_12\n" + body, kTransmission);
  ASSERT_TRUE(order21.ok()) << order21.reason;
  expectS(*order21.scan, 1, 1, 2.1, "s21 of 21_12");

  // A triangle of three pairs: the matrix is symmetric.
  for (const std::string format : {"Lower", "Upper"}) {
    const std::string file = head + "[Matrix Format] " + format + "\n[Network Data]\n" + twoPortRecord(0, 3) +
                             twoPortRecord(1, 3) + "[End]\n";
    const TouchstoneReading r = reading(file, kTransmission);
    ASSERT_TRUE(r.ok()) << format << r.reason;
    expectS(*r.scan, 1, 0, 2.0, format + " s21");
    expectS(*r.scan, 2, 0, 2.0, format + " s12");
    const TouchstoneReading ports = reading(file, kImpedance2);
    expectS(*ports.scan, 2, 1, 3.1, format + " s22");
  }

  // References per port, on the lines after the keyword; Z in ohms. A 25 ohm
  // series resistor from a 50 ohm port to a 75 ohm port: port 1 sees 100 ohm
  // and reflects 1/3, port 2 sees 75 ohm and does not reflect.
  const std::string series = "[Version] 2.0\n# HZ Y RI\n[Number of Ports] 2\n[Two-Port Data Order] 12_21\n"
                             "[Reference]\n50\n75\n[Number of Frequencies] 2\n[Network Data]\n"
                             "1 0.04 0 -0.04 0 -0.04 0 0.04 0\n2 0.04 0 -0.04 0\n -0.04 0 0.04 0\n"
                             "[Noise Data]\n1 2 3 4 5\n[End]\n";
  const TouchstoneReading r = reading(series, kImpedance2);
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(r.scan->reference1, 50);
  EXPECT_EQ(r.scan->reference2, 75);
  expectS(*r.scan, 1, 1, 1.0 / 3, "s11 on 50 ohm");  // the second point wraps over two lines
  expectS(*r.scan, 2, 0, 0.0, "s22 on 75 ohm");
  EXPECT_NEAR(impedanceOf(r.scan->s1[0], r.scan->reference1).real(), 100, 100e-12);
  const TouchstoneReading through = reading(series, kTransmission);
  expectS(*through.scan, 1, 0, 2 * std::sqrt(50.0 * 75) / 150, "s21 50 to 75 ohm");

  const std::string oneport = "[Version] 2.0\n# MHZ Z RI\n[Number of Ports] 1\n[Begin Information]\n1 2 3\n"
                              "[End Information]\n[Network Data]\n1 30 0\n2 30 0\n";
  const TouchstoneReading ohms = reading(oneport, kOnePort);
  ASSERT_TRUE(ohms.ok()) << ohms.reason;
  expectS(*ohms.scan, 1, 1, -0.25, "30 ohm on 50");

  EXPECT_EQ(reading(oneport, kImpedance2).reason, " line 3: [Number of Ports] 1 where a two-port file is needed ");
  EXPECT_EQ(reading(head + "[Two-Port Data Order] 12_21\n[Number of Frequencies] 3\n[Network Data]\n" +
                        twoPortRecord(0, 4) + twoPortRecord(1, 4),
                    kTransmission)
                .reason,
            " [Number of Frequencies] says 3, the file holds 2 ");
  EXPECT_EQ(reading("[Version] 2.0\n# HZ S RI\n[Number of Ports] 4\n", kTransmission).reason,
            " line 3: [Number of Ports] 4: only one- and two-port files can be shown ");
  EXPECT_EQ(reading("[Version] 2.0\n# HZ\n[Network Data]\n", kOnePort).reason,
            " line 3: [Network Data] before [Number of Ports] ");
  EXPECT_EQ(reading("[Version] 2.0\n# HZ\n[Number of Ports] 1\n1 2 3\n", kOnePort).reason,
            " line 4: numbers before [Network Data] ");
}

TEST(TouchstoneDataLines, CommentsBlanksLineEndsAndNumberFormsReadAlike) {
  const std::string expected = "# HZ S RI R 50\n1000 0.5 0.25\n2000 -0.5 0.125\n";
  const TouchstoneReading plain = reading(expected, kOnePort);
  ASSERT_TRUE(plain.ok()) << plain.reason;
  const std::string variants[] = {
      "\xEF\xBB\xBF# HZ S RI R 50\r\n1000 0.5 0.25\r\n2000 -0.5 0.125",    // byte order mark, CR LF, no last end
      "# HZ S RI R 50\r1000\t.5\t+.25\r2000 -.5 1.25E-1\r",                 // CR alone, tabs, number forms
      "  #  hz  s  ri  r  50  \n\n1e3 5e-1 0.25 ! 2000 1 1\n+2E+03 -0.5 0.125!x\n",  // blanks, comments after numbers
      "# HZ S RI R 50\n1000 0.5 0.25\n# KHZ\n2000 -0.5 0.125\n",            // a later option line counts for nothing
  };
  for (const std::string& v : variants) {
    const TouchstoneReading r = reading(v, kOnePort);
    ASSERT_TRUE(r.ok()) << v << r.reason;
    EXPECT_EQ(r.scan->frequency, plain.scan->frequency) << v;
    EXPECT_EQ(r.scan->s1, plain.scan->s1) << v;
  }
}

// Frequencies are kept in double precision: whatever the form of their
// text, they read exactly as the C library reads them.
TEST(TouchstoneDataLines, NumbersReadExactlyAsTheCLibraryReadsThem) {
  std::mt19937 random(7);
  std::string file = "# HZ S DB R 50\n";
  std::vector<double> expected;
  double at = 1;
  for (int i = 0; i < 3000; ++i) {
    at *= 1.001 + (random() % 1000) * 1e-6;
    char text[64];
    const int digits = 1 + static_cast<int>(random() % 17);
    switch (i % 3) {
      case 0: std::snprintf(text, sizeof text, "%.*g", digits, at); break;
      case 1: std::snprintf(text, sizeof text, "%.*e", digits, at); break;
      case 2: std::snprintf(text, sizeof text, "%.*f", digits % 10, at); break;
    }
    const double value = std::strtod(text, nullptr);
    if (!expected.empty() && !(value > expected.back())) continue;
    expected.push_back(value);
    file += std::string(text) + " 0 0\n";
  }
  const TouchstoneReading r = reading(file, kOnePort);
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(r.scan->frequency, expected);
}

// A version 1 two-port file of an amplifier ends with its noise parameters
// (5 numbers a line, the frequency starting again): they are left out.
TEST(TouchstoneDataLines, AVersion1NoiseBlockIsLeftOutAndFaultsNameTheirLine) {
  const std::string amplifier = "# GHZ S MA R 50\n" + twoPortRecord(0, 4) + twoPortRecord(1, 4) + twoPortRecord(2, 4) +
                                "! noise parameters\n1 0.8 0.3 120 0.2\n2 0.9 0.3 125 0.21\n";
  const TouchstoneReading r = reading(amplifier, kTransmission);
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(r.scan->points(), 3);
  expectS(*r.scan, 1, 2, 2.2, "s21");
  EXPECT_EQ(reading("# HZ\n1 2 3\n2 3 4\n1 2 3\n", kOnePort).reason,
            " line 4: the frequency is not above the one before ");
  // A repeated frequency in the network data is not the start of noise.
  EXPECT_EQ(reading("# GHZ\n" + twoPortRecord(0, 4) + twoPortRecord(1, 4) + twoPortRecord(1, 4), kTransmission).reason,
            " line 4: the frequency is not above the one before ");
  EXPECT_EQ(reading("# HZ\n" + twoPortRecord(0, 4) + "2 1 2 3 4\n", kTransmission).reason,
            " line 3: 5 numbers where a two-port line has 9 ");
  EXPECT_EQ(reading("# HZ\n1 2 x3\n", kOnePort).reason, " line 2: \"x3\" is not a number ");
}

// A field solver's S are on the port impedances it writes after each point:
// the gain is still right, an impedance from s11 on R would not be.
TEST(TouchstoneDataLines, PortImpedanceCommentsOtherThanRKeepTheImpedanceViewerOut) {
  const std::string solver = "! Exported from a field solver\n# GHZ S MA\n1 0.5 10 0.1 20 0.1 20 0.5 10\n"
                             "! Gamma ! 0.1 2.0 0.1 2.1\n! Port Impedance0 29.25 0 57.4\n2 0.5 11 0.1 21 0.1 21 0.5 11\n"
                             "! Port Impedance 0 29.3 0 57.5\n";
  EXPECT_EQ(reading(solver, kImpedance2).reason, " line 5: S on the port impedances of the comments, not on R ");
  EXPECT_TRUE(reading(solver, kTransmission).ok());
  const std::string same = "# GHZ S RI R 50\n1 0.5 0\n! Port Impedance 50 0\n2 0.5 0\n! Port Impedance 50.0 0.0\n";
  EXPECT_TRUE(reading(same, kOnePort).ok());
}

}  // namespace
}  // namespace vna
