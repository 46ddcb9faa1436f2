#include "report/page_painter.h"

#include <algorithm>
#include <cmath>

#include "platform/numeric.h"

namespace vna {
namespace {

struct InkStyle {
  double r, g, b;
  double width;
  std::vector<double> dashes;  // empty: solid
};

// The page's palette: black text, grey grid, a dark blue measurement under
// a dashed red model (where they agree the blue shows through the gaps),
// markers in violet.
InkStyle styleOf(Ink ink) {
  switch (ink) {
    case Ink::Text: return {0.08, 0.08, 0.08, 1.0, {}};
    case Ink::Faint: return {0.35, 0.35, 0.35, 1.0, {}};
    case Ink::Frame: return {0.15, 0.15, 0.15, 1.4, {}};
    case Ink::Grid: return {0.78, 0.78, 0.78, 0.9, {}};
    case Ink::MinorGrid: return {0.90, 0.90, 0.90, 0.7, {}};
    case Ink::Measured: return {0.05, 0.25, 0.66, 2.4, {}};
    case Ink::Model: return {0.86, 0.18, 0.08, 1.8, {9, 5}};
    case Ink::Marker: return {0.48, 0.12, 0.58, 1.2, {5, 4}};
    case Ink::Shading: return {0.94, 0.95, 0.97, 1.0, {}};
  }
  return {0, 0, 0, 1, {}};
}

}  // namespace

double pageCoordinate(double x) {
  constexpr double kLimit = 1.0e5;
  return std::isnan(x) ? x : std::clamp(x, -kLimit, kLimit);
}

void PagePainter::use(Ink ink) {
  const InkStyle style = styleOf(ink);
  cairo_set_source_rgb(cr_, style.r, style.g, style.b);
  cairo_set_line_width(cr_, style.width);
  cairo_set_dash(cr_, style.dashes.data(), static_cast<int>(style.dashes.size()), 0);
}

void PagePainter::line(double x0, double y0, double x1, double y1, Ink ink) {
  use(ink);
  cairo_move_to(cr_, x0, y0);
  cairo_line_to(cr_, x1, y1);
  cairo_stroke(cr_);
}

void PagePainter::rectangle(const Rect& r, Ink ink) {
  use(ink);
  cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  cairo_stroke(cr_);
}

void PagePainter::fill(const Rect& r, Ink ink) {
  use(ink);
  cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  cairo_fill(cr_);
}

void PagePainter::dot(double x, double y, double radius, Ink ink) {
  use(ink);
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, x, y, radius, 0, 2 * kPi);
  cairo_fill_preserve(cr_);
  cairo_set_source_rgb(cr_, 1, 1, 1);
  cairo_set_line_width(cr_, 1.2);
  cairo_stroke(cr_);
}

void PagePainter::font(double size, Weight weight) {
  size_ = size;
  cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         weight == Weight::Bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, size);
}

namespace {

// The length of the valid UTF-8 character at the start of `text` (no
// overlong form, no surrogate, nothing beyond U+10FFFF), 0 if there is none.
std::size_t characterLength(std::string_view text) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  const std::size_t length = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  unsigned codePoint = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(k) & 0x3F);
  }
  constexpr unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool valid =
      codePoint >= kSmallest[length] && codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
  return valid ? length : 0;
}

}  // namespace

std::string printableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = characterLength(text.substr(i));
    const bool control = length == 1 && static_cast<unsigned char>(text[i]) < 0x20;
    out.append(length > 0 && !control ? text.substr(i, length) : std::string_view("?"));
    i += std::max<std::size_t>(length, 1);
  }
  return out;
}

double PagePainter::textWidth(std::string_view text) const {
  const std::string copy = printableText(text);
  cairo_text_extents_t extents;
  cairo_text_extents(cr_, copy.c_str(), &extents);
  return extents.x_advance;
}

Rect PagePainter::textBox(std::string_view text, double x, double baselineY, Anchor anchor) const {
  const double width = textWidth(text);
  const double left = anchor == Anchor::Left ? x : anchor == Anchor::Center ? x - width / 2 : x - width;
  // DejaVu's capitals rise about 0.73 of the size, its descenders reach 0.24.
  return {left, baselineY - 0.76 * size_, width, size_};
}

Rect PagePainter::text(std::string_view text, double x, double baselineY, Anchor anchor, Ink ink) {
  const Rect box = textBox(text, x, baselineY, anchor);
  use(ink);
  const std::string copy = printableText(text);
  cairo_move_to(cr_, box.x, baselineY);
  cairo_show_text(cr_, copy.c_str());
  cairo_new_path(cr_);
  return box;
}

std::vector<std::string> PagePainter::wrap(std::string_view text, double width) const {
  std::vector<std::string> lines;
  std::string current;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t space = std::min(text.find(' ', start), text.size());
    const std::string word(text.substr(start, space - start));
    const std::string candidate = current.empty() ? word : current + " " + word;
    if (!current.empty() && textWidth(candidate) > width) {
      lines.push_back(current);
      current = word;
    } else {
      current = candidate;
    }
    start = space + 1;
  }
  lines.push_back(fitted(current, width));
  return lines;
}

std::string PagePainter::fitted(std::string_view text, double width) const {
  std::string shortened(text);
  if (textWidth(shortened) <= width) return shortened;
  while (!shortened.empty() && textWidth(shortened + "…") > width) {
    // One whole character off: its continuation bytes, then its first byte.
    while (shortened.size() > 1 && (static_cast<unsigned char>(shortened.back()) & 0xC0) == 0x80) shortened.pop_back();
    shortened.pop_back();
  }
  return shortened + "…";
}

}  // namespace vna
