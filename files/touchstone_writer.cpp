#include "files/touchstone_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>
#include <vector>

#include "files/touchstone_text.h"

namespace vna {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCommentStart = "!  kelvane  ";
constexpr std::string_view kTransmissionTitle = "               Title                    ";
constexpr std::string_view kParameterLine = "! parameter S\r\n";
constexpr std::string_view kOptionLine = "# HZ S DB R 50\r\n";

// What stands around the measured pair in a two-port line, per slot; the
// unmeasured pairs are always this literal text, never computed.
struct SlotLayout {
  std::string_view before;  // between the frequency and the dB value
  std::string_view after;   // after the angle, before CR LF
};

constexpr SlotLayout layoutOf(ParameterSlot slot) {
  switch (slot) {
    case ParameterSlot::s11: return {" ", " 0.0 0.0 0.0 0.0 0.0 0.0 "};
    case ParameterSlot::s21: return {" 0.0 0.0 ", " 0.0 0.0 0.0 0.0 "};
    case ParameterSlot::s12: return {" 0.0 0.0 0.0 0.0 ", " 0.0 0.0 "};
    case ParameterSlot::s22: return {" 0.0 0.0 0.0 0.0 0.0 0.0 ", ""};
  }
  return {" ", " 0.0 0.0 0.0 0.0 0.0 0.0 "};
}

// A Touchstone file has no text for infinity or NaN, and readers (our own
// merge included) would refuse the whole file for one such point, e.g. the
// -inf dB of a zero magnitude. An infinity becomes the largest finite number
// of its sign and NaN becomes 0, so the file stays readable.
double finiteOr(double value, double limit) {
  if (std::isnan(value)) return 0.0;
  if (std::isinf(value)) return value > 0 ? limit : -limit;
  return value;
}

// "%.<digits>g" of the C locale. Minus zero is written as 0: it is not a
// negative value and a "-0" would only puzzle whoever reads the file.
std::string generalText(double value, int digits) {
  if (value == 0.0) value = 0.0;
  char buffer[64];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
  std::string text(buffer, r.ptr);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// The characters that make up a number in a data line.
bool isNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == ',' || c == '-' || c == '.' || c == 'E' || c == 'e';
}

// Tabs separate fields as blanks do: files from other tools use them, and
// refusing or mangling such a file would gain nothing.
bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Splits on blanks, upper-cased.
std::vector<std::string> optionTokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::string token;
  for (const char c : text) {
    if (isBlank(c) || isLineEnd(c)) {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
    } else {
      token += upper(c);
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

// The merged values are S parameters in dB and degrees against 50 ohms; put
// into a file whose option line says otherwise (magnitude/angle, real and
// imaginary parts, Z parameters, 75 ohms) they would silently mean something
// else. Touchstone's defaults (GHZ S MA R 50) hold for what the line leaves
// out. The frequencies are kept as the file writes them, in its own unit;
// the unit is given back, in hertz per unit, to compare them with the scan's.
std::optional<double> fittingOptionLine(std::string_view afterHash) {
  struct Unit {
    std::string_view name;
    double hertz;
  };
  static constexpr Unit kUnits[] = {{"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}};
  const std::vector<std::string> tokens = optionTokens(afterHash);
  double hertzPerUnit = 1e9;
  std::string parameter = "S";
  std::string format = "MA";
  double reference = 50.0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits), [&](const Unit& u) { return u.name == t; });
    if (unit != std::end(kUnits)) {
      hertzPerUnit = unit->hertz;
    } else if (t == "S" || t == "Y" || t == "Z" || t == "H" || t == "G") {
      parameter = t;
    } else if (t == "DB" || t == "MA" || t == "RI") {
      format = t;
    } else if (t == "R" && i + 1 < tokens.size()) {
      const std::string& number = tokens[++i];
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), reference);
      if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (parameter != "S" || format != "DB" || reference != 50.0) return std::nullopt;
  return hertzPerUnit;
}

struct Field {
  std::size_t begin;
  std::size_t end;  // one past the last character
};

// Where a line stops holding data: at a comment, at an option line's '#',
// or at its end.
enum class LineStop { end, comment, hash };

// One source line read the way the merge reads data: number fields, where
// the line's data stops, and whether anything but blanks stands between the
// fields (or after the last one, before the line end).
struct ScannedLine {
  std::vector<Field> fields;
  std::size_t dataEnd = 0;
  LineStop stop = LineStop::end;
  bool strayText = false;
};

ScannedLine scanLine(std::string_view line) {
  ScannedLine s;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '!') {
      s.stop = LineStop::comment;
      break;
    }
    if (c == '#') {
      s.stop = LineStop::hash;
      break;
    }
    if (isNumberChar(c)) {
      if (i == 0 || !isNumberChar(line[i - 1])) s.fields.push_back({i, i + 1});
      s.fields.back().end = i + 1;
    } else if (!isBlank(c)) {
      // Only a line end may follow the fields: "CR LF" or a lone LF.
      const bool lineEnd = c == '\n' || (c == '\r' && (i + 1 == line.size() || line[i + 1] == '\n'));
      if (!lineEnd) s.strayText = true;
    }
  }
  s.dataEnd = i;
  return s;
}

// Text after the slot's angle that the new line keeps: what follows the
// blank after the old angle, or, when the angle was the line's last field,
// the line end itself.
std::string_view keptTail(std::string_view line, const Field& oldAngle) {
  std::size_t from = oldAngle.end;
  if (from < line.size() && isBlank(line[from])) ++from;
  return line.substr(from);
}

// One line of the existing file as the merge reads it.
struct SourceLine {
  std::string_view text;  // its line feed included, when it has one
  int number;             // the file's own line number, from 1
  ScannedLine scanned;
  bool data;  // a line of nine numbers: a point
};

// An existing two-port file the merge can fill: its lines, how many of them
// are points, and the unit of its frequencies.
struct TwoPortText {
  std::vector<SourceLine> lines;
  std::size_t points = 0;
  double hertzPerUnit = 1.0;
};

// The whole file read line by line, or nothing when it is not compatible:
// numbers before the option line or after a second '#', an option line that
// is not S parameters in dB against 50 ohms, a data line of other than nine
// numbers, no data line at all, or a lone CR.
std::optional<TwoPortText> readTwoPortText(std::string_view existing) {
  // The viewers end a line at a lone CR as well; the merge keeps lines by
  // their LF, so in such a file it would fill other lines than the viewers
  // read.
  for (std::size_t i = 0; i + 1 < existing.size(); ++i)
    if (existing[i] == '\r' && existing[i + 1] != '\n') return std::nullopt;
  TwoPortText file;
  int hashes = 0;  // '#' seen outside comments; data may follow exactly one
  std::string_view unread = existing;
  for (int number = 1; !unread.empty(); ++number) {
    // A last line without a line feed is still a line: dropping it would
    // lose a point the file holds.
    const std::string_view line = touchstone_text::takeLine(unread);

    SourceLine source{line, number, scanLine(line), false};
    const ScannedLine& scanned = source.scanned;
    if (!scanned.fields.empty() && hashes != 1) return std::nullopt;
    if (scanned.stop == LineStop::hash) {
      if (!scanned.fields.empty()) return std::nullopt;
      std::string_view rest = line.substr(scanned.dataEnd + 1);
      rest = rest.substr(0, rest.find('!'));
      if (++hashes == 1) {
        const std::optional<double> unit = fittingOptionLine(rest);
        if (!unit) return std::nullopt;
        file.hertzPerUnit = *unit;
      } else if (std::any_of(rest.begin(), rest.end(), isNumberChar)) {
        return std::nullopt;  // a second option line
      }
    } else if (!scanned.fields.empty()) {
      if (scanned.fields.size() != static_cast<std::size_t>(kTwoPortFieldCount) || scanned.strayText)
        return std::nullopt;
      source.data = true;
      ++file.points;
    }
    file.lines.push_back(source);
  }
  // A file without our option line or without a single data line has
  // nowhere to put the values: merging would report success and save nothing.
  if (hashes == 0 || file.points == 0) return std::nullopt;
  return file;
}

// Two frequencies are one point when they agree to within 1e-12 of their
// size. Both analyzers and vna-measure compute a plan's points with one
// function, so a file of the same plan repeats the scan's digits; but ends
// derived from a center and span, or a file written by a build whose pow()
// rounds its last bit otherwise, can move the 16th printed digit by a few
// units: a few parts in 1e16. Two different plans differ by at least the
// 0.01 Hz a frequency is shown and entered to (1e-10 of 100 MHz; the
// instrument's tuning step is 0.035 Hz) in their first or last point, or by
// far more in their count or spacing. 1e-12 lies far from both.
constexpr double kSamePointTolerance = 1e-12;

bool samePoint(double fileHz, double scanHz) {
  return std::fabs(fileHz - scanHz) <= kSamePointTolerance * std::max(std::fabs(fileHz), std::fabs(scanHz));
}

std::string pointCountText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " point" : " points");
}

// How the file's points differ from the scan's, as the line under the
// refusal says it; empty when they are the same plan. A frequency is
// compared as the writer prints it, with 16 digits, since that is all a
// file of the same plan can hold of it.
std::string planDifferenceOf(const TwoPortText& file, std::span<const double> scanHz) {
  if (file.points != scanHz.size())
    return pointCountText(file.points) + " in the file, " + std::to_string(scanHz.size()) + " in the scan";
  std::size_t k = 0;
  for (const SourceLine& line : file.lines) {
    if (!line.data) continue;
    const Field& field = line.scanned.fields[0];
    const std::string_view fileText = line.text.substr(field.begin, field.end - field.begin);
    const std::optional<double> fileValue = touchstone_text::numberOf(fileText);
    const std::string scanText = frequencyText(scanHz[k]);
    const double printedScanHz = touchstone_text::numberOf(scanText).value_or(scanHz[k]);
    ++k;
    const double fileHz = fileValue ? *fileValue * file.hertzPerUnit : 0.0;
    if (fileValue && samePoint(fileHz, printedScanHz)) continue;
    const std::string shownFile = fileValue ? frequencyText(fileHz) + " Hz" : touchstone_text::quoted(fileText);
    return "line " + std::to_string(line.number) + ": " + shownFile + " in the file, " + scanText + " Hz in the scan";
  }
  return {};
}

MergeResult notCompatible(std::string detail = {}) {
  return {std::nullopt, std::string(kNotCompatible), std::move(detail)};
}

}  // namespace

std::string frequencyText(double hz) {
  return generalText(finiteOr(hz, std::numeric_limits<double>::max()), 16);
}

std::string valueText(double value) {
  const float single = static_cast<float>(value);
  return generalText(finiteOr(single, std::numeric_limits<float>::max()), 7);
}

std::string touchstoneHeader(FileOrigin origin) {
  std::string header(kCommentStart);
  if (origin == FileOrigin::transmissionAnalyzer) header += kTransmissionTitle;
  header += kLineEnd;
  header += kParameterLine;
  header += kOptionLine;
  return header;
}

std::string s1pLine(const TouchstonePoint& point) {
  return frequencyText(point.frequencyHz) + " " + valueText(point.db) + " " + valueText(point.angleDeg) +
         std::string(kLineEnd);
}

std::string s2pLine(ParameterSlot slot, const TouchstonePoint& point) {
  const SlotLayout layout = layoutOf(slot);
  std::string line = frequencyText(point.frequencyHz);
  line += layout.before;
  line += valueText(point.db);
  line += ' ';
  line += valueText(point.angleDeg);
  line += layout.after;
  line += kLineEnd;
  return line;
}

std::string commentLine(std::string_view note) {
  return "! " + std::string(note) + std::string(kLineEnd);
}

namespace {

// The header with the notes after its comment lines, before the option
// line: readers such as scikit-rf keep the comments above the option line
// as the file's comments.
std::string notedHeader(FileOrigin origin, std::span<const std::string> notes) {
  std::string header = touchstoneHeader(origin);
  std::string lines;
  for (const std::string& note : notes) lines += commentLine(note);
  header.insert(header.size() - kOptionLine.size(), lines);
  return header;
}

}  // namespace

std::string s1pContent(std::span<const TouchstonePoint> points, std::span<const std::string> notes) {
  std::string content = notedHeader(FileOrigin::impedanceAnalyzer, notes);
  for (const TouchstonePoint& point : points) content += s1pLine(point);
  return content;
}

std::string s2pContent(FileOrigin origin, ParameterSlot slot, std::span<const TouchstonePoint> points,
                       std::span<const std::string> notes) {
  std::string content = notedHeader(origin, notes);
  for (const TouchstonePoint& point : points) content += s2pLine(slot, point);
  return content;
}

std::array<bool, 4> slotsHoldingValues(std::string_view text) {
  constexpr std::string_view kPlaceholder = "0.0";
  std::array<bool, 4> holds{};
  bool afterOptionLine = false;
  for (std::string_view unread = text; !unread.empty();) {
    const std::string_view line = touchstone_text::takeLine(unread);
    const ScannedLine scanned = scanLine(line);
    if (scanned.stop == LineStop::hash) afterOptionLine = true;
    if (!afterOptionLine || scanned.fields.size() != static_cast<std::size_t>(kTwoPortFieldCount)) continue;
    for (const ParameterSlot slot : {ParameterSlot::s11, ParameterSlot::s21, ParameterSlot::s12, ParameterSlot::s22}) {
      const auto field = static_cast<std::size_t>(dbFieldOf(slot));
      const auto textOf = [&](const Field& f) { return line.substr(f.begin, f.end - f.begin); };
      if (textOf(scanned.fields[field]) != kPlaceholder || textOf(scanned.fields[field + 1]) != kPlaceholder)
        holds[static_cast<std::size_t>(slot)] = true;
    }
  }
  return holds;
}

MergeCheck checkMerge(std::string_view existing, std::span<const double> scanHz) {
  const std::optional<TwoPortText> file = readTwoPortText(existing);
  if (!file) return {MergeFit::notCompatible, {}};
  std::string difference = planDifferenceOf(*file, scanHz);
  if (!difference.empty()) return {MergeFit::otherPlan, std::move(difference)};
  return {MergeFit::fits, {}};
}

// Comments, blank lines and the option line are copied as they stand; in
// data line k the slot's two fields are replaced by point k's values. The
// file must be of the scan's plan: point for point the same frequencies.
MergeResult mergeS2p(std::string_view existing, ParameterSlot slot, std::span<const TouchstonePoint> points) {
  // A file keeps no point a scan does not have: nothing would empty it.
  if (points.empty()) return {std::nullopt, "no points to save", {}};
  const std::optional<TwoPortText> file = readTwoPortText(existing);
  if (!file) return notCompatible();
  std::vector<double> scanHz;
  scanHz.reserve(points.size());
  for (const TouchstonePoint& point : points) scanHz.push_back(point.frequencyHz);
  if (std::string difference = planDifferenceOf(*file, scanHz); !difference.empty())
    return notCompatible(std::move(difference));

  const std::size_t p = static_cast<std::size_t>(dbFieldOf(slot));
  std::string out;
  out.reserve(existing.size() + 64);
  std::size_t k = 0;  // the next point to merge
  for (const SourceLine& line : file->lines) {
    if (!line.data) {
      out += line.text;
      continue;
    }
    const TouchstonePoint& point = points[k++];
    out += line.text.substr(0, line.scanned.fields[p - 1].end + 1);
    out += valueText(point.db);
    out += ' ';
    out += valueText(point.angleDeg);
    out += ' ';
    out += keptTail(line.text, line.scanned.fields[p + 1]);
  }
  return {std::move(out), {}, {}};
}

SaveResult saveS1p(const std::filesystem::path& file, std::span<const TouchstonePoint> points,
                   std::span<const std::string> notes) {
  return saveAtomically(file, s1pContent(points, notes));
}

SaveResult saveS2p(const std::filesystem::path& file, FileOrigin origin, ParameterSlot slot,
                   std::span<const TouchstonePoint> points, std::span<const std::string> notes) {
  return saveAtomically(file, s2pContent(origin, slot, points, notes));
}

SaveResult mergeS2pFile(const std::filesystem::path& file, ParameterSlot slot,
                        std::span<const TouchstonePoint> points) {
  const ReadResult existing = readWholeFile(file);
  if (!existing.bytes) return SaveResult::failure(existing.reason);
  MergeResult merged = mergeS2p(*existing.bytes, slot, points);
  if (!merged.ok()) return SaveResult::failure(merged.reason, merged.detail);
  return saveAtomicallyThrough(file, kMergeTempName, *merged.content);
}

}  // namespace vna
