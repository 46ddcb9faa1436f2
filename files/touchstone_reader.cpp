#include "files/touchstone_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include "files/network_parameters.h"
#include "files/touchstone_text.h"

namespace vna {
namespace {

using namespace touchstone_text;

// ---------------------------------------------------------------- the file's layout

struct Options {
  double hertzPerUnit = 1e9;  // GHZ
  NetworkParameter parameter = NetworkParameter::S;
  PairFormat format = PairFormat::MagnitudeAngle;
  double resistance = 50;
};

enum class MatrixFormat { Full, Lower, Upper };

// Where the pairs of a two-port data line stand: index of n11, n12, n21,
// n22 among the line's pairs (a triangle repeats the pair it has).
using PairOrder = std::array<int, 4>;
constexpr PairOrder kOrder21_12{0, 2, 1, 3};  // version 1 and "21_12": n11 n21 n12 n22
constexpr PairOrder kOrder12_21{0, 1, 2, 3};
constexpr PairOrder kTriangle{0, 1, 1, 2};  // Lower: n11 n21 n22; Upper: n11 n12 n22

constexpr int kMostRecordNumbers = 9;

class Reader {
 public:
  explicit Reader(TouchstoneColumns columns)
      : columns_(columns), ports_(columns == TouchstoneColumns::OnePortS11 ? 1 : 2) {}

  // False once the file is found to be one the viewer cannot show.
  bool line(std::string_view text);
  TouchstoneReading finish();

 private:
  void comment(std::string_view text);
  bool optionLine(std::string_view text);
  bool keyword(std::string_view text);
  bool dataLine(std::string_view text);
  bool referenceNumbers(std::string_view text);
  bool point();
  // The numbers the current record needs converted: all of them for Z and
  // Y, the frequency and the viewer's two pairs for S.
  bool needed(int number) const;
  int recordSize() const;
  const PairOrder& pairOrder() const { return matrix_ == MatrixFormat::Full ? order_ : kTriangle; }
  // A port's reference: its own after [Reference], else the option line's R.
  double reference(int port) const {
    return referencesRead_ > port ? reference_[static_cast<std::size_t>(port)] : options_.resistance;
  }
  std::string portsText() const { return ports_ == 1 ? "one-port" : "two-port"; }

  bool fail(std::string reason) {
    reason_ = " " + std::move(reason) + " ";
    return false;
  }
  bool failAtLine(const std::string& what) { return fail("line " + std::to_string(lineNumber_) + ": " + what); }

  TouchstoneColumns columns_;
  int ports_;
  std::string reason_;
  int lineNumber_ = 0;
  bool done_ = false;  // after [End], [Noise Data] or a version 1 noise block

  bool optionSeen_ = false;
  Options options_;
  bool version2_ = false;
  bool portsDeclared_ = false;
  bool inNetworkData_ = false;
  bool inInformation_ = false;
  PairOrder order_ = kOrder21_12;
  MatrixFormat matrix_ = MatrixFormat::Full;
  int declaredFrequencies_ = -1;
  std::array<double, 2> reference_{0, 0};
  int referencesRead_ = 0;
  bool referenceKeyword_ = false;

  // The record being read: a point's numbers, which may run over lines.
  std::array<double, kMostRecordNumbers> numbers_{};
  int filled_ = 0;
  int recordLine_ = 0, recordLineNumbers_ = 0;

  // The first comment that puts a port on another impedance than R.
  int portImpedanceLine_ = 0;

  TouchstoneScan scan_;
};

bool Reader::line(std::string_view text) {
  ++lineNumber_;
  if (done_) return true;
  if (const std::size_t bang = text.find('!'); bang != std::string_view::npos) {
    comment(text.substr(bang + 1));
    text = text.substr(0, bang);
  }
  text = trimmed(text);
  if (text.empty()) return true;
  if (text.front() == '[') return keyword(text);
  if (inInformation_) return true;
  if (text.front() == '#') return optionLine(text.substr(1));
  return dataLine(text);
}

// Field solvers write after each point "! Port Impedance re im [re im]":
// S referred to those impedances, which may change with the frequency and
// be complex. S stays S, but an impedance from s11 on R would be wrong.
void Reader::comment(std::string_view text) {
  constexpr std::string_view kTag = "Port Impedance";
  text = trimmed(text);
  if (portImpedanceLine_ != 0 || text.size() < kTag.size() || !sameWord(text.substr(0, kTag.size()), kTag)) return;
  text.remove_prefix(kTag.size());  // "Impedance0 29.2" has no blank before its first number
  for (int port = 0; port < ports_; ++port) {
    const std::optional<double> re = numberOf(nextWord(text)), im = numberOf(nextWord(text));
    if (!re || !im) return;
    const double r = reference(port);
    if (std::fabs(*re - r) > 1e-6 * r || std::fabs(*im) > 1e-6 * r) portImpedanceLine_ = lineNumber_;
  }
}

// "# GHZ S MA R 50" in any order and case; the first option line counts.
bool Reader::optionLine(std::string_view text) {
  if (optionSeen_) return true;
  optionSeen_ = true;
  for (std::string_view word = nextWord(text); !word.empty(); word = nextWord(text)) {
    struct Unit {
      std::string_view name;
      double hertz;
    };
    static constexpr Unit kUnits[] = {{"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}};
    const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits), [&](const Unit& u) {
      return sameWord(word, u.name);
    });
    if (unit != std::end(kUnits)) {
      options_.hertzPerUnit = unit->hertz;
    } else if (sameWord(word, "S") || sameWord(word, "Y") || sameWord(word, "Z")) {
      const char p = lower(word.front());
      options_.parameter = p == 's' ? NetworkParameter::S : p == 'y' ? NetworkParameter::Y : NetworkParameter::Z;
    } else if (sameWord(word, "H") || sameWord(word, "G")) {
      return failAtLine(std::string(1, static_cast<char>(word.front() & ~0x20)) + " parameters cannot be shown");
    } else if (sameWord(word, "DB") || sameWord(word, "MA") || sameWord(word, "RI")) {
      const char f = lower(word.front());
      options_.format = f == 'd' ? PairFormat::DbAngle : f == 'm' ? PairFormat::MagnitudeAngle : PairFormat::RealImaginary;
    } else if (sameWord(word, "R")) {
      const std::string_view value = nextWord(text);
      if (value.starts_with("(")) return failAtLine("a complex reference R " + quoted(value) + " cannot be shown");
      const std::optional<double> r = numberOf(value);
      if (!r || !(*r > 0)) return failAtLine("R needs a positive resistance");
      options_.resistance = *r;
    } else {
      return failAtLine(quoted(word) + " is not an option of the # line");
    }
  }
  return true;
}

bool Reader::keyword(std::string_view text) {
  const std::size_t close = text.find(']');
  if (close == std::string_view::npos) return failAtLine("a keyword without \"]\"");
  const std::string_view name = trimmed(text.substr(1, close - 1));
  std::string_view value = trimmed(text.substr(close + 1));
  if (inInformation_) {
    inInformation_ = !sameWord(name, "End Information");
    return true;
  }
  const auto whole = [&]() -> std::optional<int> {
    const std::optional<double> v = numberOf(nextWord(value));
    if (!v || *v != std::floor(*v) || *v < 0 || *v > 1e9) return std::nullopt;
    return static_cast<int>(*v);
  };
  if (sameWord(name, "Version")) {
    if (value.empty() || value.front() != '2') return failAtLine("[Version] " + quoted(value) + " cannot be read");
    version2_ = true;
  } else if (sameWord(name, "Number of Ports")) {
    const std::optional<int> n = whole();
    if (!n) return failAtLine("[Number of Ports] needs a number");
    if (*n != 1 && *n != 2) return failAtLine("[Number of Ports] " + std::to_string(*n) + ": only one- and two-port files can be shown");
    if (*n != ports_) return failAtLine("[Number of Ports] " + std::to_string(*n) + " where a " + portsText() + " file is needed");
    portsDeclared_ = true;
  } else if (sameWord(name, "Two-Port Data Order")) {
    if (sameWord(value, "12_21")) {
      order_ = kOrder12_21;
    } else if (sameWord(value, "21_12")) {
      order_ = kOrder21_12;
    } else {
      return failAtLine("[Two-Port Data Order] " + quoted(value) + " is neither 12_21 nor 21_12");
    }
  } else if (sameWord(name, "Number of Frequencies")) {
    const std::optional<int> n = whole();
    if (!n) return failAtLine("[Number of Frequencies] needs a number");
    declaredFrequencies_ = *n;
  } else if (sameWord(name, "Reference")) {
    referenceKeyword_ = true;
    return referenceNumbers(value);
  } else if (sameWord(name, "Matrix Format")) {
    if (sameWord(value, "Full")) {
      matrix_ = MatrixFormat::Full;
    } else if (sameWord(value, "Lower")) {
      matrix_ = MatrixFormat::Lower;
    } else if (sameWord(value, "Upper")) {
      matrix_ = MatrixFormat::Upper;
    } else {
      return failAtLine("[Matrix Format] " + quoted(value) + " is not Full, Lower or Upper");
    }
  } else if (sameWord(name, "Mixed-Mode Order")) {
    return failAtLine("mixed-mode parameters cannot be shown");
  } else if (sameWord(name, "Network Data")) {
    if (!portsDeclared_) return failAtLine("[Network Data] before [Number of Ports]");
    if (referenceKeyword_ && referencesRead_ < ports_) return failAtLine("[Reference] without a resistance per port");
    inNetworkData_ = true;
  } else if (sameWord(name, "Noise Data") || sameWord(name, "End")) {
    done_ = true;
  } else if (sameWord(name, "Begin Information")) {
    inInformation_ = true;
  }
  return true;  // other keywords say nothing the display needs
}

// The resistances after [Reference], on its line and the lines after it.
bool Reader::referenceNumbers(std::string_view text) {
  for (std::string_view word = nextWord(text); !word.empty(); word = nextWord(text)) {
    const std::optional<double> r = numberOf(word);
    if (!r || !(*r > 0)) return failAtLine("[Reference] needs positive resistances, not " + quoted(word));
    if (referencesRead_ == ports_) return failAtLine("[Reference] names more resistances than ports");
    reference_[static_cast<std::size_t>(referencesRead_++)] = *r;
  }
  return true;
}

int Reader::recordSize() const {
  if (ports_ == 1) return 3;
  return matrix_ == MatrixFormat::Full ? 9 : 7;
}

bool Reader::needed(int number) const {
  if (number == 0 || options_.parameter != NetworkParameter::S) return true;
  const int pair = (number - 1) / 2;
  const PairOrder& order = pairOrder();
  switch (columns_) {
    case TouchstoneColumns::OnePortS11: return true;
    case TouchstoneColumns::TwoPortS11S22: return pair == order[0] || pair == order[3];
    case TouchstoneColumns::TwoPortS21S12: return pair == order[1] || pair == order[2];
  }
  return true;
}

bool Reader::dataLine(std::string_view text) {
  if (!optionSeen_) return failAtLine("numbers before the option line (# ...)");
  if (version2_ && referenceKeyword_ && referencesRead_ < ports_ && !inNetworkData_) return referenceNumbers(text);
  if (version2_ && !inNetworkData_) return failAtLine("numbers before [Network Data]");
  const int size = recordSize();
  int count = 0;
  for (std::string_view word = nextWord(text); !word.empty(); word = nextWord(text), ++count) {
    const int number = filled_ + count;
    if (number >= size) continue;  // counted for the reason below
    if (number == 0 || needed(number)) {
      const std::optional<double> value = numberOf(word);
      if (!value) return failAtLine(quoted(word) + " is not a number");
      numbers_[static_cast<std::size_t>(number)] = *value;
    } else if (!looksLikeNumber(word)) {
      return failAtLine(quoted(word) + " is not a number");
    }
  }
  // A version 1 two-port file may end with noise parameters: five numbers
  // a line, the first frequency not above the last one of the network data.
  // A network line that repeats a frequency is refused below, not taken
  // for noise.
  if (filled_ == 0 && count == 5 && !version2_ && ports_ == 2 && !scan_.frequency.empty() &&
      numbers_[0] * options_.hertzPerUnit <= scan_.frequency.back()) {
    done_ = true;
    return true;
  }
  if (filled_ == 0) {
    recordLine_ = lineNumber_;
    recordLineNumbers_ = count;
  }
  filled_ += count;
  // A version 2 file may wrap a point's numbers over lines; in version 1 a
  // point is one line, and a short line is a fault, not half a point.
  if (filled_ < size && version2_) return true;
  if (filled_ != size) {
    lineNumber_ = recordLine_;
    return failAtLine(std::to_string(recordLineNumbers_) + " numbers where a " + portsText() + " line has " +
                      std::to_string(size));
  }
  filled_ = 0;
  return point();
}

// The record complete: its frequency and the viewer's two parameters.
bool Reader::point() {
  const double hz = numbers_[0] * options_.hertzPerUnit;
  if (!std::isfinite(hz) || hz < 0) return failAtLine("the frequency must be 0 or above");
  if (!scan_.frequency.empty() && !(hz > scan_.frequency.back()))
    return failAtLine("the frequency is not above the one before");
  if (scan_.points() == kMostFilePoints) return fail("more than " + std::to_string(kMostFilePoints) + " points");

  // The pair-th pair of the record as the complex number it writes.
  const auto sAt = [&](int pair) {
    const auto at = static_cast<std::size_t>(1 + 2 * pair);
    return complexOf(options_.format, numbers_[at], numbers_[at + 1]);
  };
  const double r1 = reference(0), r2 = reference(ports_ - 1);
  const bool transmission = columns_ == TouchstoneColumns::TwoPortS21S12;
  if (options_.parameter == NetworkParameter::S) {
    const PairOrder& order = pairOrder();
    const int first = ports_ == 1 ? 0 : order[transmission ? 2 : 0], second = order[transmission ? 1 : 3];
    scan_.s1.push_back(sAt(first));
    if (ports_ == 2) scan_.s2.push_back(sAt(second));
    if (options_.format != PairFormat::RealImaginary) {
      const auto angleAt = [&](int pair) {
        const auto at = static_cast<std::size_t>(1 + 2 * pair);
        const bool negative = options_.format == PairFormat::MagnitudeAngle && numbers_[at] < 0;
        return negative ? std::numeric_limits<double>::quiet_NaN() : numbers_[at + 1];
      };
      scan_.writtenAngle1.push_back(angleAt(first));
      if (ports_ == 2) scan_.writtenAngle2.push_back(angleAt(second));
    }
  } else {
    // Version 1 files give Z and Y normalized to R, version 2 files in ohms
    // and siemens.
    const double scale = version2_ ? 1.0 : options_.parameter == NetworkParameter::Z ? r1 : 1.0 / r1;
    if (ports_ == 1) {
      const Complex s = oneportS(options_.parameter, sAt(0) * scale, r1);
      if (!std::isfinite(s.real()) || !std::isfinite(s.imag()))
        return failAtLine("these Z or Y parameters have no S parameters");
      scan_.s1.push_back(s);
    } else {
      const PairOrder& order = pairOrder();
      Matrix2 m;
      for (std::size_t k = 0; k < 4; ++k) m[k] = sAt(order[k]) * scale;
      const Matrix2 s = twoPortS(options_.parameter, m, r1, r2);
      for (const Complex& x : s)
        if (!std::isfinite(x.real()) || !std::isfinite(x.imag()))
          return failAtLine("these Z or Y parameters have no S parameters");
      scan_.s1.push_back(transmission ? s[2] : s[0]);
      scan_.s2.push_back(transmission ? s[1] : s[3]);
    }
  }
  scan_.frequency.push_back(hz);
  return true;
}

TouchstoneReading Reader::finish() {
  if (!reason_.empty()) return {std::nullopt, reason_};
  if (filled_ > 0) {
    lineNumber_ = recordLine_;
    failAtLine(std::to_string(recordLineNumbers_) + " numbers where a " + portsText() + " line has " +
               std::to_string(recordSize()));
    return {std::nullopt, reason_};
  }
  const int n = scan_.points();
  if (n == 0) fail("no data: the file holds no points");
  else if (n < kFewestFilePoints) fail("one point only: a sweep needs two or more");
  else if (version2_ && declaredFrequencies_ >= 0 && declaredFrequencies_ != n)
    fail("[Number of Frequencies] says " + std::to_string(declaredFrequencies_) + ", the file holds " +
         std::to_string(n));
  else if (portImpedanceLine_ != 0 && columns_ != TouchstoneColumns::TwoPortS21S12)
    fail("line " + std::to_string(portImpedanceLine_) + ": S on the port impedances of the comments, not on R");
  if (!reason_.empty()) return {std::nullopt, reason_};
  scan_.reference1 = reference(0);
  scan_.reference2 = reference(ports_ - 1);
  return {std::move(scan_), {}};
}

}  // namespace

// In any case of its letters, as the file list matches it: a two-port file
// named "x.S2p" read as one-port would be refused for its nine numbers.
TouchstoneColumns impedanceViewerColumns(std::string_view fileName) {
  const bool twoPort = fileName.size() >= 3 && (fileName[fileName.size() - 3] | 0x20) == 's' &&
                       fileName[fileName.size() - 2] == '2' && (fileName.back() | 0x20) == 'p';
  return twoPort ? TouchstoneColumns::TwoPortS11S22 : TouchstoneColumns::OnePortS11;
}

TouchstoneReading readTouchstone(std::span<const std::uint8_t> bytes, TouchstoneColumns columns) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a UTF-8 byte order mark
  Reader reader(columns);
  // A line ends at CR LF, LF or CR; the last one may have no end. The next
  // LF and the next CR are each looked for once (memchr), so a file of one
  // kind of line end is not searched again for the other at every line.
  const char* const begin = text.data();
  const std::size_t size = text.size();
  const auto nextOf = [&](char c, std::size_t from) {
    const void* at = std::memchr(begin + from, c, size - from);
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - begin) : size;
  };
  std::size_t lf = nextOf('\n', 0), cr = nextOf('\r', 0);
  for (std::size_t start = 0; start < size;) {
    if (lf < start) lf = nextOf('\n', start);
    if (cr < start) cr = nextOf('\r', start);
    const std::size_t end = std::min(lf, cr);
    if (!reader.line(text.substr(start, end - start))) break;
    start = end + (end == cr && end + 1 == lf ? 2 : 1);
  }
  return reader.finish();
}

}  // namespace vna
