#include "files/serial_port_screen.h"

#include <string>
#include <string_view>

#include "files/settings_file.h"

namespace vna {
namespace {

constexpr int kNumberRow = 8;
constexpr int kNumberColumn = 52;
constexpr int kButtonRow = 45;
constexpr int kPassMs = 3;

struct Button {
  int column;
  std::string_view label;
  int xLeft, xRight;  // exclusive pixel bounds
};
constexpr Button kExitButton{4, "Exit (ESC)", 24, 120};
constexpr Button kSaveButton{55, "Save and Exit (F4)", 432, 584};
constexpr int kButtonTop = 704;  // exclusive pixel bounds of both buttons
constexpr int kButtonBottom = 721;

bool over(const Button& button, const MouseState& m) {
  return m.y > kButtonTop && m.y < kButtonBottom && m.x > button.xLeft && m.x < button.xRight;
}

void drawButton(Screen& screen, const Button& button, bool hovered) {
  if (hovered) {
    screen.color(0, 1);
  } else {
    screen.color(1, 0);
  }
  screen.printAt(kButtonRow, button.column, button.label);
}

// Shows the edit copy black on colour 15; cells the previous, longer number
// used are blanked so no stale digit reads as part of the new number.
int showNumber(Screen& screen, std::int16_t number, int previousWidth) {
  const std::string text = formatNumber(number);
  const int width = static_cast<int>(text.size());
  screen.color(0, 15);
  screen.printAt(kNumberRow, kNumberColumn, text);
  if (previousWidth > width) {
    screen.color(15, 0);
    screen.print(std::string(static_cast<std::size_t>(previousWidth - width), ' '));
  }
  return width;
}

void drawScreen(Screen& screen) {
  screen.color(15, 0);
  screen.clearPage();
  screen.color(14, 0);
  screen.printAt(5, 40, "Serial Port Setting");
  screen.color(15, 0);
  screen.printAt(8, 43, "ttyUSB :   ");
  screen.color(6, 0);
  screen.printAt(20, 5, "Within  /dev/  directory ");
  screen.printAt(21, 5,
                 "find the name of the file used to talk to the FT232R USB Serial Port : ttyUSB0 or ttyUSB1 or "
                 "ttyUSB2 ...etc");
  screen.printAt(23, 5, "Write this file name in this menu, then Save & Exit ");
  drawButton(screen, kExitButton, false);
  drawButton(screen, kSaveButton, false);
}

bool isF4(const std::string& key) {
  return key.size() == 2 && static_cast<unsigned char>(key[0]) == key::kExtended &&
         static_cast<unsigned char>(key[1]) == key::kF4;
}

void save(Screen& screen, const std::filesystem::path& settingsFile, std::int16_t number) {
  if (writePortNumber(settingsFile, number)) return;
  screen.color(0, 6);
  screen.printAt(25, 5, kSettingsNotWritten);
  screen.sleep(2000);
}

enum class Leave { WithoutSaving, Saving };

// The polling loop: keys, then the two buttons, then the pause.
Leave editLoop(Screen& screen, ClickLatch& latch, std::int16_t& edit) {
  int shownWidth = showNumber(screen, edit, 0);
  bool exitHovered = false, saveHovered = false;
  for (;;) {
    const std::string key = screen.readKey();
    if (key.size() == 1 && key[0] == key::kEsc) return Leave::WithoutSaving;
    if (isF4(key)) return Leave::Saving;
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
      edit = static_cast<std::int16_t>(key[0] - '0');
      shownWidth = showNumber(screen, edit, shownWidth);
    }

    const MouseState mouse = screen.readMouse();
    latch.release(mouse.buttons);
    const bool onExit = over(kExitButton, mouse);
    const bool onSave = over(kSaveButton, mouse);
    if (onExit != exitHovered) {
      exitHovered = onExit;
      drawButton(screen, kExitButton, exitHovered);
    }
    if (onSave != saveHovered) {
      saveHovered = onSave;
      drawButton(screen, kSaveButton, saveHovered);
    }
    if ((onExit || onSave) && latch.take(mouse.buttons) != Click::None)
      return onExit ? Leave::WithoutSaving : Leave::Saving;
    screen.sleep(kPassMs);
  }
}

}  // namespace

void serialPortScreen(Screen& screen, ClickLatch& latch, const std::filesystem::path& settingsFile,
                      std::int16_t& portNumberInUse) {
  drawScreen(screen);
  // The edit copy starts from the file; without a valid file, from the number in use.
  SettingsFile fallback;
  fallback.portNumber = portNumberInUse;
  std::int16_t edit = readSettings(settingsFile).value_or(fallback).portNumber;
  if (editLoop(screen, latch, edit) == Leave::Saving) {
    // The chosen device is used for this run even if the file cannot keep it.
    portNumberInUse = edit;
    save(screen, settingsFile, edit);
  }
  screen.color(15, 0);
}

}  // namespace vna
