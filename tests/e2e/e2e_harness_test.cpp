// The screenshot decoder the pixel checks of the end-to-end tests rely on:
// a fault here would make them pass or fail for the wrong reason.
#include "tests/e2e/e2e_harness.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vna::e2e {
namespace {

struct XwdLayout {
  std::uint32_t bitsPerPixel = 32;
  std::uint32_t byteOrder = 0;  // 0 LSBFirst, 1 MSBFirst
  std::uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
  std::uint32_t visualClass = 4;  // TrueColor
  std::uint32_t colours = 2;      // colormap entries stored after the header
};

void putBe32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A 3 x 2 dump whose pixel values encode their position: value 0x010203 *
// (1 + x + 3y) spreads over all three channels.
std::string makeXwd(const XwdLayout& l, const std::vector<std::uint32_t>& pixels) {
  const std::uint32_t width = 3, height = 2, bytesPerPixel = l.bitsPerPixel / 8;
  const std::uint32_t bytesPerLine = (width * bytesPerPixel + 3) / 4 * 4;  // padded to 32 bits
  const std::string name = "win";
  std::string out;
  putBe32(out, 100 + static_cast<std::uint32_t>(name.size()) + 1);  // header size
  putBe32(out, 7);                                                  // file version
  putBe32(out, 2);                                                  // ZPixmap
  putBe32(out, l.bitsPerPixel == 32 ? 24 : l.bitsPerPixel);         // depth
  putBe32(out, width);
  putBe32(out, height);
  putBe32(out, 0);  // x offset
  putBe32(out, l.byteOrder);
  putBe32(out, 32);  // bitmap unit
  putBe32(out, 0);   // bitmap bit order
  putBe32(out, 32);  // bitmap pad
  putBe32(out, l.bitsPerPixel);
  putBe32(out, bytesPerLine);
  putBe32(out, l.visualClass);
  putBe32(out, l.redMask);
  putBe32(out, l.greenMask);
  putBe32(out, l.blueMask);
  putBe32(out, 8);  // bits per rgb
  putBe32(out, l.colours);
  putBe32(out, l.colours);  // colours stored
  putBe32(out, width);
  putBe32(out, height);
  for (int i = 0; i < 3; ++i) putBe32(out, 0);  // window x, y, border
  out += name;
  out.push_back('\0');
  out.append(12 * l.colours, '\x55');  // colormap entries, unused for TrueColor
  for (std::uint32_t y = 0; y < height; ++y) {
    std::string line;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[y * width + x];
      for (std::uint32_t k = 0; k < bytesPerPixel; ++k) {
        const std::uint32_t shift = l.byteOrder == 0 ? 8 * k : 8 * (bytesPerPixel - 1 - k);
        line.push_back(static_cast<char>((p >> shift) & 0xFF));
      }
    }
    line.resize(bytesPerLine, '\0');
    out += line;
  }
  return out;
}

std::vector<std::uint32_t> positionPixels() {
  std::vector<std::uint32_t> p;
  for (std::uint32_t i = 1; i <= 6; ++i) p.push_back(0x010203 * i);
  return p;
}

void expectPositions(const Image& image) {
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const int i = 1 + x + 3 * y;
      EXPECT_EQ(image.at(x, y),
                (Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i), static_cast<std::uint8_t>(3 * i)}))
          << "pixel " << x << "," << y;
    }
}

TEST(XwdDecoder, ReadsTrueColorDumpsInEitherByteOrder) {
  std::string why;
  for (const std::uint32_t bits : {32u, 24u}) {
    for (const std::uint32_t order : {0u, 1u}) {
      XwdLayout layout;
      layout.bitsPerPixel = bits;
      layout.byteOrder = order;
      const auto image = decodeXwd(makeXwd(layout, positionPixels()), why);
      ASSERT_TRUE(image) << bits << " bits, order " << order << ": " << why;
      expectPositions(*image);
    }
  }
}

TEST(XwdDecoder, ScalesNarrowChannelsAndFollowsTheMasks) {
  std::string why;
  XwdLayout rgb565;
  rgb565.bitsPerPixel = 16;
  rgb565.redMask = 0xF800;
  rgb565.greenMask = 0x07E0;
  rgb565.blueMask = 0x001F;
  const auto image = decodeXwd(makeXwd(rgb565, {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0000, 0x8410}), why);
  ASSERT_TRUE(image) << why;
  EXPECT_EQ(image->at(0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(image->at(1, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(image->at(2, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(image->at(0, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(image->at(1, 1), (Rgb{0, 0, 0}));
  EXPECT_EQ(image->at(2, 1), (Rgb{132, 130, 132}));  // 16/31, 32/63, 16/31 of full scale

  XwdLayout bgr;
  bgr.redMask = 0x0000FF;
  bgr.blueMask = 0xFF0000;
  const auto swapped = decodeXwd(makeXwd(bgr, positionPixels()), why);
  ASSERT_TRUE(swapped) << why;
  EXPECT_EQ(swapped->at(0, 0), (Rgb{3, 2, 1}));
}

TEST(XwdDecoder, RefusesWhatItCannotReadWithAReason) {
  const std::string good = makeXwd(XwdLayout{}, positionPixels());
  std::string why;
  EXPECT_FALSE(decodeXwd("", why));
  EXPECT_FALSE(why.empty());
  why.clear();
  EXPECT_FALSE(decodeXwd(good.substr(0, good.size() - 1), why)) << "truncated pixels";
  EXPECT_FALSE(why.empty());
  XwdLayout pseudo;
  pseudo.visualClass = 3;  // PseudoColor needs the colormap, which tests never meet
  EXPECT_FALSE(decodeXwd(makeXwd(pseudo, positionPixels()), why));
  std::string badVersion = good;
  badVersion[7] = 6;
  EXPECT_FALSE(decodeXwd(badVersion, why));
  // A colormap count that points far beyond the data must not be followed.
  std::string hugeColours = good;
  for (int i = 0; i < 4; ++i) hugeColours[4 * 19 + i] = '\xFF';
  EXPECT_FALSE(decodeXwd(hugeColours, why));
}

TEST(ImageRegions, AnyOtherThanLooksAtTheWholeRectangleAndOnlyThere) {
  Image image;
  image.width = 4;
  image.height = 3;
  image.pixels.assign(12, Rgb{});
  image.pixels[2 * 4 + 3] = Rgb{1, 0, 0};  // bottom right corner
  EXPECT_TRUE(image.anyOtherThan(0, 0, 3, 2, Rgb{}));
  EXPECT_TRUE(image.anyOtherThan(3, 2, 3, 2, Rgb{}));
  EXPECT_FALSE(image.anyOtherThan(0, 0, 2, 2, Rgb{}));
  EXPECT_FALSE(image.anyOtherThan(0, 0, 3, 1, Rgb{}));
  EXPECT_TRUE(image.anyOtherThan(-5, -5, 50, 50, Rgb{}));  // clipped, not out of bounds
}

}  // namespace
}  // namespace vna::e2e
