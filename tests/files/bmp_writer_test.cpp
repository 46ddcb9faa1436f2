#include "files/bmp_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// Every palette entry and every pixel encodes its position, so a swapped
// colour channel or a row stored top-down shows at once.
Palette positionPalette() {
  Palette palette;
  for (int i = 0; i < 256; ++i) {
    palette[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                            static_cast<std::uint8_t>(i / 2)};
  }
  return palette;
}
std::uint8_t positionPixel(int x, int y) {
  return static_cast<std::uint8_t>(x + 3 * y);
}

TEST(BmpWriter, HeaderPaletteAndBottomUpRowsAsTheLayoutTable) {
  std::vector<std::uint8_t> pixels(kBmpPixelCount);
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) pixels[static_cast<std::size_t>(y * kScreenWidth + x)] = positionPixel(x, y);
  }
  const Bytes file = bmpContent(std::span<const std::uint8_t, kBmpPixelCount>(pixels), positionPalette());
  ASSERT_EQ(file.size(), 787510u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  const struct {
    std::size_t offset;
    int size;
    std::uint32_t value;
  } fields[] = {{2, 4, 787510}, {6, 2, 0},    {8, 2, 0},  {10, 4, 1078}, {14, 4, 40},
                {18, 4, 1024},  {22, 4, 768}, {26, 2, 1}, {28, 2, 8},    {30, 4, 0},
                {34, 4, 0},     {38, 4, 0},   {42, 4, 0}, {46, 4, 256},  {50, 4, 256}};
  for (const auto& f : fields) EXPECT_EQ(le(file, f.offset, f.size), f.value) << "offset " << f.offset;
  for (const std::size_t i : {0u, 1u, 15u, 128u, 255u}) {
    EXPECT_EQ(file[54 + 4 * i], i / 2) << i;    // blue
    EXPECT_EQ(file[55 + 4 * i], 255 - i) << i;  // green
    EXPECT_EQ(file[56 + 4 * i], i) << i;        // red
    EXPECT_EQ(file[57 + 4 * i], 0) << i;
  }
  for (const auto& [x, y] : {std::pair{0, 0}, {1023, 0}, {0, 767}, {1023, 767}, {17, 301}}) {
    EXPECT_EQ(file[1078 + static_cast<std::size_t>((767 - y) * 1024 + x)], positionPixel(x, y)) << x << "," << y;
  }
}

TEST(BmpWriter, CopiesTheGivenPageWithThePaletteInForceAndReplacesALongerFile) {
  Framebuffer fb;
  fb.setPaletteEntry(14, {255, 255, 85});
  fb.setPixel(1, 3, 5, 14);
  fb.setPixel(0, 3, 5, 9);  // another page: not in the copy
  TempDir dir;
  const fs::path file = dir.path() / "screen.bmp";
  writeFile(file, Bytes(900000, 0xAA));
  ASSERT_TRUE(saveBmp(file, fb, 1));
  const Bytes bytes = readFile(file);
  ASSERT_EQ(bytes.size(), kBmpFileSize);
  EXPECT_EQ(bytes, bmpOfPage(fb, 1));
  EXPECT_EQ(bytes[1078 + (767 - 5) * 1024 + 3], 14);
  EXPECT_EQ((Bytes{bytes.begin() + 54 + 4 * 14, bytes.begin() + 54 + 4 * 15}), (Bytes{85, 255, 255, 0}));
}

}  // namespace
}  // namespace vna
