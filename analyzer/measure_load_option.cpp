#include "analyzer/measure_load_option.h"

#include <array>
#include <cstddef>

#include "platform/si_number.h"

namespace vna {
namespace {

std::string loadCountError(std::string_view value) {
  return "--load \"" + std::string(value) +
         "\": give R, L and C in one argument, such as \"50 0 0\" or \"49.9 2n 0.5p\"";
}

}  // namespace

std::string referenceLoadOption(MeasureOptions& o, std::string_view value) {
  std::array<std::string_view, 3> fields;
  std::size_t count = 0, at = 0;
  while (true) {
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    if (at == value.size()) break;
    std::size_t end = at;
    while (end < value.size() && value[end] != ' ' && value[end] != '\t') ++end;
    if (count == fields.size()) return loadCountError(value);
    fields[count++] = value.substr(at, end - at);
    at = end;
  }
  if (count != fields.size()) return loadCountError(value);
  const auto r = parseSiNumber(fields[0]);
  if (!r || !(*r > 0.099 && *r < 9999.999))
    return "--load R " + std::string(fields[0]) + ": the resistance lies above 0.099 and below 9999.999 ohms";
  const auto l = parseSiNumber(fields[1]);
  if (!l || !(*l >= 0 && *l * 1e9 < 9999.999))
    return "--load L " + std::string(fields[1]) + ": the inductance lies from 0 to below 9999.999n henries (2n, 1.5u)";
  const auto c = parseSiNumber(fields[2]);
  if (!c || !(*c >= 0 && *c * 1e12 < 9999.999))
    return "--load C " + std::string(fields[2]) + ": the capacitance lies from 0 to below 9999.999p farads (0.5p, 2n)";
  o.loadOverride = LoadValues{*r, *l, *c};
  return {};
}

}  // namespace vna
