#include "files/touchstone_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

#include "files/parameter_slot.h"

namespace vna {
namespace {

// Where a field's value goes in a point; fields not listed are skipped.
enum Stored { kFrequency, kDb1, kAngle1, kDb2, kAngle2, kStoredCount, kSkipped = -1 };

// The fields a data line of one file kind must hold, and what each one is.
struct ColumnLayout {
  int fields;
  std::array<int, kTwoPortFieldCount> storedAs;
};

constexpr ColumnLayout layoutOf(TouchstoneColumns columns) {
  constexpr int x = kSkipped;
  switch (columns) {
    case TouchstoneColumns::OnePortS11: return {3, {kFrequency, kDb1, kAngle1, x, x, x, x, x, x}};
    case TouchstoneColumns::TwoPortS11S22: return {9, {kFrequency, kDb1, kAngle1, x, x, x, x, kDb2, kAngle2}};
    case TouchstoneColumns::TwoPortS21S12: return {9, {kFrequency, x, x, kDb1, kAngle1, kDb2, kAngle2, x, x}};
  }
  return {3, {kFrequency, kDb1, kAngle1, x, x, x, x, x, x}};
}

bool isNumberChar(std::uint8_t c) {
  return (c >= '0' && c <= '9') || c == '+' || c == ',' || c == '-' || c == '.' || c == 'E' || c == 'e';
}

// Tabs separate fields as blanks do, as in the merge of the writer: without
// that, "1000<TAB>-3" would run together into the one field "1000-3".
bool isBlank(std::uint8_t c) {
  return c == ' ' || c == '\t';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decimal order of magnitude of a number's text (digits, point, exponent):
// above 0 for a value of at least 1. Only asked for values out of the double
// range, where it tells an overflow from an underflow. Saturates, so a text
// of any length is safe.
std::int64_t decimalOrder(std::string_view text) {
  constexpr std::int64_t kCap = 1'000'000'000;
  std::size_t i = 0;
  std::int64_t wholeDigits = 0, zerosAfterPoint = 0;
  bool nonZero = false;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    if (!nonZero && text[i] == '0') continue;  // leading zeros
    nonZero = true;
    wholeDigits = std::min(wholeDigits + 1, kCap);
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && isDigit(text[i]); ++i) {
      if (nonZero) continue;
      nonZero = text[i] != '0';
      if (!nonZero) zerosAfterPoint = std::min(zerosAfterPoint + 1, kCap);
    }
  }
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    for (; i < text.size() && isDigit(text[i]); ++i) exponent = std::min(exponent * 10 + (text[i] - '0'), kCap);
    if (negative) exponent = -exponent;
  }
  return (wholeDigits > 0 ? wholeDigits : -zerosAfterPoint) + exponent;
}

// A field's value: the longest start of the text that reads as a decimal
// number with optional sign, point and exponent, 0 when there is none (as
// "-", "." or "E5"). Independent of the locale; beyond the double range it
// gives an infinity of the sign, or 0.
double fieldValue(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would take a second sign ("+-5") as the number's own.
  if (text.empty() || text.front() == '+' || text.front() == '-') return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    const std::string_view matched(text.data(), static_cast<std::size_t>(end - text.data()));
    value = decimalOrder(matched) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

// Converting a double beyond the float range to float is undefined, so a
// huge value becomes the infinity of its sign on purpose.
float singleOf(double value) {
  constexpr double kMost = std::numeric_limits<float>::max();
  if (value > kMost) return std::numeric_limits<float>::infinity();
  if (value < -kMost) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// The byte-by-byte reading: where the reader stands, the fields of the
// current line, and the points completed so far.
class Reader {
 public:
  explicit Reader(TouchstoneColumns columns)
      : layout_(layoutOf(columns)), twoPort_(layout_.fields == kTwoPortFieldCount) {}

  // False as soon as the file is found not compatible.
  bool take(std::uint8_t c) {
    if (inComment_) {
      if (c != '\n') return true;
      inComment_ = false;
      return endLine();  // a comment after data ends that data line too
    }
    if (optionLines_ == 1) {  // the first option line, not interpreted
      if (c == '\n') optionLines_ = 2;
      return true;
    }
    if (c == '!') {
      closeField();
      inComment_ = true;
      return true;
    }
    if (c == '#') {
      closeField();
      optionLines_ = std::min(optionLines_ + 1, 3);
      return true;
    }
    if (isNumberChar(c)) return takeNumberChar(static_cast<char>(c));
    if (isBlank(c)) {
      closeField();
      return true;
    }
    if (c == '\n') {
      closeField();
      return endLine();
    }
    return true;  // a carriage return or any other byte
  }

  // The last line counts even without its line feed.
  std::optional<TouchstoneScan> finish() {
    if (!inComment_ && optionLines_ != 1) {
      closeField();
      if (!endLine()) return std::nullopt;
    }
    if (scan_.points() < kFewestFilePoints) return std::nullopt;
    return std::move(scan_);
  }

 private:
  bool takeNumberChar(char c) {
    if (optionLines_ != 2) return false;  // before the first option line or after a second "#"
    if (!inField_) {
      // A line longer than its columns is refused at once: its line end
      // would refuse it anyway.
      if (field_ == layout_.fields) return false;
      inField_ = true;
      ++field_;
    }
    if (storedAs(field_ - 1) != kSkipped) text_ += c;
    return true;
  }

  int storedAs(int field) const { return layout_.storedAs[static_cast<std::size_t>(field)]; }

  void closeField() {
    if (!inField_) return;
    inField_ = false;
    const int slot = storedAs(field_ - 1);
    if (slot == kSkipped) return;
    values_[static_cast<std::size_t>(slot)] = fieldValue(text_);
    text_.clear();
  }

  // A line of no fields (blank, comment, option line) is not a point; a
  // line of other fields than the layout's would be read wrong.
  bool endLine() {
    const int fields = field_;
    field_ = 0;
    if (fields == 0) return true;
    if (fields != layout_.fields || scan_.points() == kMostFilePoints) return false;
    scan_.frequency.push_back(values_[kFrequency]);
    scan_.db1.push_back(singleOf(values_[kDb1]));
    scan_.angle1.push_back(singleOf(values_[kAngle1]));
    if (twoPort_) {
      scan_.db2.push_back(singleOf(values_[kDb2]));
      scan_.angle2.push_back(singleOf(values_[kAngle2]));
    }
    return true;
  }

  ColumnLayout layout_;
  bool twoPort_;
  bool inComment_ = false;
  int optionLines_ = 0;  // 0 before, 1 inside the first, 2 after it, 3 after a second "#"
  int field_ = 0;        // fields started in the current line
  bool inField_ = false;
  std::string text_;  // the stored field being read
  std::array<double, kStoredCount> values_{};
  TouchstoneScan scan_;
};

// The display spaces its frequencies between the first and the last point,
// on a log axis too: they must be finite and positive, the last above the first.
bool frequenciesUsable(const std::vector<double>& frequency) {
  const bool eachUsable =
      std::all_of(frequency.begin(), frequency.end(), [](double f) { return std::isfinite(f) && f > 0; });
  return eachUsable && frequency.front() < frequency.back();
}

// Point 200 tells a log sweep from a linear one well when it lies inside the
// scan; in a scan of 201 points or fewer it is the last point (where both
// predictions give the last frequency) or missing, and the middle point
// serves instead.
int spacingTestIndex(int points) {
  return points - 1 > 200 ? 200 : points / 2;
}

bool spacedLogarithmically(const TouchstoneScan& scan, const SweepPlan& plan) {
  const int t = spacingTestIndex(scan.points());
  SweepPlan linear = plan, logarithmic = plan;
  linear.logSweep = false;
  logarithmic.logSweep = true;
  const double read = scan.frequency[static_cast<std::size_t>(t)];
  return !(std::fabs(pointFrequency(linear, t) - read) < std::fabs(pointFrequency(logarithmic, t) - read));
}

}  // namespace

// In any case of its letters, as the file list matches it: a two-port file
// named "x.S2p" read as one-port would be refused for its nine fields.
TouchstoneColumns impedanceViewerColumns(std::string_view fileName) {
  const bool twoPort = fileName.size() >= 3 && (fileName[fileName.size() - 3] | 0x20) == 's' &&
                       fileName[fileName.size() - 2] == '2' && (fileName.back() | 0x20) == 'p';
  return twoPort ? TouchstoneColumns::TwoPortS11S22 : TouchstoneColumns::OnePortS11;
}

std::optional<TouchstoneScan> readTouchstone(std::span<const std::uint8_t> bytes, TouchstoneColumns columns) {
  Reader reader(columns);
  for (const std::uint8_t c : bytes) {
    if (!reader.take(c)) return std::nullopt;
  }
  std::optional<TouchstoneScan> scan = reader.finish();
  if (!scan || !frequenciesUsable(scan->frequency)) return std::nullopt;
  return scan;
}

void planForScan(const TouchstoneScan& scan, SweepPlan& plan, std::span<double> frequency) {
  const int n = scan.points();
  if (n < 2 || n > kMostFilePoints) return;
  plan.points = static_cast<std::int16_t>(n);
  plan.freqMin = scan.frequency.front();
  plan.freqMax = scan.frequency.back();
  plan.centerSpanEntry = false;  // the range came as its two ends
  deriveRange(plan);
  plan.logSweep = spacedLogarithmically(scan, plan);
  rescaleMarkers(plan);
  const std::size_t shown = std::min(static_cast<std::size_t>(n), frequency.size());
  for (std::size_t i = 0; i < shown; ++i) frequency[i] = pointFrequency(plan, static_cast<int>(i));
}

}  // namespace vna
