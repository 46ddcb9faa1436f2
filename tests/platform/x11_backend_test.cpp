#include "platform/x11_backend.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace vna {
namespace {

std::string one(int code) {
  return std::string(1, static_cast<char>(code));
}

TEST(X11KeyText, ExtendedKeysGiveTheirPcScanCodes) {
  EXPECT_EQ(keyTextFor(XK_F1, ""), extendedKey(59));
  EXPECT_EQ(keyTextFor(XK_F2, ""), extendedKey(key::kF2));
  EXPECT_EQ(keyTextFor(XK_F4, ""), extendedKey(key::kF4));
  EXPECT_EQ(keyTextFor(XK_F5, ""), extendedKey(key::kF5));
  EXPECT_EQ(keyTextFor(XK_F10, ""), extendedKey(68));
  EXPECT_EQ(keyTextFor(XK_F11, ""), extendedKey(87));
  EXPECT_EQ(keyTextFor(XK_F12, ""), extendedKey(88));
  EXPECT_EQ(keyTextFor(XK_Home, ""), extendedKey(71));
  EXPECT_EQ(keyTextFor(XK_Up, ""), extendedKey(72));
  EXPECT_EQ(keyTextFor(XK_Prior, ""), extendedKey(73));
  EXPECT_EQ(keyTextFor(XK_Left, ""), extendedKey(75));
  EXPECT_EQ(keyTextFor(XK_Right, ""), extendedKey(77));
  EXPECT_EQ(keyTextFor(XK_End, ""), extendedKey(79));
  EXPECT_EQ(keyTextFor(XK_Down, ""), extendedKey(80));
  EXPECT_EQ(keyTextFor(XK_Next, ""), extendedKey(81));
  EXPECT_EQ(keyTextFor(XK_Insert, ""), extendedKey(82));
  // Delete must not pass on the 127 that XLookupString makes of it.
  EXPECT_EQ(keyTextFor(XK_Delete, "\x7f"), extendedKey(83));
  // The keypad's cursor keys (NumLock off) are the same keys.
  EXPECT_EQ(keyTextFor(XK_KP_Home, ""), extendedKey(71));
  EXPECT_EQ(keyTextFor(XK_KP_Next, ""), extendedKey(81));
  EXPECT_EQ(keyTextFor(XK_KP_Delete, ""), extendedKey(83));
  EXPECT_EQ(keyTextFor(XK_F13, ""), "");  // no PC scan code to give
}

TEST(X11KeyText, OrdinaryKeysGiveOneByte) {
  EXPECT_EQ(keyTextFor(XK_BackSpace, "\b"), one(key::kBackspace));
  EXPECT_EQ(keyTextFor(XK_Return, "\r"), one(key::kEnter));
  EXPECT_EQ(keyTextFor(XK_KP_Enter, "\r"), one(key::kEnter));
  EXPECT_EQ(keyTextFor(XK_Escape, "\x1b"), one(key::kEsc));
  EXPECT_EQ(keyTextFor(XK_space, " "), one(key::kSpace));
  EXPECT_EQ(keyTextFor(XK_v, "\x16"), one(key::kCtrlV));  // Ctrl held
  EXPECT_EQ(keyTextFor(XK_A, "A"), "A");
  EXPECT_EQ(keyTextFor(XK_KP_7, "7"), "7");  // keypad digits with NumLock on
  EXPECT_EQ(keyTextFor(XK_period, "."), ".");
  EXPECT_EQ(keyTextFor(XK_Shift_L, ""), "");  // modifiers alone are no key
  EXPECT_EQ(keyTextFor(XK_Control_L, ""), "");
}

TEST(X11TrueColor, PaletteColoursFitEveryChannelLayout) {
  // 8-8-8 (the usual 24-bit visual) keeps every value.
  EXPECT_EQ(trueColorPixel({0, 76, 76}, 0xFF0000, 0x00FF00, 0x0000FF), 0x004C4Cu);
  EXPECT_EQ(trueColorPixel({252, 228, 184}, 0xFF0000, 0x00FF00, 0x0000FF), 0xFCE4B8u);
  // Channels swapped (BGR): a swap would show red as blue.
  EXPECT_EQ(trueColorPixel({252, 84, 84}, 0x0000FF, 0x00FF00, 0xFF0000), 0x5454FCu);
  // 5-6-5: white fills every bit, black none, mid grey rounds to the middle.
  EXPECT_EQ(trueColorPixel({255, 255, 255}, 0xF800, 0x07E0, 0x001F), 0xFFFFu);
  EXPECT_EQ(trueColorPixel({0, 0, 0}, 0xF800, 0x07E0, 0x001F), 0u);
  EXPECT_EQ(trueColorPixel({0, 76, 76}, 0xF800, 0x07E0, 0x001F), (0u << 11) | (19u << 5) | 9u);
  // 5-5-5 and 10-10-10 (deep colour).
  EXPECT_EQ(trueColorPixel({255, 0, 128}, 0x7C00, 0x03E0, 0x001F), (31u << 10) | 16u);
  EXPECT_EQ(trueColorPixel({255, 0, 0}, 0x3FF00000, 0x000FFC00, 0x000003FF), 0x3FF00000u);
  EXPECT_EQ(trueColorPixel({1, 2, 3}, 0, 0, 0), 0u);  // a visual without masks gives black, not garbage
}

TEST(X11Backend, ReportsAMissingDisplayInsteadOfCrashing) {
  X11Backend backend("no display", ":4999");
  EXPECT_FALSE(backend.ok());
  EXPECT_NE(backend.error().find("cannot open the X display"), std::string::npos) << backend.error();
}

}  // namespace
}  // namespace vna
