#include "display/value_screen.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/layout.h"
#include "display/panel_fields.h"

namespace vna {
namespace {

// Palette roles on these screens.
constexpr int kBlack = colour::kBlack;
constexpr int kButtonColour = colour::kMemory1;
constexpr int kNoteColour = colour::kErrorBack;
constexpr int kTitleColour = colour::kTrace1;
constexpr int kEntryBack = colour::kTrace1;
constexpr int kTextColour = colour::kText;

// The three buttons of every such screen, on one row; their columns and
// mouse zones are counted from the screen's column base.
struct Button {
  int column;  // from the column base
  std::string_view label;
  int x0, x1;  // exclusive pixel bounds, from 8 times the column base
};
enum ButtonId { kExit, kDefaults, kSave };
constexpr std::array<Button, 3> kButtons{{
    {1, "Exit (ESC)", 0, 96},
    {19, "Load Default Values (F5)", 144, 344},
    {52, "Save and Exit (F4)", 408, 560},
}};
constexpr int kButtonRow = 45;
constexpr int kButtonTop = 704;  // exclusive pixel rows of all three buttons
constexpr int kButtonBottom = 721;

enum class Action { None, Leave, Save, Defaults };

Action keyAction(const std::string& k) {
  if (k.size() == 1 && k[0] == key::kEsc) return Action::Leave;
  if (k.size() != 2 || static_cast<unsigned char>(k[0]) != key::kExtended) return Action::None;
  if (static_cast<unsigned char>(k[1]) == key::kF4) return Action::Save;
  if (static_cast<unsigned char>(k[1]) == key::kF5) return Action::Defaults;
  return Action::None;
}

// The characters a typed number is made of: "-", "." and the digits.
bool numberCharacter(const std::string& k) {
  return k.size() == 1 && k[0] >= '-' && k[0] <= '9' && k[0] != '/';
}

class ValueScreen {
 public:
  ValueScreen(Screen& screen, ClickLatch& latch, const ValueScreenTable& table, std::span<const double> onEntry,
              const ValueScreenHooks& hooks)
      : s_(screen),
        latch_(latch),
        table_(table),
        hooks_(hooks),
        values_(onEntry.begin(), onEntry.end()),
        fieldHover_(table.fields.size(), false),
        entered_(table.fields.size(), false) {}

  void run() {
    drawScreen();
    for (;;) {
      const std::string k = s_.readKey();
      if (perform(keyAction(k))) break;
      if (table_.entryStart == EntryStart::ClickOrTyping && numberCharacter(k)) {
        if (const std::optional<std::size_t> i = hoveredField(); i && !typeValue(*i, k)) break;
      }
      if (perform(mouseAction())) break;
      s_.sleep(table_.passMs);
    }
    s_.color(kTextColour, kBlack);
    s_.clearPage();
  }

 private:
  const ValueField& field(std::size_t i) const { return table_.fields[i]; }

  int buttonColumn(const Button& b) const { return table_.columnBase + b.column; }
  bool over(const Button& b, const MouseState& m) const {
    const int left = 8 * table_.columnBase;
    return MouseZone{left + b.x0, left + b.x1, kButtonTop, kButtonBottom}.contains(m);
  }

  std::optional<std::size_t> hoveredField() const {
    for (std::size_t i = 0; i < fieldHover_.size(); ++i)
      if (fieldHover_[i]) return i;
    return std::nullopt;
  }

  void drawValue(std::size_t i, bool hovered) {
    const ValueField& f = field(i);
    const ValuePlace& place = entered_[i] ? f.entered : f.shown;
    if (hovered) {
      s_.color(kBlack, kTextColour);
    } else {
      s_.color(kTextColour, kBlack);
    }
    s_.locate(f.row, place.column);
    s_.printPicture(place.picture, f.toShown(values_[i]));
  }

  void drawButton(std::size_t i, bool hovered) {
    if (hovered) {
      s_.color(kBlack, kButtonColour);
    } else {
      s_.color(kButtonColour, kBlack);
    }
    s_.printAt(kButtonRow, buttonColumn(kButtons[i]), kButtons[i].label);
  }

  void drawScreen() {
    s_.color(kTextColour, kBlack);
    s_.clearPage();
    s_.color(kTitleColour, kBlack);
    s_.printAt(table_.title.row, table_.title.column, table_.title.text);
    if (hooks_.drawExtras) hooks_.drawExtras(s_);
    s_.color(kNoteColour, kBlack);
    for (const NoteLine& note : table_.notes) s_.printAt(note.row, table_.noteColumn, note.text);
    s_.color(kTextColour, kBlack);
    for (std::size_t i = 0; i < table_.fields.size(); ++i) {
      s_.printAt(field(i).row, table_.labelColumn, field(i).label);
      drawValue(i, false);
    }
    for (std::size_t i = 0; i < kButtons.size(); ++i) drawButton(i, false);
  }

  // The cells a typed number may use: the placeholder's, and right of them
  // those of the characters the placeholder is too short for.
  int entryWidth() const { return static_cast<int>(table_.placeholder.size()); }
  int spillWidth() const { return std::max(0, static_cast<int>(table_.maxTyped) - entryWidth()); }

  // The typed characters, black on colour 14 over the blanked field; the
  // spill cells are blank while no character reaches them.
  void showTyped(const ValueField& f, std::string_view typed) {
    const int column = f.entered.column;
    s_.color(kTextColour, kBlack);
    s_.printAt(f.row, column + entryWidth(), std::string(static_cast<std::size_t>(spillWidth()), ' '));
    s_.color(kBlack, kEntryBack);
    s_.printAt(f.row, column, std::string(static_cast<std::size_t>(entryWidth()), ' '));
    s_.printAt(f.row, column, typed);
  }

  // Blanks whatever an entry or the entered picture left in normal colours,
  // before the field is printed in another place.
  void blankEntry(const ValueField& f) {
    const std::size_t typed = static_cast<std::size_t>(entryWidth() + spillWidth());
    const std::size_t width = std::max(typed, f.entered.picture.size());
    s_.color(kTextColour, kBlack);
    s_.printAt(f.row, f.entered.column, std::string(width, ' '));
  }

  // Typed entry into a highlighted field, from a click (no `firstKey`) or
  // from the key that started it, until a value is taken or Esc; false when
  // Esc asks to leave the whole screen.
  bool typeValue(std::size_t i, std::string firstKey) {
    const ValueField& f = field(i);
    s_.color(kBlack, kEntryBack);
    s_.printAt(f.row, f.entered.column, table_.placeholder);
    EntrySpec entry;
    entry.maxLength = table_.maxTyped;
    entry.keyPauseMs = table_.keyPauseMs;
    entry.factorOf = [](char k, double) { return k == key::kEnter ? std::optional<double>(1.0) : std::nullopt; };
    entry.accept = [&f](double v) { return f.accepts(v); };
    entry.show = [this, &f](std::string_view typed) { showTyped(f, typed); };
    const EntryResult result = enterNumber(s_, entry, std::move(firstKey));
    if (result.end == EntryEnd::Exit) return false;
    double v = result.value;
    if (v == 0) v = 0;  // "-0" is stored as 0, not as a negative zero
    values_[i] = f.toStored(v);
    blankEntry(f);
    entered_[i] = true;
    drawValue(i, fieldHover_[i]);
    return true;
  }

  // One look at the mouse: follows the hover of every item, then acts on a
  // new click over the hovered one.
  Action mouseAction() {
    const MouseState m = s_.readMouse();
    latch_.release(m.buttons);
    for (std::size_t i = 0; i < table_.fields.size(); ++i) {
      if (field(i).zone.contains(m) == fieldHover_[i]) continue;
      fieldHover_[i] = !fieldHover_[i];
      drawValue(i, fieldHover_[i]);
    }
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
      if (over(kButtons[i], m) == buttonHover_[i]) continue;
      buttonHover_[i] = !buttonHover_[i];
      drawButton(i, buttonHover_[i]);
    }

    for (std::size_t i = 0; i < kButtons.size(); ++i) {
      if (!buttonHover_[i]) continue;
      const Click click = latch_.take(m.buttons);
      if (click == Click::None) return Action::None;
      if (i == kExit) return Action::Leave;
      if (i == kSave) return Action::Save;
      return click == Click::Left ? Action::Defaults : Action::None;  // the right button only latches
    }
    for (std::size_t i = 0; i < table_.fields.size(); ++i) {
      if (!fieldHover_[i] || latch_.take(m.buttons) != Click::Left) continue;
      if (!typeValue(i, {})) return Action::Leave;
    }
    return Action::None;
  }

  // Back at their first places, as on opening.
  void loadDefaults() {
    for (std::size_t i = 0; i < table_.fields.size(); ++i) {
      values_[i] = table_.defaults[i];
      if (entered_[i]) blankEntry(field(i));
      entered_[i] = false;
      drawValue(i, fieldHover_[i]);
    }
  }

  bool save() {
    if (hooks_.save(values_)) return true;
    s_.color(kBlack, kNoteColour);
    s_.printAt(table_.saveFailed.row, table_.saveFailed.column, table_.saveFailed.text);
    return false;
  }

  // True when the screen is to close.
  bool perform(Action action) {
    switch (action) {
      case Action::None: return false;
      case Action::Leave: return true;
      case Action::Save: return save();
      case Action::Defaults: loadDefaults(); return false;
    }
    return false;
  }

  Screen& s_;
  ClickLatch& latch_;
  const ValueScreenTable& table_;
  const ValueScreenHooks& hooks_;
  std::vector<double> values_;
  std::vector<bool> fieldHover_;
  std::array<bool, kButtons.size()> buttonHover_{};
  // Shown in its entered place since a typed value was taken.
  std::vector<bool> entered_;
};

}  // namespace

void runValueScreen(Screen& screen, ClickLatch& latch, const ValueScreenTable& table, std::span<const double> onEntry,
                    const ValueScreenHooks& hooks) {
  ValueScreen(screen, latch, table, onEntry, hooks).run();
}

}  // namespace vna
