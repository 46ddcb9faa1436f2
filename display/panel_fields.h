// The side panel's items: mouse zones, hover flags, the digit step of the
// wheel and typed number entry. Fields own no values: the program binds them.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/screen.h"

namespace vna {

enum class PanelItem {
  Title, Trace1Max, Trace1Min, Trace2Max, Trace2Min, FreqMax, FreqMin, Center, Span,
  Sweep, Points, SampleCode, Length, Calibrate, Display, Copy, Save, Start, Help, Reference, Exit,
};
inline constexpr int kPanelItems = 21;

enum class FieldKind { Choice, Number, Button };

struct PanelField {
  PanelItem item;
  int row;
  int x0, x1, y0, y1;  // all bounds exclusive
  FieldKind kind;
};

// The impedance analyzer's items in the order the idle loop serves them.
const std::array<PanelField, kPanelItems>& impedancePanelFields();
const PanelField& fieldOf(PanelItem item);
bool insideZone(const PanelField& field, int x, int y);

struct PanelState {
  std::array<bool, kPanelItems> hoverFlag{};
  std::array<int, kPanelItems> lastWheel{};
  bool hovered(PanelItem item) const { return hoverFlag[static_cast<std::size_t>(item)]; }
  void setHover(PanelItem item, bool on) { hoverFlag[static_cast<std::size_t>(item)] = on; }
  void clearHover() { hoverFlag.fill(false); }
};

// Weight of the digit under the pointer; 0 over the decimal point.
double wheelStepScale(int x);
double wheelStepFrequency(int x);
double wheelStepLength(int x);

// The five validation flags: trace 1 scale, trace 2 scale, frequency order,
// upper band edge, lower band edge.
struct ErrorFlags {
  std::array<bool, 5> flag{};
  bool any() const { return flag[0] || flag[1] || flag[2] || flag[3] || flag[4]; }
};

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
