// What a panel item takes when a number is typed into it: its length, whether
// a minus is allowed, which keys end the entry with which factor, and which
// values are accepted. Pure rules, so the typed entry can be tried with any
// keys outside a program.
#pragma once

#include "display/measurement_profile.h"
#include "display/panel_fields.h"

namespace vna {

bool isScaleItem(PanelItem item);
bool isTrace1Item(PanelItem item);
bool isFrequencyItem(PanelItem item);

// The entry of `item` in display mode `mode`; the caller places it (row,
// column) and adds what the first character does. The rules hold copies of
// the limits, so the entry outlives the profile it came from.
EntrySpec typedEntryRule(PanelItem item, const ScaleFormat& format, const ModeSpec& mode);

// The pictures the panel shows values in: frequencies, the cable length, and
// the scales in the profile's own.
inline constexpr std::string_view kFrequencyPicture = "#########.##";
inline constexpr std::string_view kLengthPicture = "####.####";
std::string_view panelPicture(PanelItem item, const ScaleFormat& format);

}  // namespace vna
