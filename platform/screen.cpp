#include "platform/screen.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/font.h"
#include "platform/numeric.h"

namespace vna {
namespace {

std::uint8_t colourIndex(int colour) { return static_cast<std::uint8_t>(colour & 0xFF); }

// Floor of a / b for b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool finite(double a, double b, double c, double d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

std::string formatPicture(std::string_view picture, double value) {
  const std::size_t width = picture.size();
  const std::size_t point = picture.find('.');
  int decimals = point == std::string_view::npos ? 0 : static_cast<int>(width - point - 1);
  std::string digits;
  if (std::isnan(value)) {
    digits = "nan";
  } else if (std::isinf(value)) {
    digits = value > 0 ? "inf" : "-inf";
  } else {
    // A value too wide for the picture (a file's 2.1 GHz in "#########.##")
    // gives up decimals, then its point, before it gives up being shown.
    for (;; --decimals) {
      char buffer[400];
      std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
      digits = buffer;
      // A value that rounds to zero is printed without a sign.
      if (digits[0] == '-' && digits.find_first_not_of("-0.") == std::string::npos) digits.erase(0, 1);
      if (digits.size() <= width || decimals == 0) break;
    }
  }
  if (digits.size() > width) return std::string(width, '*');  // no digits that are not the value
  return std::string(width - digits.size(), ' ') + digits;
}

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? " nan" : (value > 0 ? " inf" : "-inf");
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.16g", value);
  }
  std::string text = buffer;
  if (text == "-0") text = "0";
  return text[0] == '-' ? text : " " + text;
}

void Screen::setPalette(int index, int r, int g, int b) {
  fb_.setPaletteEntry(index, Rgb{colourIndex(r), colourIndex(g), colourIndex(b)});
}

void Screen::setPages(int drawing, int shown) {
  drawing_ = clampPage(drawing);
  shown_ = clampPage(shown);
}

void Screen::copyPage(int from, int to) { fb_.copy(clampPage(from), clampPage(to)); }

namespace {

PixelRect onScreen(const PixelRect& area) {
  return {std::max(area.x0, 0), std::max(area.y0, 0), std::min(area.x1, kScreenWidth - 1),
          std::min(area.y1, kScreenHeight - 1)};
}

}  // namespace

void Screen::copyPageArea(int from, int to, const PixelRect& area) {
  fb_.copyArea(clampPage(from), clampPage(to), onScreen(area));
}

void Screen::setClip(const PixelRect& area) {
  clip_ = onScreen(area);
}

void Screen::clearPage() {
  fb_.clear(drawing_);
  row_ = 1;
  column_ = 1;
}

void Screen::plot(std::int64_t x, std::int64_t y, std::uint8_t colour) {
  if (x < clip_.x0 || y < clip_.y0 || x > clip_.x1 || y > clip_.y1) return;
  fb_.setPixel(drawing_, static_cast<int>(x), static_cast<int>(y), colour);
}

void Screen::line(double x1, double y1, double x2, double y2, int colour) {
  if (!finite(x1, y1, x2, y2)) return;
  const std::int64_t ax = roundPixel(x1), ay = roundPixel(y1), bx = roundPixel(x2), by = roundPixel(y2);
  const std::uint8_t c = colourIndex(colour);
  const std::int64_t dx = bx - ax, dy = by - ay;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  // Walk the major axis; the minor coordinate is the exact rounded value of
  // the ideal line, so a clipped part costs nothing and the visible pixels
  // are those the whole line would have had.
  const std::int64_t steps = xMajor ? std::llabs(dx) : std::llabs(dy);
  if (steps == 0) {
    plot(ax, ay, c);
    return;
  }
  const std::int64_t major0 = xMajor ? ax : ay, minor0 = xMajor ? ay : ax;
  const std::int64_t majorDir = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const std::int64_t minorDelta = xMajor ? dy : dx;
  // A line wholly beside the clip costs no more than this.
  if (std::max(ax, bx) < clip_.x0 || std::min(ax, bx) > clip_.x1 || std::max(ay, by) < clip_.y0 ||
      std::min(ay, by) > clip_.y1)
    return;
  const std::int64_t majorLow = xMajor ? clip_.x0 : clip_.y0, majorHigh = xMajor ? clip_.x1 : clip_.y1;
  // Range of t (0..steps) whose major coordinate is inside the clip.
  std::int64_t tFrom = 0, tTo = steps;
  if (majorDir > 0) {
    tFrom = std::max<std::int64_t>(tFrom, majorLow - major0);
    tTo = std::min<std::int64_t>(tTo, majorHigh - major0);
  } else {
    tFrom = std::max<std::int64_t>(tFrom, major0 - majorHigh);
    tTo = std::min<std::int64_t>(tTo, major0 - majorLow);
  }
  // minor(t) = minor0 + floor((2 t minorDelta + steps) / (2 steps)), kept as
  // quotient and remainder and stepped by adding, not divided per pixel;
  // |2 minorDelta| <= 2 steps, so the remainder wraps at most once per step.
  const std::int64_t den = 2 * steps, increment = 2 * minorDelta;
  const std::int64_t first = 2 * tFrom * minorDelta + steps;
  std::int64_t quotient = floorDiv(first, den), remainder = first - quotient * den;
  // The pixels come in runs that share the minor coordinate (a trace
  // segment one pixel wide and many high is two runs): each run is written
  // straight into the page and marked changed at once. The length of a run
  // is what the remainder allows before it wraps.
  std::uint8_t* const page = fb_.row(drawing_, 0);
  const std::int64_t minorLow = xMajor ? clip_.y0 : clip_.x0, minorHigh = xMajor ? clip_.y1 : clip_.x1;
  const auto drawRun = [&](std::int64_t tStart, std::int64_t count, std::int64_t minor) {
    if (minor < minorLow || minor > minorHigh) return;
    auto a = static_cast<int>(major0 + majorDir * tStart), b = static_cast<int>(major0 + majorDir * (tStart + count - 1));
    if (a > b) std::swap(a, b);
    const auto m = static_cast<int>(minor);
    if (xMajor) {
      std::uint8_t* const pixels = page + static_cast<std::size_t>(m) * kScreenWidth;
      if (b - a < 16) {
        for (int x = a; x <= b; ++x) pixels[x] = c;  // most runs of a trace are a pixel or two
      } else {
        std::memset(pixels + a, c, static_cast<std::size_t>(b - a + 1));
      }
      fb_.markChanged(drawing_, a, m, b, m);
    } else {
      for (int y = a; y <= b; ++y) page[static_cast<std::size_t>(y) * kScreenWidth + static_cast<std::size_t>(m)] = c;
      fb_.markChanged(drawing_, m, a, m, b);
    }
  };
  for (std::int64_t t = tFrom; t <= tTo;) {
    std::int64_t run = tTo - t + 1;
    if (increment > 0) run = std::min(run, (den - remainder + increment - 1) / increment);
    if (increment < 0) run = std::min(run, remainder / -increment + 1);
    drawRun(t, run, minor0 + quotient);
    t += run;
    remainder += run * increment;
    if (remainder >= den) {
      remainder -= den;
      ++quotient;
    } else if (remainder < 0) {
      remainder += den;
      --quotient;
    }
  }
}

void Screen::box(double x1, double y1, double x2, double y2, int colour) {
  line(x1, y1, x2, y1, colour);
  line(x2, y1, x2, y2, colour);
  line(x2, y2, x1, y2, colour);
  line(x1, y2, x1, y1, colour);
}

void Screen::fillBox(double x1, double y1, double x2, double y2, int colour) {
  if (!finite(x1, y1, x2, y2)) return;
  std::int64_t ax = roundPixel(x1), ay = roundPixel(y1), bx = roundPixel(x2), by = roundPixel(y2);
  if (ax > bx) std::swap(ax, bx);
  if (ay > by) std::swap(ay, by);
  ax = std::max<std::int64_t>(ax, clip_.x0);
  ay = std::max<std::int64_t>(ay, clip_.y0);
  bx = std::min<std::int64_t>(bx, clip_.x1);
  by = std::min<std::int64_t>(by, clip_.y1);
  if (ax > bx || ay > by) return;
  fb_.fillRect(drawing_, static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(bx), static_cast<int>(by),
               colourIndex(colour));
}

void Screen::pixel(double x, double y, int colour) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  plot(roundPixel(x), roundPixel(y), colourIndex(colour));
}

int Screen::readPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return 0;
  return fb_.pixel(drawing_, x, y);
}

void Screen::locate(int row, int column) {
  row_ = row;
  column_ = column;
}

void Screen::color(int foreground, int background) {
  foreground_ = colourIndex(foreground);
  background_ = colourIndex(background);
}

namespace {

// For each 8-pixel row of a glyph, a mask with 0xFF in the byte of every
// pixel set (the leftmost pixel, bit 0x80, in the byte at the lowest
// address), so that a row is painted with one 8-byte store.
constexpr std::array<std::uint64_t, 256> makeGlyphMasks() {
  std::array<std::uint64_t, 256> masks{};
  for (unsigned bits = 0; bits < 256; ++bits) {
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
      if (!(bits & (0x80u >> pixel))) continue;
      const unsigned byte = std::endian::native == std::endian::little ? pixel : 7 - pixel;
      masks[bits] |= std::uint64_t{0xFF} << (8 * byte);
    }
  }
  return masks;
}
constexpr std::array<std::uint64_t, 256> kGlyphMasks = makeGlyphMasks();

}  // namespace

void Screen::putGlyph(int row, int column, std::uint8_t ch) {
  const Glyph& glyph = kCp437Font[ch];
  const int x0 = (column - 1) * kCellWidth, y0 = (row - 1) * kCellHeight;
  constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
  const std::uint64_t fg = foreground_ * kEveryByte, bg = background_ * kEveryByte;
  fb_.cell(drawing_, row, column) = TextCell{ch, foreground_, background_};
  const int x1 = x0 + kCellWidth - 1, y1 = y0 + kCellHeight - 1;
  if (x0 >= clip_.x0 && x1 <= clip_.x1 && y0 >= clip_.y0 && y1 <= clip_.y1) {
    for (int r = 0; r < kCellHeight; ++r) {
      const std::uint64_t mask = kGlyphMasks[glyph.rows[static_cast<std::size_t>(r)]];
      const std::uint64_t pixels = (fg & mask) | (bg & ~mask);
      std::memcpy(fb_.row(drawing_, y0 + r) + x0, &pixels, sizeof pixels);
    }
    fb_.markChanged(drawing_, x0, y0, x1, y1);
    return;
  }
  // A cell the clip cuts: only its pixels inside.
  const int left = std::max(x0, clip_.x0), right = std::min(x1, clip_.x1);
  const int top = std::max(y0, clip_.y0), bottom = std::min(y1, clip_.y1);
  if (left > right || top > bottom) return;
  for (int y = top; y <= bottom; ++y) {
    const unsigned bits = glyph.rows[static_cast<std::size_t>(y - y0)];
    for (int x = left; x <= right; ++x)
      fb_.row(drawing_, y)[x] = (bits & (0x80u >> (x - x0))) ? foreground_ : background_;
  }
  fb_.markChanged(drawing_, left, top, right, bottom);
}

void Screen::print(std::string_view text, bool newline) {
  for (const char ch : text) {
    // Text that runs off the grid is dropped rather than wrapped: every
    // screen text has a fixed place.
    if (row_ >= 1 && row_ <= kTextRows && column_ >= 1 && column_ <= kTextColumns)
      putGlyph(row_, column_, static_cast<std::uint8_t>(ch));
    ++column_;
  }
  if (newline) {
    ++row_;
    column_ = 1;
  }
}

void Screen::printPicture(std::string_view picture, double value) { print(formatPicture(picture, value)); }

void Screen::printNumber(double value) { print(formatNumber(value)); }

std::string Screen::readKey() {
  pump();
  if (input_.closeRequested) return std::string(1, static_cast<char>(key::kEsc));
  if (input_.keys.empty()) return {};
  std::string k = std::move(input_.keys.front());
  input_.keys.pop_front();
  return k;
}

bool Screen::keyWaiting() {
  pump();
  return input_.closeRequested || !input_.keys.empty();
}

MouseState Screen::readMouse() {
  pump();
  const int pressed = std::exchange(input_.pressedSinceRead, 0);
  if (!input_.mouse.inside) return MouseState{-1, -1, -1, -1, false};
  MouseState mouse = input_.mouse;
  mouse.buttons |= pressed;
  return mouse;
}

void Screen::sleep(int ms) {
  if (ms <= 0) {
    pump();
    return;
  }
  const double start = backend_.now();
  const WakeSource none{};
  if (ms < 100) {
    backend_.waitUntil(start + ms / 1000.0, fb_, shown_, input_, false, none);
    return;
  }
  // Long waits are cut in 50 ms slices so that a waiting key ends them.
  int slices = ms / 50;
  int slice = 0;
  for (; slice < slices; ++slice) {
    if (keyWaiting()) return;
    backend_.waitUntil(start + (slice + 1) * 0.05, fb_, shown_, input_, false, none);
  }
  if (ms % 50 != 0) backend_.waitUntil(start + ms / 1000.0, fb_, shown_, input_, false, none);
}

void Screen::pauseUntil(double time) {
  backend_.waitUntil(time, fb_, shown_, input_, false, WakeSource{});
}

void Screen::waitForActivity(double seconds, const WakeSource& wake) {
  backend_.waitUntil(backend_.now() + seconds, fb_, shown_, input_, true, wake);
}

}  // namespace vna
