// Storage of the screen: three pages of 8-bit palette indices, the palette,
// and beside each page a text shadow (the byte and colours last printed in
// every cell) that tests read the screen through.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vna {

inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;
inline constexpr int kPageCount = 3;
inline constexpr int kCellWidth = 8;
inline constexpr int kCellHeight = 16;
inline constexpr int kTextColumns = kScreenWidth / kCellWidth;  // 128
inline constexpr int kTextRows = kScreenHeight / kCellHeight;   // 48

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct TextCell {
  std::uint8_t ch = ' ';
  std::uint8_t fg = 0;
  std::uint8_t bg = 0;
  friend bool operator==(const TextCell&, const TextCell&) = default;
};

// Rows of a page changed since a presenter last looked.
struct DirtyRows {
  int top = kScreenHeight;  // empty when top > bottom
  int bottom = -1;
  bool empty() const { return top > bottom; }
  void add(int y0, int y1);
};

class Framebuffer {
 public:
  Framebuffer();

  std::uint8_t* row(int page, int y) { return &pixels_[page][static_cast<std::size_t>(y) * kScreenWidth]; }
  const std::uint8_t* row(int page, int y) const {
    return &pixels_[page][static_cast<std::size_t>(y) * kScreenWidth];
  }
  std::uint8_t pixel(int page, int x, int y) const { return row(page, y)[x]; }
  void setPixel(int page, int x, int y, std::uint8_t colour);
  void fillRect(int page, int x0, int y0, int x1, int y1, std::uint8_t colour);  // inclusive, pre-clipped
  void clear(int page);
  void copy(int from, int to);

  TextCell& cell(int page, int row, int column) { return shadow_[page][index(row, column)]; }
  const TextCell& cell(int page, int row, int column) const { return shadow_[page][index(row, column)]; }
  // Text of `length` cells from (row, column), both counted from 1.
  std::string textAt(int page, int row, int column, int length) const;

  const Rgb& paletteEntry(int index) const { return palette_[static_cast<std::size_t>(index)]; }
  void setPaletteEntry(int index, Rgb rgb);
  std::uint64_t paletteVersion() const { return paletteVersion_; }

  void markDirty(int page, int y0, int y1) { dirty_[page].add(y0, y1); }
  DirtyRows takeDirty(int page);

 private:
  static std::size_t index(int row, int column) {
    return static_cast<std::size_t>(row - 1) * kTextColumns + static_cast<std::size_t>(column - 1);
  }
  std::array<std::vector<std::uint8_t>, kPageCount> pixels_;
  std::array<std::vector<TextCell>, kPageCount> shadow_;
  std::array<Rgb, 256> palette_{};
  std::array<DirtyRows, kPageCount> dirty_{};
  std::uint64_t paletteVersion_ = 0;
};

}  // namespace vna
