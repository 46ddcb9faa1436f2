#include "display/help_screen.h"

#include <string>

namespace vna {
namespace {

constexpr int kButtonRow = 45;
constexpr int kButtonColumn = 4;

// The button's zone: x strictly between 24 and 152, y from 705 to 720.
bool overButton(const MouseState& m) { return m.x > 24 && m.x < 152 && m.y >= 705 && m.y <= 720; }

void writeLines(Screen& screen, const HelpPage& page) {
  for (const HelpLine& line : page.lines) {
    screen.color(line.colour);
    screen.printAt(line.row, line.column, line.text);
  }
}

}  // namespace

void helpScreen(Screen& screen, ClickLatch& latch, const HelpPage& page) {
  screen.color(15, 0);
  screen.clearPage();
  writeLines(screen, page);
  screen.color(1, 0);
  screen.printAt(kButtonRow, kButtonColumn, "Exit Help (Esc)");

  bool hovered = false;
  for (;;) {
    const std::string key = screen.readKey();
    if (key.size() == 1 && key[0] == key::kEsc) break;
    screen.sleep(page.pauseMs);
    const MouseState mouse = screen.readMouse();
    latch.release(mouse.buttons);
    const bool over = overButton(mouse);
    if (over != hovered) {
      hovered = over;
      if (hovered) {
        screen.color(0, 1);
      } else {
        screen.color(1, 0);
      }
      screen.printAt(kButtonRow, kButtonColumn, "Exit Help (ESC)");
    }
    if (hovered && latch.take(mouse.buttons) != Click::None) break;
  }
  screen.color(15, 0);
}

}  // namespace vna
