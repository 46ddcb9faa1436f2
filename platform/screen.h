// The screen, input and timing services every program draws, prints, reads
// and waits through. Semantics are fixed here; the backend only shows pages
// and delivers events.
#pragma once

#include <string>
#include <string_view>

#include "platform/backend.h"
#include "platform/framebuffer.h"
#include "platform/input.h"

namespace vna {

class Screen {
 public:
  explicit Screen(Backend& backend) : backend_(backend) {}

  // Pages and palette.
  void setPalette(int index, int r, int g, int b);
  Rgb getPalette(int index) const { return fb_.paletteEntry(index); }
  void setPages(int drawing, int shown);
  int drawingPage() const { return drawing_; }
  int shownPage() const { return shown_; }
  void copyPage(int from, int to);
  // Part of a page: the pixels of `area` only, or the text shadow only.
  void copyPageArea(int from, int to, const PixelRect& area);
  void copyPageText(int from, int to) { fb_.copyText(clampPage(from), clampPage(to)); }
  void clearPage();

  // Drawing and printing touch only the pixels inside the clip (the whole
  // screen unless set); printing still records every cell's text. A part
  // of a picture is redrawn by drawing all of it clipped to that part.
  void setClip(const PixelRect& area);
  void clearClip() { clip_ = kWholeScreen; }
  const PixelRect& clip() const { return clip_; }

  // Drawing on the drawing page; coordinates round halves away from zero,
  // end points are included, whatever lies off the screen is clipped.
  void line(double x1, double y1, double x2, double y2, int colour);
  void box(double x1, double y1, double x2, double y2, int colour);
  void fillBox(double x1, double y1, double x2, double y2, int colour);
  void pixel(double x, double y, int colour);
  int readPixel(int x, int y) const;

  // Text on the 128 x 48 grid of the drawing page.
  void locate(int row, int column);
  void color(int foreground, int background);
  void color(int foreground) { color(foreground, background_); }
  void print(std::string_view text, bool newline = false);
  void printPicture(std::string_view picture, double value);
  void printNumber(double value);
  void printAt(int row, int column, std::string_view text) {
    locate(row, column);
    print(text);
  }
  int cursorRow() const { return row_; }
  int cursorColumn() const { return column_; }

  // Keyboard and mouse.
  std::string readKey();
  bool keyWaiting();
  MouseState readMouse();
  void movePointer(int x, int y) { backend_.movePointer(x, y, input_); }
  // The window's close button was pressed: from then on every readKey
  // returns Esc, so each screen leaves the way Esc leaves it.
  bool closeRequested() const { return input_.closeRequested; }

  // Time.
  void sleep(int ms);
  double timer() const { return backend_.now(); }
  // Waits plainly until `time` (of timer()); for pacing finer than a millisecond.
  void pauseUntil(double time);
  // Waits at most `seconds` for input or for bytes from `wake` (used while
  // the instrument is transferring, instead of spinning).
  void waitForActivity(double seconds, const WakeSource& wake);

  // Reading the screen back (tests, BMP copies).
  const Framebuffer& framebuffer() const { return fb_; }
  std::string textAt(int row, int column, int length) const { return fb_.textAt(shown_, row, column, length); }
  std::string textAtPage(int page, int row, int column, int length) const {
    return fb_.textAt(page, row, column, length);
  }
  Backend& backend() { return backend_; }

 private:
  static int clampPage(int page) { return page < 0 ? 0 : page >= kPageCount ? kPageCount - 1 : page; }
  void pump() { backend_.pump(fb_, shown_, input_); }
  void putGlyph(int row, int column, std::uint8_t ch);
  void plot(std::int64_t x, std::int64_t y, std::uint8_t colour);

  Backend& backend_;
  Framebuffer fb_;
  InputState input_;
  int drawing_ = 0;
  int shown_ = 0;
  int row_ = 1, column_ = 1;
  std::uint8_t foreground_ = 15, background_ = 0;
  PixelRect clip_ = kWholeScreen;
};

// Pure text forms of the two number printers, so they can be tested alone.
std::string formatPicture(std::string_view picture, double value);
std::string formatNumber(double value);

}  // namespace vna
