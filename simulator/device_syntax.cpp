#include "simulator/device_syntax.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace vna {
namespace {

// Which values a kind takes, in order.
enum class Field {
  Resistance,
  Inductance,
  Capacitance,
  ShuntCapacitance,
  Decibels,
  Seconds,
  Frequency,
  Bandwidth,
  Order
};

struct KindSyntax {
  std::string_view name;
  DeviceKind kind;
  std::vector<Field> fields;
  std::size_t required;  // the rest are optional and default to 0
  std::string_view values;
  std::string_view note;
};

const std::array<KindSyntax, 17>& kinds() {
  using F = Field;
  static const std::array<KindSyntax, 17> table{{
      {"resistor", DeviceKind::Resistor, {F::Resistance}, 1, "R", ""},
      {"capacitor",
       DeviceKind::Capacitor,
       {F::Capacitance, F::Resistance, F::Inductance},
       1,
       "C [ESR [ESL]]",
       "C, ESR and ESL in series"},
      {"inductor",
       DeviceKind::Inductor,
       {F::Inductance, F::Resistance, F::Capacitance},
       1,
       "L [RS [CP]]",
       "L with series RS, shunted by CP"},
      {"crystal",
       DeviceKind::Crystal,
       {F::Resistance, F::Inductance, F::Capacitance, F::ShuntCapacitance},
       4,
       "R1 L1 C1 C0",
       "R1 + L1 + C1 in series, shunted by C0"},
      {"rlc-series",
       DeviceKind::SeriesRlc,
       {F::Resistance, F::Inductance, F::Capacitance},
       3,
       "R L C",
       "L or C 0: left out"},
      {"rlc-parallel",
       DeviceKind::ParallelRlc,
       {F::Resistance, F::Inductance, F::Capacitance},
       3,
       "R L C",
       "a value 0: left out"},
      {"open", DeviceKind::Open, {}, 0, "", ""},
      {"short", DeviceKind::Short, {}, 0, "", ""},
      {"load",
       DeviceKind::ReferenceLoad,
       {F::Resistance, F::Inductance, F::Capacitance},
       1,
       "R [L [C]]",
       "R with series L, shunt C"},
      {"through", DeviceKind::Through, {}, 0, "", ""},
      {"attenuator", DeviceKind::Attenuator, {F::Decibels}, 1, "LOSS_DB", ""},
      {"lowpass-rc", DeviceKind::LowpassRc, {F::Resistance, F::Capacitance}, 2, "R C", "series R, shunt C"},
      {"lowpass-lc", DeviceKind::LowpassLc, {F::Frequency, F::Order}, 2, "CUTOFF ORDER", "Butterworth"},
      {"bandpass-lc",
       DeviceKind::BandpassLc,
       {F::Frequency, F::Bandwidth, F::Order},
       3,
       "CENTRE WIDTH ORDER",
       "Butterworth"},
      {"delay", DeviceKind::DelayLine, {F::Seconds}, 1, "SECONDS", "a lossless line"},
      {"amplifier", DeviceKind::Amplifier, {F::Decibels}, 1, "GAIN_DB", ""},
      {"isolation", DeviceKind::Isolation, {}, 0, "", "nothing connected"},
  }};
  return table;
}

const KindSyntax* findKind(std::string_view name) {
  for (const KindSyntax& k : kinds())
    if (k.name == name) return &k;
  return nullptr;
}

const KindSyntax& syntaxOf(DeviceKind kind) {
  for (const KindSyntax& k : kinds())
    if (k.kind == kind) return k;
  return kinds().front();
}

// The Device member a field is stored in (const or not).
template <class D>
auto& slot(D& d, Field f) {
  switch (f) {
    case Field::Resistance: return d.resistance;
    case Field::Inductance: return d.inductance;
    case Field::Capacitance: return d.capacitance;
    case Field::ShuntCapacitance: return d.shuntCapacitance;
    case Field::Decibels: return d.decibels;
    case Field::Seconds: return d.seconds;
    case Field::Frequency: return d.frequency;
    default: return d.bandwidth;
  }
}

double valueOf(const Device& d, Field f) {
  if (f == Field::Order) return d.order;
  return slot(d, f);
}

std::string usage(const KindSyntax& k) {
  return std::string(k.name) + (k.values.empty() ? "" : " ") + std::string(k.values);
}

// Physical values cannot be negative, except an amplifier's gain.
std::optional<std::string> storeValue(Device& d, const KindSyntax& k, Field f, std::string_view word) {
  if (f == Field::Order) {
    const auto order = parseWholeNumber(word);
    if (!order || *order < 1 || *order > 10) return "filter order must be 1 to 10, not \"" + std::string(word) + "\"";
    d.order = static_cast<int>(*order);
    return std::nullopt;
  }
  const auto value = parseSiValue(word);
  if (!value) return "bad value \"" + std::string(word) + "\" (use e.g. 100, 4.7k, 100p, 10n)";
  if (*value < 0.0 && k.kind != DeviceKind::Amplifier) return "value must not be negative: " + std::string(word);
  slot(d, f) = *value;
  return std::nullopt;
}

}  // namespace

ParseResult<Device> parseDevice(std::string_view text) {
  const auto words = splitWords(text);
  if (words.empty()) return ParseResult<Device>::failure("no device given");
  const KindSyntax* k = findKind(words[0]);
  if (!k) return ParseResult<Device>::failure("unknown device \"" + std::string(words[0]) + "\"");
  const std::size_t given = words.size() - 1;
  if (given < k->required || given > k->fields.size()) return ParseResult<Device>::failure("usage: " + usage(*k));
  Device d;
  d.kind = k->kind;
  for (std::size_t i = 0; i < given; ++i) {
    if (auto error = storeValue(d, *k, k->fields[i], words[i + 1])) return ParseResult<Device>::failure(*error);
  }
  return {d, {}};
}

// Optional values left at 0 are not written, so an ideal capacitor still
// reads "capacitor 100p" and a plain load "load 50".
std::string describeDevice(const Device& device) {
  const KindSyntax& k = syntaxOf(device.kind);
  std::size_t shown = k.fields.size();
  while (shown > k.required && valueOf(device, k.fields[shown - 1]) == 0.0) --shown;
  std::string text(k.name);
  for (std::size_t i = 0; i < shown; ++i) {
    const Field f = k.fields[i];
    text += ' ';
    text += f == Field::Order ? std::to_string(device.order) : formatSiValue(valueOf(device, f));
  }
  return text;
}

std::string deviceSyntaxHelp() {
  std::string text;
  for (const KindSyntax& k : kinds()) {
    std::string line = "      " + usage(k);
    if (!k.note.empty()) {
      line.resize(std::max<std::size_t>(line.size() + 2, 38), ' ');
      line += k.note;
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace vna
