// A quantity derived from a measured point, as the columns of vna-measure's
// CSV files and the keys of its JSON lines name it: "r_ohm", "ls_h", ...
// The reflection and transmission tables list them in their order.
#pragma once

#include <string_view>

namespace vna {

struct Quantity {
  std::string_view name;     // column name: lower case, the unit last ("cs_f")
  std::string_view unit;     // "ohm", "H", "dB", "" for a plain number
  std::string_view meaning;  // one line for --quantities help, with its formula
  bool degrees = false;      // an angle in degrees: its changes are taken within +-180
};

}  // namespace vna
