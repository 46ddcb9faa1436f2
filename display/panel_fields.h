// The side panel's items: mouse zones, hover flags, the digit step of the
// wheel and typed number entry. Fields own no values: the program binds them.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "display/layout.h"
#include "platform/screen.h"

namespace vna {

// Every item any program's panel has. A program's field table lists the
// ones it shows; `Procedure` is the calibrate or normalize item. The choices
// only some programs have (the delay aperture, the viewers' parameter, a
// program's own) and `ProgramButton` (the Reference Load, Adjustment or
// File Access screen) are served by the program's hooks.
enum class PanelItem {
  Title, Trace1Max, Trace1Min, Trace2Max, Trace2Min, FreqMax, FreqMin, Center, Span,
  Sweep, Points, SampleCode, DelayAperture, Parameter, ProgramChoice, Length, Procedure, Display,
  Copy, Save, Start, Help, ProgramButton, Exit,
};
inline constexpr int kPanelItems = 24;

inline constexpr bool isCenterOrSpan(PanelItem item) {
  return item == PanelItem::Center || item == PanelItem::Span;
}

// Where the value of a scale or frequency item lives, for reading it
// (const) or changing it.
template <typename Scales>
auto& scaleValue(Scales& scales, PanelItem item, int mode) {
  const auto m = static_cast<std::size_t>(mode);
  switch (item) {
    case PanelItem::Trace1Max: return scales.trace1Max[m];
    case PanelItem::Trace1Min: return scales.trace1Min[m];
    case PanelItem::Trace2Max: return scales.trace2Max[m];
    default: return scales.trace2Min[m];
  }
}
template <typename Plan>
auto& frequencyValue(Plan& plan, PanelItem item) {
  switch (item) {
    case PanelItem::FreqMax: return plan.freqMax;
    case PanelItem::FreqMin: return plan.freqMin;
    case PanelItem::Center: return plan.center;
    default: return plan.span;
  }
}

// Shown: a row the panel draws that the user cannot change (the viewers'
// frequencies, which come from the file).
enum class FieldKind { Choice, Number, Button, Shown };

struct PanelField {
  PanelItem item;
  int row;
  int x0, x1, y0, y1;  // all bounds exclusive
  FieldKind kind;
  std::string_view label = {};       // buttons: as the panel draws it
  std::string_view hoverLabel = {};  // buttons: reprinted while hovered and after
  int labelColumn = 0;
};

bool insideZone(const PanelField& field, int x, int y);
// The field of `item` in a program's table; nullptr when the program has none.
const PanelField* findField(std::span<const PanelField> fields, PanelItem item);

// Zones as the panel lays them out: value items from x 816 to 1016, buttons
// from 824 to `right`, each over the 16 pixel rows of its text row.
constexpr PanelField valueField(PanelItem item, int row, FieldKind kind) {
  return PanelField{item, row, kPanelX, kPanelX + 200, rowTop(row) - 1, rowTop(row) + 16, kind};
}
constexpr PanelField buttonField(PanelItem item, int row, int right, std::string_view label,
                                 std::string_view hoverLabel, int labelColumn) {
  return PanelField{item,  row,        kPanelX + 8, right, rowTop(row) - 1, rowTop(row) + 16, FieldKind::Button,
                    label, hoverLabel, labelColumn};
}

// Two parts of a program's table, served in this order.
template <std::size_t N, std::size_t M>
constexpr std::array<PanelField, N + M> joined(const std::array<PanelField, N>& first,
                                               const std::array<PanelField, M>& then) {
  std::array<PanelField, N + M> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = first[i];
  for (std::size_t i = 0; i < M; ++i) out[N + i] = then[i];
  return out;
}
template <std::size_t N>
constexpr std::array<PanelField, N + 1> withField(const std::array<PanelField, N>& fields, const PanelField& extra) {
  return joined(fields, std::array<PanelField, 1>{extra});
}

// The mode title and the two traces' scales, first in every program's table.
inline constexpr std::array<PanelField, 5> kTitleAndScaleFields{{
    {PanelItem::Title, 2, kPanelX, kPanelX + 200, -1, 48, FieldKind::Choice},
    valueField(PanelItem::Trace1Max, 6, FieldKind::Number),
    valueField(PanelItem::Trace1Min, 7, FieldKind::Number),
    valueField(PanelItem::Trace2Max, 10, FieldKind::Number),
    valueField(PanelItem::Trace2Min, 11, FieldKind::Number),
}};

struct PanelState {
  std::array<bool, kPanelItems> hoverFlag{};
  // The wheel's count at the last look: notches made while the pointer was
  // elsewhere (or while a scan ran) never act on a field.
  int wheelSeen = 0;
  bool hovered(PanelItem item) const { return hoverFlag[static_cast<std::size_t>(item)]; }
  void setHover(PanelItem item, bool on) { hoverFlag[static_cast<std::size_t>(item)] = on; }
  void clearHover() { hoverFlag.fill(false); }
};

// Weight of the digit under the pointer; 0 over the decimal point. The
// weights run one per 8-pixel text column from x = 896, the value column's
// first digit; whatever lies left of it takes the first weight, right of
// the last nothing.
double wheelStep(int x, std::span<const double> weights);
extern const std::array<double, 14> kScaleStepWeights;
extern const std::array<double, 14> kFrequencyStepWeights;
extern const std::array<double, 14> kLengthStepWeights;
inline double wheelStepLength(int x) { return wheelStep(x, kLengthStepWeights); }

// A typed-entry routine: where the number is shown, what may be typed and
// which keys end it with which factor.
struct EntrySpec {
  int row = 0;
  int column = 0;            // value column of the buffer
  int blanks = 13;           // cells blanked over the value
  std::size_t maxLength = 13;
  bool allowMinus = true;
  // Factor of a terminating key (Enter, a unit letter), given the number typed
  // so far; nullopt when the key does not end the entry.
  std::function<std::optional<double>(char key, double typed)> factorOf;
  std::function<bool(double value)> accept;
  std::function<void()> onFirstCharacter;  // called once, when the first character is taken
  int keyPauseMs = 2;  // pause while no key is waiting
  // Shows the buffer; by default the value's cells are blanked and the
  // buffer written there in 0 on 14.
  std::function<void(std::string_view buffer)> show;
};

enum class EntryEnd { Accepted, Exit };
struct EntryResult {
  EntryEnd end;
  double value = 0;
};

// Reads keys until a value is accepted or Esc; `pendingKey` is the first
// character when the main loop has already read it, empty otherwise.
EntryResult enterNumber(Screen& screen, const EntrySpec& entry, std::string pendingKey);

// The usual decimal reading: the leading number of the text, 0 if none.
double leadingNumber(std::string_view text);

}  // namespace vna
