// A thin layer over cairo for the report's page: colours and line styles by
// role, text in DejaVu Sans placed by an anchor, and coordinates kept where
// cairo's fixed-point numbers hold them. Page units: the page is 1600 wide.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>
#include <vector>

namespace vna {

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
  bool overlaps(const Rect& other) const {
    return x < other.right() && other.x < right() && y < other.bottom() && other.y < bottom();
  }
};

// What a line or a text is for; its colour, width and dashes are set once.
enum class Ink { Text, Faint, Frame, Grid, MinorGrid, Measured, Model, Marker, Shading };

enum class Weight { Normal, Bold };
// Where the anchor point lies on the text's box.
enum class Anchor { Left, Center, Right };

class PagePainter {
 public:
  explicit PagePainter(cairo_t* cr) : cr_(cr) {}
  cairo_t* cairo() const { return cr_; }

  void use(Ink ink);  // colour, line width and dashes
  void line(double x0, double y0, double x1, double y1, Ink ink);
  void rectangle(const Rect& r, Ink ink);
  void fill(const Rect& r, Ink ink);
  void dot(double x, double y, double radius, Ink ink);

  void font(double size, Weight weight = Weight::Normal);
  double textWidth(std::string_view text) const;
  // The text with its baseline at y; returns its box.
  Rect text(std::string_view text, double x, double baselineY, Anchor anchor, Ink ink = Ink::Text);
  // The box the text would take, without drawing it.
  Rect textBox(std::string_view text, double x, double baselineY, Anchor anchor) const;

  // `text` broken at spaces into lines no wider than `width`.
  std::vector<std::string> wrap(std::string_view text, double width) const;
  // `text`, shortened with an ellipsis until it fits `width`.
  std::string fitted(std::string_view text, double width) const;

 private:
  cairo_t* cr_;
  double size_ = 16;
};

// `text` as cairo can show it: a byte that does not belong to a valid UTF-8
// character (a file name in another encoding) or a control character
// becomes '?'. cairo refuses invalid UTF-8 and would fail the whole page.
std::string printableText(std::string_view text);

// A coordinate cairo can take (its fixed-point numbers overflow near 8
// million): NaN stays NaN for the caller to skip, anything else is held
// within a range far outside any page.
double pageCoordinate(double x);

}  // namespace vna
