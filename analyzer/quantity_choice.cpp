#include "analyzer/quantity_choice.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "reflection/reflection_columns.h"
#include "transmission/transmission_columns.h"

namespace vna {
namespace {

constexpr std::array<QuantityKind, 2> kKinds{QuantityKind::Reflection, QuantityKind::Transmission};

// What a user gets without --quantities: the L, C, Q, ESR, SWR and return
// loss of a component, or the gain, phase and delay of a two-port.
constexpr std::array<std::string_view, 9> kReflectionDefault{"z_ohm", "z_deg", "r_ohm", "x_ohm", "ls_h",
                                                             "cs_f",  "q",     "swr",   "rl_db"};
constexpr std::array<std::string_view, 3> kTransmissionDefault{"gain_db", "phase_deg", "delay_s"};

// Words people type for a quantity under another name, offered as the
// nearest name.
struct Synonym {
  std::string_view typed, name;
};
constexpr std::array<Synonym, 6> kSynonyms{{
    {"esr", "r_ohm"},
    {"vswr", "swr"},
    {"delay", "delay_s"},
    {"phase", "phase_deg"},
    {"return_loss", "rl_db"},
    {"z", "z_ohm"},
}};

// Where `name` stands in the table of `kind`, if it does.
std::optional<int> indexIn(QuantityKind kind, std::string_view name) {
  const std::span<const Quantity> table = quantitiesOf(kind);
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].name == name) return static_cast<int>(i);
  return std::nullopt;
}

std::optional<QuantityKind> kindOf(std::string_view name) {
  for (QuantityKind kind : kKinds)
    if (indexIn(kind, name)) return kind;
  return std::nullopt;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known name a mistyped one most likely meant: a synonym, the same in
// lower case, the only name it begins, or the only nearest name within an
// edit per three letters (two at most); none when it is not clear ("s11"
// begins four names and is two edits from "swr").
std::optional<std::string_view> nearestName(std::string_view typed) {
  std::string lower(typed);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Synonym& s : kSynonyms)
    if (s.typed == lower) return s.name;
  std::vector<std::string_view> begun;
  for (QuantityKind kind : kKinds)
    for (const Quantity& q : quantitiesOf(kind))
      if (q.name.starts_with(lower)) begun.push_back(q.name);
  if (begun.size() == 1) return begun[0];
  if (begun.size() > 1) return std::nullopt;
  std::optional<std::string_view> best;
  std::size_t bestDistance = std::min<std::size_t>(2, lower.size() / 3) + 1;
  bool tie = false;
  for (QuantityKind kind : kKinds) {
    for (const Quantity& q : quantitiesOf(kind)) {
      const std::size_t d = editDistance(lower, q.name);
      if (d < bestDistance) {
        best = q.name;
        bestDistance = d;
        tie = false;
      } else if (d == bestDistance) {
        tie = true;
      }
    }
  }
  if (tie) return std::nullopt;
  return best;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string unknownName(std::string_view name) {
  std::string text = std::string(name) + " is no quantity";
  if (const auto nearest = nearestName(name)) text += "; did you mean " + std::string(*nearest) + "?";
  return text;
}

}  // namespace

std::span<const Quantity> quantitiesOf(QuantityKind kind) {
  if (kind == QuantityKind::Transmission) return kTransmissionQuantities;
  return kReflectionQuantities;
}

std::string_view kindName(QuantityKind kind) {
  return kind == QuantityKind::Transmission ? "transmission" : "reflection";
}

QuantityChoice defaultQuantities(QuantityKind kind) {
  QuantityChoice choice{kind, {}};
  const std::span<const std::string_view> names = kind == QuantityKind::Transmission
                                                      ? std::span<const std::string_view>(kTransmissionDefault)
                                                      : std::span<const std::string_view>(kReflectionDefault);
  for (std::string_view name : names) choice.columns.push_back(indexIn(kind, name).value_or(0));
  return choice;
}

std::vector<const Quantity*> chosenQuantities(const QuantityChoice& choice) {
  const std::span<const Quantity> table = quantitiesOf(choice.kind);
  std::vector<const Quantity*> quantities;
  for (int column : choice.columns) quantities.push_back(&table[static_cast<std::size_t>(column)]);
  return quantities;
}

QuantityListReading chooseQuantities(std::string_view list, std::optional<QuantityKind> required) {
  const std::string named = "--quantities " + std::string(list) + ": ";
  const auto refuse = [&](const std::string& why) { return QuantityListReading{std::nullopt, named + why}; };
  std::vector<std::string_view> names;
  for (std::size_t at = 0;;) {
    const std::size_t comma = list.find(',', at);
    names.push_back(trimmed(list.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at)));
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  if (names.size() == 1 && names[0].empty()) return refuse("name one quantity or more, such as r_ohm,ls_h,q");
  QuantityChoice choice;
  std::optional<std::string_view> first;  // the first name, which sets the kind
  for (std::string_view name : names) {
    if (name.empty()) return refuse("an empty name between commas");
    const std::optional<QuantityKind> kind = kindOf(name);
    if (!kind) return refuse(unknownName(name));
    if (required && *kind != *required)
      return refuse(std::string(name) + " is a " + std::string(kindName(*kind)) + " quantity; " +
                    std::string(kindName(*required)) + " gives " + std::string(kindName(*required)) +
                    " quantities only");
    if (!first) {
      first = name;
      choice.kind = *kind;
    } else if (*kind != choice.kind) {
      return refuse(std::string(*first) + " is a " + std::string(kindName(choice.kind)) + " quantity and " +
                    std::string(name) + " a " + std::string(kindName(*kind)) + " one: name quantities of one kind");
    }
    const int column = *indexIn(*kind, name);
    if (std::find(choice.columns.begin(), choice.columns.end(), column) != choice.columns.end())
      return refuse(std::string(name) + " is named twice");
    choice.columns.push_back(column);
  }
  return {std::move(choice), {}};
}

std::string quantitiesHelp() {
  std::string text =
      "Quantities for --quantities NAME,NAME,... (all of one kind). The first column\n"
      "is always f_hz, the frequency in Hz.\n";
  const auto kindBlock = [&](QuantityKind kind, std::string_view heading) {
    text += "\n" + std::string(heading);
    for (const Quantity& q : quantitiesOf(kind)) {
      std::string line = "  " + std::string(q.name);
      line.resize(15, ' ');
      line += q.unit.empty() ? "-" : std::string(q.unit);
      line.resize(20, ' ');
      text += line + std::string(q.meaning) + "\n";
    }
    std::string defaults;
    for (const Quantity* q : chosenQuantities(defaultQuantities(kind)))
      defaults += (defaults.empty() ? "" : ",") + std::string(q->name);
    text += "  default: " + defaults + "\n";
  };
  kindBlock(QuantityKind::Reflection,
            "Reflection (reflection; convert from s11 or s22), of Z = R + jX on the\n"
            "reference R0 (50 ohms; a file's own for convert), w = 2 pi f:\n");
  kindBlock(QuantityKind::Transmission,
            "Transmission (transmission; convert from s21 or s12), of the ratio t; the\n"
            "levels come from the instrument only, not from a file:\n");
  return text;
}

}  // namespace vna
