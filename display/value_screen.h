// A full-screen editor of a few stored values (the Reference Load and the
// Adjustment screens): a title, notes, one row per value with its label, the
// three buttons Exit, Load Default Values and Save and Exit on row 45, and
// typed entry of a new value within its limits. A screen is a table of what
// it shows plus two hooks; where the values come from and how they are saved
// is the caller's business.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

#include "display/click_latch.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace vna {

// Where and how a value is printed: its first column and its picture.
struct ValuePlace {
  int column;
  std::string_view picture;
};

// Pixel bounds of a mouse zone, all exclusive.
struct MouseZone {
  int x0, x1, y0, y1;
  constexpr bool contains(const MouseState& m) const { return m.x > x0 && m.x < x1 && m.y > y0 && m.y < y1; }
};

// One edited value. The screen keeps it in stored units; the user sees and
// types it in shown units (nH for a value kept in henries, ...).
struct ValueField {
  int row;
  std::string_view label;
  ValuePlace shown;    // on opening and after Load Default Values
  ValuePlace entered;  // once a typed value was taken; typing starts at its column too
  MouseZone zone;
  bool (*accepts)(double typed);
  // The value kept for a typed one, exactly as the caller stores it (a float
  // or a whole number held in a double), and the number shown for it.
  double (*toStored)(double typed);
  double (*toShown)(double stored);
};

struct ScreenText {
  int row;
  int column;
  std::string_view text;
};

// A line of the explanation under the values; all of a screen's share a column.
struct NoteLine {
  int row;
  std::string_view text;
};

// Whether typing a digit, "." or "-" over a highlighted value starts an entry
// with that character, or only a left click does.
enum class EntryStart { Click, ClickOrTyping };

struct ValueScreenTable {
  int columnBase;    // the buttons and their zones are placed from this text column
  ScreenText title;  // colour 14
  int labelColumn;   // labels in colour 15
  std::span<const ValueField> fields;
  std::span<const double> defaults;  // Load Default Values, stored units, one per field
  int noteColumn;
  std::span<const NoteLine> notes;  // colour 6
  ScreenText saveFailed;            // shown 0 on 6 when the save hook fails
  int passMs;                       // pause per pass of the screen's loop
  int keyPauseMs;                   // pause between key reads while typing
  // Printed over the value when an entry starts; its width is the cells
  // blanked under the typed text.
  std::string_view placeholder;
  std::size_t maxTyped;
  EntryStart entryStart;
};

struct ValueScreenHooks {
  // Draws what the table cannot say (a schematic); may be empty.
  std::function<void(Screen&)> drawExtras;
  // Saves the values (stored units); false when they could not be written,
  // the screen then says so and stays open with them.
  std::function<bool(std::span<const double> stored)> save;
};

// Clears the drawing page, shows `onEntry` (stored units, one per field) and
// runs the screen until the user leaves: Esc (also while typing a number) or
// Exit leave without saving, F4 or Save and Exit leave once the save hook
// succeeded. Always clears the drawing page before returning.
void runValueScreen(Screen& screen, ClickLatch& latch, const ValueScreenTable& table, std::span<const double> onEntry,
                    const ValueScreenHooks& hooks);

}  // namespace vna
