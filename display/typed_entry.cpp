#include "display/typed_entry.h"

#include "measurement/sweep_plan.h"
#include "platform/input.h"

namespace vna {
namespace {

std::optional<double> unitFactor(const UnitLetters& letters, char k) {
  if (k == key::kEnter) return 1.0;
  for (const UnitLetter& u : letters)
    if (u.key != 0 && u.key == k) return u.factor;
  return std::nullopt;
}

// Frequencies take k and m (either case), and only after a value above 0.
std::optional<double> frequencyFactor(char k, double typed) {
  if (k == key::kEnter) return 1.0;
  if (typed > 0 && (k == 'k' || k == 'K')) return 1e3;
  if (typed > 0 && (k == 'm' || k == 'M')) return 1e6;
  return std::nullopt;
}

}  // namespace

bool isScaleItem(PanelItem item) { return item >= PanelItem::Trace1Max && item <= PanelItem::Trace2Min; }
bool isTrace1Item(PanelItem item) { return item == PanelItem::Trace1Max || item == PanelItem::Trace1Min; }
bool isFrequencyItem(PanelItem item) { return item >= PanelItem::FreqMax && item <= PanelItem::Span; }

EntrySpec typedEntryRule(PanelItem item, const ScaleFormat& f, const ModeSpec& mode) {
  EntrySpec entry;
  if (isTrace1Item(item)) {
    entry.blanks = 14;
    entry.maxLength = f.entryLength1;
    entry.factorOf = [units = mode.trace1Units](char k, double) { return unitFactor(units, k); };
    entry.accept = [high = f.entryHigh1, low = mode.logTrace1 ? f.logFloor : f.entryLow1](double v) {
      return v < high && v > low;
    };
  } else if (isScaleItem(item)) {
    entry.blanks = 14;
    entry.maxLength = f.entryLength2;
    entry.factorOf = [units = mode.trace2Units](char k, double) { return unitFactor(units, k); };
    entry.accept = [low = f.entryLow2, high = f.entryHigh2](double v) { return v > low && v < high; };
  } else if (item == PanelItem::Length) {
    entry.maxLength = 11;
    entry.factorOf = [](char k, double) { return unitFactor({}, k); };
    entry.accept = [](double v) { return v > -999.99991 && v < 9999.99991; };
  } else {
    entry.maxLength = 11;
    entry.allowMinus = false;
    entry.factorOf = frequencyFactor;
    entry.accept = acceptTypedFrequency;
  }
  return entry;
}

std::string_view panelPicture(PanelItem item, const ScaleFormat& format) {
  if (isFrequencyItem(item)) return kFrequencyPicture;
  if (item == PanelItem::Length) return kLengthPicture;
  return format.picture;
}

}  // namespace vna
