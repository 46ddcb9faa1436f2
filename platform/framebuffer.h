// Storage of the screen: three pages of 8-bit palette indices, the palette,
// and beside each page a text shadow (the byte and colours last printed in
// every cell) that tests read the screen through.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
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

// A rectangle of pixels, edges included.
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = kScreenWidth - 1, y1 = kScreenHeight - 1;
  bool empty() const { return x0 > x1 || y0 > y1; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};
inline constexpr PixelRect kWholeScreen{};

// Per pixel row, one run of columns [left, right] that covers every pixel
// that may have changed; a row whose left > right has none. A superset:
// whoever reads it compares or copies only there.
class RowSpans {
 public:
  RowSpans() {
    left_.fill(kScreenWidth);
    right_.fill(-1);
  }

  bool empty() const { return top_ > bottom_; }
  int top() const { return top_; }        // first row with a span (kScreenHeight when empty)
  int bottom() const { return bottom_; }  // last row with a span (-1 when empty)
  int left(int y) const { return left_[static_cast<std::size_t>(y)]; }
  int right(int y) const { return right_[static_cast<std::size_t>(y)]; }
  bool rowEmpty(int y) const { return left(y) > right(y); }

  // Coordinates pre-clipped to the screen.
  void add(int y, int x0, int x1) {
    const auto i = static_cast<std::size_t>(y);
    left_[i] = std::min<std::int16_t>(left_[i], static_cast<std::int16_t>(x0));
    right_[i] = std::max<std::int16_t>(right_[i], static_cast<std::int16_t>(x1));
    top_ = std::min(top_, y);
    bottom_ = std::max(bottom_, y);
  }
  void addRows(int y0, int y1, int x0, int x1) {
    for (auto i = static_cast<std::size_t>(y0); i <= static_cast<std::size_t>(y1); ++i) {
      left_[i] = std::min<std::int16_t>(left_[i], static_cast<std::int16_t>(x0));
      right_[i] = std::max<std::int16_t>(right_[i], static_cast<std::int16_t>(x1));
    }
    top_ = std::min(top_, y0);
    bottom_ = std::max(bottom_, y1);
  }
  // Columns x0..x1 of row y are known to be equal now: the span shrinks
  // when they cover one of its ends (a hole in its middle it cannot hold).
  void removeColumns(int y, int x0, int x1) {
    const auto i = static_cast<std::size_t>(y);
    if (x0 <= left_[i] && x1 >= right_[i]) {
      left_[i] = kScreenWidth;
      right_[i] = -1;
    } else if (x0 <= left_[i] && x1 >= left_[i]) {
      left_[i] = static_cast<std::int16_t>(x1 + 1);
    } else if (x0 <= right_[i] && x1 >= right_[i]) {
      right_[i] = static_cast<std::int16_t>(x0 - 1);
    }
  }
  void merge(const RowSpans& other);
  void clear();
  void fill();  // every row whole

 private:
  std::array<std::int16_t, kScreenHeight> left_, right_;
  int top_ = 0, bottom_ = -1;
};

// The first and last column in [left, right] where two rows of pixels
// differ; empty (first > last) when they are equal there.
struct ColumnSpan {
  int first = kScreenWidth, last = -1;
  bool empty() const { return first > last; }
};
ColumnSpan differingColumns(const std::uint8_t* a, const std::uint8_t* b, int left, int right);
// The first column in [left, right] where they differ, right + 1 if none;
// the last, left - 1 if none. Both skip equal pixels 32 at a time.
int firstDifference(const std::uint8_t* a, const std::uint8_t* b, int left, int right);
int lastDifference(const std::uint8_t* a, const std::uint8_t* b, int left, int right);

// Changes are tracked, not searched for: beside the pages the framebuffer
// keeps, for every two of the three pages and of "what the presenter was
// last given", the spans where they may differ. A page copy then copies only
// those spans and compares nothing, and the presenter compares only where a
// page may differ from what the window shows, after a scan point a sliver
// of each row rather than three whole pages.
class Framebuffer {
 public:
  Framebuffer();

  // Writing through row() must be followed by markChanged() for what it wrote.
  std::uint8_t* row(int page, int y) { return &pixels_[page][static_cast<std::size_t>(y) * kScreenWidth]; }
  const std::uint8_t* row(int page, int y) const {
    return &pixels_[page][static_cast<std::size_t>(y) * kScreenWidth];
  }
  std::uint8_t pixel(int page, int x, int y) const { return row(page, y)[x]; }
  void setPixel(int page, int x, int y, std::uint8_t colour) {  // pre-clipped
    row(page, y)[x] = colour;
    drawn_[static_cast<std::size_t>(page)].add(y, x, x);
  }
  void fillRect(int page, int x0, int y0, int x1, int y1, std::uint8_t colour);  // inclusive, pre-clipped
  void clear(int page);
  void copy(int from, int to);
  // The pixels of `area` (pre-clipped) only; the text shadow is left as it is.
  void copyArea(int from, int to, const PixelRect& area);
  // The text shadow only.
  void copyText(int from, int to) { shadow_[to] = shadow_[from]; }

  TextCell& cell(int page, int row, int column) { return shadow_[page][index(row, column)]; }
  const TextCell& cell(int page, int row, int column) const { return shadow_[page][index(row, column)]; }
  // Text of `length` cells from (row, column), both counted from 1.
  std::string textAt(int page, int row, int column, int length) const;

  const Rgb& paletteEntry(int index) const { return palette_[static_cast<std::size_t>(index)]; }
  void setPaletteEntry(int index, Rgb rgb);
  std::uint64_t paletteVersion() const { return paletteVersion_; }

  // Pixels x0..x1 of rows y0..y1 (pre-clipped) of `page` were written.
  void markChanged(int page, int x0, int y0, int x1, int y1) { drawn_[page].addRows(y0, y1, x0, x1); }
  // Where `page` may differ from what the presenter was last given, which
  // from now on is this page as it is. Valid until the next call.
  const RowSpans& takeChanges(int page);

 private:
  static constexpr int kPresented = kPageCount;  // the presenter's copy, as a fourth surface
  static constexpr int kSurfaces = kPageCount + 1;
  RowSpans& differences(int a, int b) { return differences_[pairIndex(a, b)]; }
  static std::size_t pairIndex(int a, int b) {  // 0..5 for the six pairs a < b
    if (a > b) std::swap(a, b);
    return static_cast<std::size_t>(a * (2 * kSurfaces - a - 1) / 2 + (b - a - 1));
  }
  // Folds what was drawn on `page` into its differences with every other surface.
  void settle(int page);
  // `to` now holds what `from` holds.
  void becomeCopy(int from, int to);

  static std::size_t index(int row, int column) {
    return static_cast<std::size_t>(row - 1) * kTextColumns + static_cast<std::size_t>(column - 1);
  }
  std::array<std::vector<std::uint8_t>, kPageCount> pixels_;
  std::array<std::vector<TextCell>, kPageCount> shadow_;
  std::array<Rgb, 256> palette_{};
  std::array<RowSpans, kPageCount> drawn_{};  // drawn since the page last settled
  std::array<RowSpans, kSurfaces * (kSurfaces - 1) / 2> differences_{};  // by pairIndex
  RowSpans taken_;  // what takeChanges last gave
  std::uint64_t paletteVersion_ = 0;
};

}  // namespace vna
