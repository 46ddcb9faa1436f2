// Which quantities vna-measure writes of each point: the columns a user
// names with --quantities, or the default set of the kind of measurement;
// and the list of them that "--quantities help" prints.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "measurement/quantity.h"

namespace vna {

// The two tables: what an impedance gives (reflection_columns.h) and what a
// transmission ratio gives (transmission_columns.h).
enum class QuantityKind { Reflection, Transmission };

std::span<const Quantity> quantitiesOf(QuantityKind kind);

// Columns of one kind, by their index in the kind's table, in the order the
// user named them.
struct QuantityChoice {
  QuantityKind kind = QuantityKind::Reflection;
  std::vector<int> columns;
};

QuantityChoice defaultQuantities(QuantityKind kind);

// The quantities themselves, for the output formats.
std::vector<const Quantity*> chosenQuantities(const QuantityChoice& choice);

// A comma-separated list of names, each known, none twice, all of one kind
// (of `required` when the command fixes it). The error is one line that
// names the fault ("ls_hh is no quantity; did you mean ls_h?").
struct QuantityListReading {
  std::optional<QuantityChoice> choice;
  std::string error;
};
QuantityListReading chooseQuantities(std::string_view list, std::optional<QuantityKind> required);

std::string_view kindName(QuantityKind kind);  // "reflection", "transmission"

// Every name with its unit and formula, grouped by kind, with the defaults.
std::string quantitiesHelp();

}  // namespace vna
