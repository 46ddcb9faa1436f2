#include "platform/framebuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vna {

void RowSpans::merge(const RowSpans& other) {
  for (int y = other.top_; y <= other.bottom_; ++y)
    if (!other.rowEmpty(y)) add(y, other.left(y), other.right(y));
}

void RowSpans::clear() {
  for (int y = top_; y <= bottom_; ++y) {
    left_[static_cast<std::size_t>(y)] = kScreenWidth;
    right_[static_cast<std::size_t>(y)] = -1;
  }
  top_ = kScreenHeight;
  bottom_ = -1;
}

void RowSpans::fill() {
  left_.fill(0);
  right_.fill(kScreenWidth - 1);
  top_ = 0;
  bottom_ = kScreenHeight - 1;
}

namespace {

// Eight pixels at a time: the byte of the lowest (or highest) differing
// pixel from the bits of the two words' exclusive or.
std::uint64_t load8(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
constexpr bool kLittleEndian = std::endian::native == std::endian::little;
int lowestByte(std::uint64_t x) {
  return (kLittleEndian ? std::countr_zero(x) : std::countl_zero(x)) / 8;
}
int highestByte(std::uint64_t x) {
  return 7 - (kLittleEndian ? std::countl_zero(x) : std::countr_zero(x)) / 8;
}

// Whether 32 pixels from p and q differ; the compiler makes vector
// instructions of the four words.
bool blockDiffers(const std::uint8_t* p, const std::uint8_t* q) {
  return ((load8(p) ^ load8(q)) | (load8(p + 8) ^ load8(q + 8)) | (load8(p + 16) ^ load8(q + 16)) |
          (load8(p + 24) ^ load8(q + 24))) != 0;
}

}  // namespace

// Long equal stretches (a row's span is mostly equal after a scan point)
// are skipped by the library's compare, which takes wide steps.
constexpr int kStretch = 128;

int firstDifference(const std::uint8_t* a, const std::uint8_t* b, int left, int right) {
  int x = left;
  while (x + kStretch <= right + 1 && std::memcmp(a + x, b + x, kStretch) == 0) x += kStretch;
  while (x + 32 <= right + 1 && !blockDiffers(a + x, b + x)) x += 32;
  for (; x + 8 <= right + 1; x += 8) {
    if (const std::uint64_t d = load8(a + x) ^ load8(b + x)) return x + lowestByte(d);
  }
  while (x <= right && a[x] == b[x]) ++x;
  return x;
}

int lastDifference(const std::uint8_t* a, const std::uint8_t* b, int left, int right) {
  int end = right + 1;  // one past the columns still to look at
  while (end - kStretch >= left && std::memcmp(a + end - kStretch, b + end - kStretch, kStretch) == 0) end -= kStretch;
  while (end - 32 >= left && !blockDiffers(a + end - 32, b + end - 32)) end -= 32;
  for (; end - 8 >= left; end -= 8) {
    if (const std::uint64_t d = load8(a + end - 8) ^ load8(b + end - 8)) return end - 8 + highestByte(d);
  }
  while (end > left && a[end - 1] == b[end - 1]) --end;
  return end - 1;
}

ColumnSpan differingColumns(const std::uint8_t* a, const std::uint8_t* b, int left, int right) {
  const int first = firstDifference(a, b, left, right);
  if (first > right) return {};
  return {first, lastDifference(a, b, first, right)};
}

Framebuffer::Framebuffer() {
  for (auto& page : pixels_) page.assign(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
  for (auto& page : shadow_) page.assign(static_cast<std::size_t>(kTextColumns) * kTextRows, TextCell{});
  // The pages start equal (all 0); what a presenter shows is not known yet.
  for (int page = 0; page < kPageCount; ++page) differences(page, kPresented).fill();
}

void Framebuffer::fillRect(int page, int x0, int y0, int x1, int y1, std::uint8_t colour) {
  for (int y = y0; y <= y1; ++y) std::fill(row(page, y) + x0, row(page, y) + x1 + 1, colour);
  drawn_[page].addRows(y0, y1, x0, x1);
}

void Framebuffer::clear(int page) {
  std::fill(pixels_[page].begin(), pixels_[page].end(), 0);
  std::fill(shadow_[page].begin(), shadow_[page].end(), TextCell{});
  drawn_[page].fill();
}

void Framebuffer::settle(int page) {
  RowSpans& drawn = drawn_[page];
  if (drawn.empty()) return;
  for (int other = 0; other < kSurfaces; ++other)
    if (other != page) differences(page, other).merge(drawn);
  drawn.clear();
}

void Framebuffer::becomeCopy(int from, int to) {
  for (int other = 0; other < kSurfaces; ++other)
    if (other != from && other != to) differences(to, other) = differences(from, other);
  differences(from, to).clear();
}

void Framebuffer::copy(int from, int to) {
  if (from == to) return;
  settle(from);
  settle(to);
  // Only where the two pages may differ: a scan point's copies move what
  // the traces cover, not three quarters of a megabyte each.
  const RowSpans& spans = differences(from, to);
  for (int y = spans.top(); y <= spans.bottom(); ++y) {
    if (spans.rowEmpty(y)) continue;
    const int left = spans.left(y);
    std::memcpy(row(to, y) + left, row(from, y) + left, static_cast<std::size_t>(spans.right(y) - left + 1));
  }
  becomeCopy(from, to);
  shadow_[to] = shadow_[from];
}

void Framebuffer::copyArea(int from, int to, const PixelRect& area) {
  if (from == to || area.empty()) return;
  settle(from);
  settle(to);
  RowSpans& between = differences(from, to);
  const int top = std::max(area.y0, between.top()), bottom = std::min(area.y1, between.bottom());
  for (int y = top; y <= bottom; ++y) {
    const int left = std::max(area.x0, between.left(y)), right = std::min(area.x1, between.right(y));
    if (left > right) continue;
    std::memcpy(row(to, y) + left, row(from, y) + left, static_cast<std::size_t>(right - left + 1));
    // `to` now differs from every other surface where `from` may; from
    // `from` itself no longer there.
    for (int other = 0; other < kSurfaces; ++other)
      if (other != from && other != to) differences(to, other).add(y, left, right);
    between.removeColumns(y, left, right);
  }
}

std::string Framebuffer::textAt(int page, int row, int column, int length) const {
  std::string text;
  for (int c = column; c < column + length && c <= kTextColumns; ++c) {
    if (row < 1 || row > kTextRows || c < 1) continue;
    text.push_back(static_cast<char>(cell(page, row, c).ch));
  }
  return text;
}

void Framebuffer::setPaletteEntry(int index, Rgb rgb) {
  if (index < 0 || index > 255) return;
  if (palette_[static_cast<std::size_t>(index)] == rgb) return;
  palette_[static_cast<std::size_t>(index)] = rgb;
  ++paletteVersion_;
}

const RowSpans& Framebuffer::takeChanges(int page) {
  settle(page);
  taken_.clear();
  // Nothing changed: the presenter asks many times per scan point, and the
  // differences it would take over are as good as those it has.
  if (differences(page, kPresented).empty()) return taken_;
  taken_ = differences(page, kPresented);
  becomeCopy(page, kPresented);
  return taken_;
}

}  // namespace vna
