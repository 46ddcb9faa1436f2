#include "analyzer/measure_notes.h"

#include <array>

#include "files/touchstone_text.h"
#include "files/touchstone_writer.h"
#include "platform/program_version.h"

namespace vna {
namespace {

constexpr std::string_view kSlotsTag = "slots measured:";
constexpr std::array<std::string_view, 4> kSlotNames{"s11", "s21", "s12", "s22"};

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string_view>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
    text += words[i];
  }
  return text;
}

std::string calibrationNote(const MeasureOptions& o, const std::optional<Calibration>& cal) {
  if (!o.calFile || !cal) {
    std::string text = "calibration: none; the values are uncorrected, the instrument's own errors are in them";
    if (o.command == MeasureCommand::Transmission && o.lengthMetres != 0)
      text += "; turned by an electrical length of " + hertzText(o.lengthMetres) + " m";
    return text;
  }
  // Each standard named with the sweeps it was averaged over, when more than one.
  std::vector<std::string> held;
  const auto hold = [&held](std::string_view name, const auto& values, const std::optional<StandardSpread>& spread) {
    if (!values) return;
    held.push_back(std::string(name) +
                   (spread ? " (averaged over " + std::to_string(spread->sweeps) + " sweeps)" : ""));
  };
  hold("open", cal->open, cal->openSpread);
  hold("short", cal->shortCircuit, cal->shortSpread);
  hold("load", cal->load, cal->loadSpread);
  hold("through", cal->through, cal->throughSpread);
  std::string text = "calibration: " + o.calFile->string() + ", holding " +
                     listed(std::vector<std::string_view>(held.begin(), held.end()));
  if (o.command == MeasureCommand::Reflection)
    text += "; reference load " + hertzText(cal->refR) + " ohm, " + hertzText(cal->refL) + " H, " +
            hertzText(cal->refC) + " F";
  return text;
}

// Where the text's first option line starts; npos when it has none.
std::size_t optionLineStart(std::string_view text) {
  for (std::string_view unread = text; !unread.empty();) {
    const std::size_t at = text.size() - unread.size();
    const std::string_view line = touchstone_text::takeLine(unread);
    if (touchstone_text::trimmed(line).starts_with('#')) return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::string isoLocalTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[40];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) return "?";
  // strftime's offset is "+0200"; the extended form of the rest wants "+02:00".
  std::string iso(text);
  if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
  return iso;
}

std::vector<std::string> measurementNotes(std::string_view when, const MeasureOptions& o,
                                          const std::optional<Calibration>& cal) {
  std::vector<std::string> notes{
      "measured " + std::string(when) + " by vna-measure " + std::string(softwareVersion()),
      "plan: " + planText(o.plan),
      calibrationNote(o, cal),
  };
  if (o.average > 1) notes.push_back("averaging: " + std::to_string(o.average) + " sweeps per point, their mean");
  return notes;
}

std::string slotsNote(const std::array<bool, 4>& measured) {
  std::vector<std::string_view> with, without;
  for (std::size_t i = 0; i < kSlotNames.size(); ++i) (measured[i] ? with : without).push_back(kSlotNames[i]);
  std::string text = std::string(kSlotsTag) + " " + (with.empty() ? std::string("none") : listed(with));
  if (!without.empty())
    text +=
        "; " + listed(without) + (without.size() == 1 ? " holds" : " hold") + " 0.0 0.0 as placeholders, not values";
  return text;
}

std::vector<std::string> slotNotes(ParameterSlot slot, std::span<const std::string> notes) {
  std::vector<std::string> led;
  for (const std::string& note : notes) led.push_back(std::string(kSlotNames[static_cast<std::size_t>(slot)]) + " " + note);
  return led;
}

std::string notedMerge(std::string_view merged, ParameterSlot slot, std::span<const std::string> notes) {
  const std::string slotsTag = "! " + std::string(kSlotsTag);
  const std::string staleTag = "! " + std::string(kSlotNames[static_cast<std::size_t>(slot)]) + " ";
  std::string fresh;
  for (const std::string& note : notes) fresh += commentLine(note);
  fresh += commentLine(slotsNote(slotsHoldingValues(merged)));
  std::string out;
  bool placed = false;
  for (std::string_view unread = merged; !unread.empty();) {
    const std::string_view line = touchstone_text::takeLine(unread);
    if (line.starts_with(staleTag)) continue;
    if (line.starts_with(slotsTag)) {
      out += fresh;
      placed = true;
      continue;
    }
    out += line;
  }
  if (placed) return out;
  const std::size_t at = optionLineStart(out);
  if (at == std::string::npos) return out;  // the merge refuses such a text
  return out.substr(0, at) + fresh + out.substr(at);
}

}  // namespace vna
