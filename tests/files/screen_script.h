// A user in front of one of the full-screen edit screens (Reference Load,
// Adjustment, Serial Port Setting) on the headless backend, and what the
// tests of those screens check about the settings file behind them.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "display/click_latch.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "tests/scheduled_checks.h"

namespace vna::testing {

// 26 bytes that each differ from their neighbours, so a stray write shows.
inline const std::vector<std::uint8_t> kDistinctiveSettings = {
    0x21, 0x28, 0x2F, 0x36, 0x3D, 0x44, 0x4B, 0x52, 0x59, 0x60, 0x67, 0x6E, 0x75,
    0x7C, 0x83, 0x8A, 0x91, 0x98, 0x9F, 0xA6, 0xAD, 0xB4, 0xBB, 0xC2, 0xC9, 0xD0};

// The bytes with a 32-bit value put little-endian at `offset`, by hand.
inline std::vector<std::uint8_t> withWord(std::vector<std::uint8_t> bytes, std::size_t offset, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return bytes;
}
inline std::vector<std::uint8_t> withFloat(std::vector<std::uint8_t> bytes, std::size_t offset, float v) {
  return withWord(std::move(bytes), offset, std::bit_cast<std::uint32_t>(v));
}

struct ScreenScript {
  HeadlessBackend backend{60.0};
  Screen screen{backend};
  ClickLatch latch;
  double t = 0;

  // The script runs in steps 0.1 s apart; "\r" in typed text is Enter.
  double next() { return t += 0.1; }
  void key(const std::string& k) { backend.keyAt(next(), k); }
  void keys(std::string_view text) { backend.keysAt(next(), text); }
  void click(int x, int y, int button = 1) { backend.clickAt(next(), x, y, button); }
  void move(int x, int y) { backend.mouseAt(next(), x, y); }
  ScheduledChecks checks{backend};
  void check(std::function<void()> f) { checks.at(next(), std::move(f)); }

  using Colours = std::pair<int, int>;  // foreground, background
  Colours colours(int row, int column) const {
    const TextCell& c = screen.framebuffer().cell(0, row, column);
    return {c.fg, c.bg};
  }
  void expectText(int row, int column, Colours colour, std::string_view text) const {
    EXPECT_EQ(screen.textAt(row, column, static_cast<int>(text.size())), text) << "row " << row;
    for (int i = 0; i < static_cast<int>(text.size()); ++i)
      EXPECT_EQ(colours(row, column + i), colour) << "row " << row << " column " << column + i;
  }
};

}  // namespace vna::testing
