#include "analyzer/calibration_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <system_error>
#include <tuple>

namespace vna {
namespace {

constexpr std::string_view kTitle = "# vna-measure calibration";

// The standards in the order they are written.
struct StandardEntry {
  std::string_view name;
  std::optional<std::vector<std::complex<double>>> Calibration::*data;
  std::optional<StandardSpread> Calibration::*spread;
};
constexpr std::array<StandardEntry, 4> kStandards{{
    {"open", &Calibration::open, &Calibration::openSpread},
    {"short", &Calibration::shortCircuit, &Calibration::shortSpread},
    {"load", &Calibration::load, &Calibration::loadSpread},
    {"through", &Calibration::through, &Calibration::throughSpread},
}};

// The most sweeps vna-measure averages; a file claiming more is not ours.
constexpr int kMostAveraged = 1000;

// 17 significant digits, as "%.17g" would give them but whatever the locale.
void appendDouble(std::string& out, double v) {
  std::array<char, 32> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::general, 17);
  out.append(buffer.data(), ec == std::errc{} ? end : buffer.data());
}

// Frequencies in messages: the shortest decimal that reads back, without an exponent.
std::string hertz(double hz) {
  std::array<char, 64> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), hz, std::chars_format::fixed);
  return ec == std::errc{} ? std::string(buffer.data(), end) : std::string("?");
}

// A field of the file as a reason shows it: in quotes, at most 24
// characters, anything unprintable as '?', so the reason stays one short line.
std::string quoted(std::string_view field) {
  constexpr std::size_t kLongest = 24;
  std::string text = "\"";
  for (char ch : field.substr(0, kLongest)) text += ch >= ' ' && ch <= '~' ? ch : '?';
  return text + (field.size() > kLongest ? "...\"" : "\"");
}

// The lines of the text; after the title, blank lines and comments are passed over.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  // The next line as it stands; false at the end of the text.
  bool raw(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', at_);
    line = text_.substr(at_, end == std::string_view::npos ? std::string_view::npos : end - at_);
    at_ = end == std::string_view::npos ? text_.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }

  bool next(std::string_view& line) {
    while (raw(line)) {
      const std::size_t first = line.find_first_not_of(" \t");
      if (first != std::string_view::npos && line[first] != '#') return true;
    }
    return false;
  }

  // The line last returned; at the end, the last line of the text.
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  int number_ = 0;
};

// The fields of one line; a line of more fields than any line of the file
// has is marked as such rather than stored.
struct Fields {
  static constexpr std::size_t kMost = 10;
  std::array<std::string_view, kMost> field{};
  std::size_t count = 0;
  bool tooMany = false;

  explicit Fields(std::string_view line) {
    std::size_t at = 0;
    while (true) {
      at = line.find_first_not_of(" \t", at);
      if (at == std::string_view::npos) return;
      const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
      if (count == kMost) {
        tooMany = true;
        return;
      }
      field[count++] = line.substr(at, end - at);
      at = end;
    }
  }

  std::string_view operator[](std::size_t i) const { return field[i]; }

  // Whether the line has exactly the pattern's fields; an empty pattern
  // field stands for any value.
  bool matches(std::initializer_list<std::string_view> pattern) const {
    if (tooMany || count != pattern.size()) return false;
    std::size_t i = 0;
    for (std::string_view p : pattern) {
      if (!p.empty() && field[i] != p) return false;
      ++i;
    }
    return true;
  }
};

std::optional<double> finiteNumber(std::string_view text) {
  double v = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc{} || stop != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> wholeNumber(std::string_view text) {
  int v = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc{} || stop != end) return std::nullopt;
  return v;
}

// Reads the file from the top; the first rule broken ends the reading with
// "line N: " and the reason.
class Reader {
 public:
  explicit Reader(std::string_view text) : lines_(text) {}

  CalibrationReading read() {
    std::string_view line;
    if (!lines_.raw(line) || line != kTitle)
      return refuse("not a vna-measure calibration file (the first line is not \"" + std::string(kTitle) + "\")");
    if (!plan() || !clock() || !adjustment() || !load()) return failure();
    while (lines_.next(line)) {
      if (!standard(Fields(line))) return failure();
    }
    return {std::move(c_), {}};
  }

 private:
  CalibrationReading refuse(std::string reason) {
    // An empty text is refused at its first line, which is not there.
    reason_ = "line " + std::to_string(std::max(lines_.number(), 1)) + ": " + reason;
    return failure();
  }
  CalibrationReading failure() const { return {std::nullopt, reason_}; }
  bool fail(std::string reason) {
    refuse(std::move(reason));
    return false;
  }

  // The next line that matters, as fields; false with the reason at the end of the text.
  bool expect(std::string_view what, std::optional<Fields>& fields) {
    std::string_view line;
    if (!lines_.next(line)) return fail("the file ends before the " + std::string(what) + " line");
    fields.emplace(line);
    return true;
  }

  bool number(std::string_view name, std::string_view text, double& target) {
    const auto v = finiteNumber(text);
    if (!v) return fail(std::string(name) + " " + quoted(text) + " is not a finite number");
    target = *v;
    return true;
  }

  bool plan() {
    std::optional<Fields> f;
    if (!expect("plan", f)) return false;
    if (!f->matches({"plan", "from", "", "to", "", "points", "", "", "sample-code", ""}) ||
        ((*f)[7] != "log" && (*f)[7] != "linear"))
      return fail("expected \"plan from HZ to HZ points N log|linear sample-code N\"");
    SweepPlan& p = c_.plan;
    for (const auto& [name, index, target] :
         {std::tuple{"from", std::size_t{2}, &p.freqMin}, std::tuple{"to", std::size_t{4}, &p.freqMax}}) {
      const auto v = finiteNumber((*f)[index]);
      if (!v || !acceptTypedFrequency(*v))
        return fail(std::string(name) + " " + quoted((*f)[index]) +
                    " is not a frequency above 9 Hz and below 99999999.98 Hz");
      *target = *v;
    }
    if (!(p.freqMin < p.freqMax))
      return fail("from " + hertz(p.freqMin) + " Hz is not below to " + hertz(p.freqMax) + " Hz");
    const auto points = wholeNumber((*f)[6]);
    if (!points || !isScanLength(*points))
      return fail("points " + quoted((*f)[6]) + ": the instrument scans 51, 101, 201, 401 or 801 points");
    const auto code = wholeNumber((*f)[9]);
    if (!code || sampleCodeIndex(*code) < 0)
      return fail("sample-code " + quoted((*f)[9]) +
                  ": the instrument's codes are 6, 13, 27, 55, 111, 223, 447 and 895");
    p.points = *points;
    p.sampleCode = *code;
    p.logSweep = (*f)[7] == "log";
    p.centerSpanEntry = false;
    p.evenSpacing = true;
    deriveRange(p);
    rescaleMarkers(p);
    return true;
  }

  bool clock() {
    std::optional<Fields> f;
    if (!expect("clock", f)) return false;
    if (!f->matches({"clock", ""})) return fail("expected \"clock HZ\"");
    const auto hz = wholeNumber((*f)[1]);
    // The tuning words divide by the clock.
    if (!hz || *hz <= 0) return fail("clock " + quoted((*f)[1]) + " is not a whole number of Hz above 0");
    c_.clockHz = *hz;
    return true;
  }

  bool adjustment() {
    std::optional<Fields> f;
    if (!expect("ar-gain", f)) return false;
    if (!f->matches({"ar-gain", "", "ar-phase", ""})) return fail("expected \"ar-gain G ar-phase DEGREES\"");
    return number("ar-gain", (*f)[1], c_.arGain) && number("ar-phase", (*f)[3], c_.arPhase);
  }

  bool load() {
    std::optional<Fields> f;
    if (!expect("load", f)) return false;
    if (!f->matches({"load", "", "", ""})) return fail("expected \"load R L C\"");
    return number("R", (*f)[1], c_.refR) && number("L", (*f)[2], c_.refL) && number("C", (*f)[3], c_.refC);
  }

  // "standard NAME" or "standard NAME averaged N", and its points.
  bool standard(const Fields& head) {
    const bool averaged = head.matches({"standard", "", "averaged", ""});
    if (!averaged && !head.matches({"standard", ""}))
      return fail("expected \"standard open|short|load|through\" or \"standard NAME averaged N\"");
    const StandardEntry* entry = nullptr;
    for (const StandardEntry& s : kStandards)
      if (s.name == head[1]) entry = &s;
    if (!entry)
      return fail("unknown standard " + quoted(head[1]) + "; the standards are open, short, load and through");
    auto& data = c_.*(entry->data);
    if (data) return fail("the " + std::string(entry->name) + " standard is given twice");
    std::optional<StandardSpread> spread;
    if (averaged) {
      const auto sweeps = wholeNumber(head[3]);
      if (!sweeps || *sweeps < 2 || *sweeps > kMostAveraged)
        return fail("averaged " + quoted(head[3]) + ": a standard is averaged over 2 to 1000 sweeps");
      spread.emplace();
      spread->sweeps = *sweeps;
    }
    const int n = c_.plan.points;
    std::vector<std::complex<double>> values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      const std::string ofStandard = " of the " + std::string(entry->name) + " standard";
      std::string_view line;
      const auto shortBy = [&] {
        return "the " + std::string(entry->name) + " standard ends after " + std::to_string(i) + " of " +
               std::to_string(n) + " points";
      };
      if (!lines_.next(line)) return fail(shortBy());
      const Fields f(line);
      if (f.count > 0 && f[0] == "standard") return fail(shortBy());
      if (!averaged && !f.matches({"", "", ""}))
        return fail("expected \"index re im\" for point " + std::to_string(i) + ofStandard);
      if (averaged && !f.matches({"", "", "", "", ""}))
        return fail("expected \"index re im u-re u-im\" for point " + std::to_string(i) + ofStandard);
      const auto index = wholeNumber(f[0]);
      if (!index || *index != i)
        return fail("point " + quoted(f[0]) + " where point " + std::to_string(i) + ofStandard + " belongs");
      double re = 0, im = 0;
      if (!number("re", f[1], re) || !number("im", f[2], im)) return false;
      values.emplace_back(re, im);
      if (averaged) {
        double uRe = 0, uIm = 0;
        if (!uncertainty("u-re", f[3], uRe) || !uncertainty("u-im", f[4], uIm)) return false;
        spread->uRe.push_back(uRe);
        spread->uIm.push_back(uIm);
      }
    }
    data = std::move(values);
    c_.*(entry->spread) = std::move(spread);
    return true;
  }

  bool uncertainty(std::string_view name, std::string_view text, double& target) {
    if (!number(name, text, target)) return false;
    if (target < 0) return fail(std::string(name) + " " + quoted(text) + ": an uncertainty is not negative");
    return true;
  }

  Lines lines_;
  Calibration c_;
  std::string reason_;
};

std::string describe(const SweepPlan& p, bool withTime) {
  std::string text = std::to_string(p.points) + (p.logSweep ? " log" : " linear") + " points from " + hertz(p.freqMin) +
                     " Hz to " + hertz(p.freqMax) + " Hz";
  if (withTime) text += " at " + std::to_string(msPerMeasurement(p.sampleCode)) + " ms per point";
  return text;
}

}  // namespace

std::string calibrationText(const Calibration& c) {
  const SweepPlan& p = c.plan;
  std::string out(kTitle);
  out += "\nplan from ";
  appendDouble(out, p.freqMin);
  out += " to ";
  appendDouble(out, p.freqMax);
  out += " points " + std::to_string(p.points) + (p.logSweep ? " log" : " linear") + " sample-code " +
         std::to_string(p.sampleCode) + "\nclock " + std::to_string(c.clockHz) + "\nar-gain ";
  appendDouble(out, c.arGain);
  out += " ar-phase ";
  appendDouble(out, c.arPhase);
  out += "\nload ";
  for (double v : {c.refR, c.refL, c.refC}) {
    appendDouble(out, v);
    out += ' ';
  }
  out.back() = '\n';
  for (const StandardEntry& s : kStandards) {
    const auto& data = c.*(s.data);
    if (!data) continue;
    const auto& spread = c.*(s.spread);
    out += "standard " + std::string(s.name);
    if (spread) out += " averaged " + std::to_string(spread->sweeps);
    out += '\n';
    for (std::size_t i = 0; i < data->size(); ++i) {
      out += std::to_string(i);
      for (double v : {(*data)[i].real(), (*data)[i].imag()}) {
        out += ' ';
        appendDouble(out, v);
      }
      // A spread shorter than its standard is written short; the reading back refuses it.
      if (spread && i < spread->uRe.size() && i < spread->uIm.size()) {
        for (double u : {spread->uRe[i], spread->uIm[i]}) {
          out += ' ';
          appendDouble(out, u);
        }
      }
      out += '\n';
    }
  }
  return out;
}

UncertainComplex standardPoint(const std::vector<std::complex<double>>& values,
                               const std::optional<StandardSpread>& spread, std::size_t i) {
  if (!spread) return {values[i]};
  return {values[i], spread->uRe[i], spread->uIm[i]};
}

CalibrationReading readCalibration(std::string_view text) {
  return Reader(text).read();
}

std::string planDifference(const SweepPlan& stored, const SweepPlan& wanted) {
  const bool sameFrequencies = stored.freqMin == wanted.freqMin && stored.freqMax == wanted.freqMax &&
                               stored.points == wanted.points && stored.logSweep == wanted.logSweep;
  const bool sameTime = stored.sampleCode == wanted.sampleCode;
  if (sameFrequencies && sameTime) return {};
  return "the calibration was measured over " + describe(stored, !sameTime) + "; this sweep is " +
         describe(wanted, !sameTime);
}

std::string planText(const SweepPlan& plan) {
  return describe(plan, true);
}

SaveResult saveCalibration(const std::filesystem::path& file, const Calibration& calibration) {
  for (const StandardEntry& s : kStandards) {
    const auto& data = calibration.*(s.data);
    if (data && data->size() != static_cast<std::size_t>(calibration.plan.points))
      return SaveResult::failure("the " + std::string(s.name) + " standard has " + std::to_string(data->size()) +
                                 " values for " + std::to_string(calibration.plan.points) + " points");
  }
  for (const StandardEntry& s : kStandards) {
    const auto& spread = calibration.*(s.spread);
    const auto points = static_cast<std::size_t>(calibration.plan.points);
    if (spread && calibration.*(s.data) && (spread->uRe.size() != points || spread->uIm.size() != points))
      return SaveResult::failure("the " + std::string(s.name) + " standard's spread has " +
                                 std::to_string(spread->uRe.size()) + " values for " + std::to_string(points) +
                                 " points");
  }
  const std::string text = calibrationText(calibration);
  const CalibrationReading check = readCalibration(text);
  if (!check.calibration) return SaveResult::failure("the calibration is not fit to be saved: " + check.reason);
  return saveAtomically(file, text);
}

}  // namespace vna
