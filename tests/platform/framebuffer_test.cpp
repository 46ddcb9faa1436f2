// The framebuffer copies and reports only where pages may differ: these
// tests check against plain reference pages that nothing is ever missed.
#include "platform/framebuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/headless_backend.h"
#include "platform/screen.h"

namespace vna {
namespace {

using Page = std::vector<std::uint8_t>;

Page pageOf(const Framebuffer& fb, int page) {
  Page p(static_cast<std::size_t>(kScreenWidth) * kScreenHeight);
  for (int y = 0; y < kScreenHeight; ++y)
    std::memcpy(&p[static_cast<std::size_t>(y) * kScreenWidth], fb.row(page, y), kScreenWidth);
  return p;
}

ColumnSpan byteByByte(const std::uint8_t* a, const std::uint8_t* b, int left, int right) {
  ColumnSpan span;
  for (int x = left; x <= right; ++x) {
    if (a[x] != b[x]) {
      span.first = std::min(span.first, x);
      span.last = x;
    }
  }
  return span;
}

TEST(DifferingColumns, FindsTheFirstAndLastDifferenceAtAnyAlignment) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> a(kScreenWidth), b(kScreenWidth);
  for (int trial = 0; trial < 20000; ++trial) {
    std::fill(a.begin(), a.end(), 7);
    b = a;
    const int changes = static_cast<int>(random() % 4);  // none, one, or a few pixels
    for (int k = 0; k < changes; ++k) b[random() % kScreenWidth] = static_cast<std::uint8_t>(random() % 256);
    int left = static_cast<int>(random() % kScreenWidth), right = static_cast<int>(random() % kScreenWidth);
    if (left > right) std::swap(left, right);
    const ColumnSpan want = byteByByte(a.data(), b.data(), left, right);
    const ColumnSpan got = differingColumns(a.data(), b.data(), left, right);
    ASSERT_EQ(got.empty(), want.empty()) << "trial " << trial << " columns " << left << ".." << right;
    if (!want.empty()) {
      ASSERT_EQ(got.first, want.first) << "trial " << trial << " columns " << left << ".." << right;
      ASSERT_EQ(got.last, want.last) << "trial " << trial << " columns " << left << ".." << right;
    }
  }
}

// Random drawing, clearing, copying and presenting on the framebuffer and
// on plain reference pages side by side. Copies must leave the pages equal
// to their references (a copy copies only where pages may differ), and
// every pixel in which a presented page differs from what was presented
// before must lie in the changes reported.
TEST(FramebufferTracking, CopiesAndReportsEveryChangeOfARandomHistory) {
  std::mt19937 random(11);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  Framebuffer fb;
  std::array<Page, kPageCount> reference;
  for (auto& page : reference) page.assign(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
  Page presented(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
  const auto at = [](int x, int y) { return static_cast<std::size_t>(y) * kScreenWidth + static_cast<std::size_t>(x); };
  fb.takeChanges(0);  // the presenter shows page 0 (all 0) to begin with

  for (int step = 0; step < 3000; ++step) {
    const int page = below(kPageCount);
    const int op = below(100);
    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " page " + std::to_string(page));
    if (op < 45) {
      const int x = below(kScreenWidth), y = below(kScreenHeight);
      const auto colour = static_cast<std::uint8_t>(below(16));
      fb.setPixel(page, x, y, colour);
      reference[page][at(x, y)] = colour;
    } else if (op < 65) {
      int x0 = below(kScreenWidth), x1 = std::min(kScreenWidth - 1, x0 + below(80));
      int y0 = below(kScreenHeight), y1 = std::min(kScreenHeight - 1, y0 + below(40));
      const auto colour = static_cast<std::uint8_t>(below(16));
      fb.fillRect(page, x0, y0, x1, y1, colour);
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) reference[page][at(x, y)] = colour;
    } else if (op < 72) {
      // Written through row() and marked, as glyphs are.
      const int x0 = below(kScreenWidth - 8), y0 = below(kScreenHeight - 16);
      for (int y = y0; y < y0 + 16; ++y)
        for (int x = x0; x < x0 + 8; ++x) {
          const auto colour = static_cast<std::uint8_t>(below(2) * 15);
          fb.row(page, y)[x] = colour;
          reference[page][at(x, y)] = colour;
        }
      fb.markChanged(page, x0, y0, x0 + 7, y0 + 15);
    } else if (op < 74) {
      fb.clear(page);
      std::fill(reference[page].begin(), reference[page].end(), 0);
    } else if (op < 90) {
      const int to = (page + 1 + below(kPageCount - 1)) % kPageCount;
      fb.copy(page, to);
      reference[to] = reference[page];
      for (int p = 0; p < kPageCount; ++p) ASSERT_TRUE(pageOf(fb, p) == reference[p]) << "page " << p;
    } else {
      const RowSpans changes = fb.takeChanges(page);
      const Page now = pageOf(fb, page);
      ASSERT_TRUE(now == reference[page]);
      for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
          if (now[at(x, y)] != presented[at(x, y)]) {
            ASSERT_TRUE(x >= changes.left(y) && x <= changes.right(y)) << "pixel " << x << "," << y << " missed";
          }
        }
      }
      presented = now;
    }
  }
}

// What a scan point does through the screen services: the background copied
// to the composition page, text and lines drawn there, the result copied to
// the visible page, while the window shows the visible page.
TEST(FramebufferTracking, AScanPointLeavesTheVisiblePageEqualToTheComposition) {
  HeadlessBackend backend;
  Screen screen(backend);
  screen.setPages(2, 0);
  screen.clearPage();
  screen.fillBox(3, 3, 803, 693, 7);
  for (int i = 0; i <= 10; ++i) screen.line(3 + 80 * i, 3, 3 + 80 * i, 693, 8);
  screen.printAt(6, 103, "Max:  100.000");
  for (int point = 0; point < 50; ++point) {
    screen.setPages(1, 0);
    screen.copyPage(2, 1);
    screen.locate(45, 13);
    screen.printNumber(point * 1234.5);
    screen.line(3 + 16 * point, 3, 3 + 16 * point, 693, 8);
    for (int i = 1; i <= point; ++i)
      screen.line(3 + 16 * (i - 1), 300 + (i - 1) % 7 * 9, 3 + 16 * i, 300 + i % 7 * 9, 14);
    screen.fillBox(959, 667, 961, 600 - point, 2);
    // Long lines, shallow and steep, that leave the screen on either axis.
    screen.line(-50, 100 + point, 1100, 800 - point * 3, 13);
    screen.line(500 + point, -30, 530 - point, 800, 12);
    screen.setPages(0, 0);
    screen.copyPage(1, 0);
    screen.readMouse();  // presents
    ASSERT_TRUE(pageOf(screen.framebuffer(), 0) == pageOf(screen.framebuffer(), 1)) << "point " << point;
    ASSERT_EQ(screen.textAtPage(0, 45, 13, 12), screen.textAtPage(1, 45, 13, 12));
  }
}

}  // namespace
}  // namespace vna
