#include "files/bmp_writer.h"

namespace vna {
namespace {

static_assert(kBmpPixelOffset == 1078);
static_assert(kBmpFileSize == 787510);
// BMP rows are padded to 4 bytes; a width that is a multiple of 4 needs none.
static_assert(kScreenWidth % 4 == 0);

void put_le16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put_le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

void putHeaders(std::vector<std::uint8_t>& out) {
  // File header.
  out.push_back('B');  // signature "BM"
  out.push_back('M');
  put_le32(out, kBmpFileSize);     // file size
  put_le16(out, 0);                // reserved
  put_le16(out, 0);                // reserved
  put_le32(out, kBmpPixelOffset);  // offset of the pixel data
  // Information header.
  put_le32(out, 40);             // information header size
  put_le32(out, kScreenWidth);   // width in pixels
  put_le32(out, kScreenHeight);  // height, positive: rows bottom-up
  put_le16(out, 1);              // planes
  put_le16(out, 8);              // bits per pixel
  put_le32(out, 0);              // compression: none
  put_le32(out, 0);              // image size (may be 0 uncompressed)
  put_le32(out, 0);              // horizontal resolution
  put_le32(out, 0);              // vertical resolution
  put_le32(out, 256);            // colours used
  put_le32(out, 256);            // important colours
}

void putPalette(std::vector<std::uint8_t>& out, const Palette& palette) {
  for (const Rgb& colour : palette) {
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
}

// `rowOf(y)` gives the kScreenWidth indices of screen row y.
template <typename RowOf>
std::vector<std::uint8_t> encode(const Palette& palette, RowOf rowOf) {
  std::vector<std::uint8_t> out;
  out.reserve(kBmpFileSize);
  putHeaders(out);
  putPalette(out, palette);
  for (int y = kScreenHeight - 1; y >= 0; --y) {
    const std::uint8_t* row = rowOf(y);
    out.insert(out.end(), row, row + kScreenWidth);
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> bmpContent(std::span<const std::uint8_t, kBmpPixelCount> pixels, const Palette& palette) {
  return encode(palette, [&](int y) { return pixels.data() + static_cast<std::size_t>(y) * kScreenWidth; });
}

std::vector<std::uint8_t> bmpOfPage(const Framebuffer& framebuffer, int page) {
  Palette palette;
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = framebuffer.paletteEntry(i);
  return encode(palette, [&](int y) { return framebuffer.row(page, y); });
}

SaveResult saveBmp(const std::filesystem::path& file, const Framebuffer& framebuffer, int page) {
  return saveAtomically(file, bmpOfPage(framebuffer, page));
}

}  // namespace vna
