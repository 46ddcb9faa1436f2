#include "platform/framebuffer.h"

#include <algorithm>
#include <cstring>

namespace vna {

void DirtyRows::add(int y0, int y1) {
  top = std::min(top, std::max(0, y0));
  bottom = std::max(bottom, std::min(kScreenHeight - 1, y1));
}

Framebuffer::Framebuffer() {
  for (auto& page : pixels_) page.assign(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
  for (auto& page : shadow_) page.assign(static_cast<std::size_t>(kTextColumns) * kTextRows, TextCell{});
}

void Framebuffer::setPixel(int page, int x, int y, std::uint8_t colour) {
  row(page, y)[x] = colour;
  dirty_[page].add(y, y);
}

void Framebuffer::fillRect(int page, int x0, int y0, int x1, int y1, std::uint8_t colour) {
  for (int y = y0; y <= y1; ++y) std::fill(row(page, y) + x0, row(page, y) + x1 + 1, colour);
  dirty_[page].add(y0, y1);
}

void Framebuffer::clear(int page) {
  std::fill(pixels_[page].begin(), pixels_[page].end(), 0);
  std::fill(shadow_[page].begin(), shadow_[page].end(), TextCell{});
  dirty_[page].add(0, kScreenHeight - 1);
}

void Framebuffer::copy(int from, int to) {
  if (from == to) return;
  // Only rows that differ count as changed, so that the window is sent what
  // a scan point really changed and not the whole screen.
  for (int y = 0; y < kScreenHeight; ++y) {
    std::uint8_t* target = row(to, y);
    const std::uint8_t* source = row(from, y);
    if (std::memcmp(target, source, kScreenWidth) != 0) {
      std::memcpy(target, source, kScreenWidth);
      dirty_[to].add(y, y);
    }
  }
  shadow_[to] = shadow_[from];
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

DirtyRows Framebuffer::takeDirty(int page) {
  DirtyRows rows = dirty_[page];
  dirty_[page] = DirtyRows{};
  return rows;
}

}  // namespace vna
