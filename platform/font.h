// The 8x16 code page 437 screen font (generated at build time from a VGA
// console font).
#pragma once

#include <array>
#include <cstdint>

namespace vna {

struct Glyph {
  std::array<std::uint8_t, 16> rows;  // top to bottom, most significant bit leftmost
};

extern const Glyph kCp437Font[256];

}  // namespace vna
