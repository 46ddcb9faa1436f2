#include "display/panel_fields.h"

#include <cstdlib>

#include "display/layout.h"

namespace vna {
namespace {

constexpr int X = kPanelX;  // 816

constexpr PanelField value(PanelItem item, int row, FieldKind kind) {
  return PanelField{item, row, X, X + 200, rowTop(row) - 1, rowTop(row) + 16, kind};
}
constexpr PanelField button(PanelItem item, int row, int right) {
  return PanelField{item, row, X + 8, right, rowTop(row) - 1, rowTop(row) + 16, FieldKind::Button};
}

constexpr std::array<PanelField, kPanelItems> kImpedanceFields{{
    {PanelItem::Title, 2, X, X + 200, -1, 48, FieldKind::Choice},
    value(PanelItem::Trace1Max, 6, FieldKind::Number),
    value(PanelItem::Trace1Min, 7, FieldKind::Number),
    value(PanelItem::Trace2Max, 10, FieldKind::Number),
    value(PanelItem::Trace2Min, 11, FieldKind::Number),
    value(PanelItem::FreqMax, 14, FieldKind::Number),
    value(PanelItem::FreqMin, 15, FieldKind::Number),
    value(PanelItem::Center, 17, FieldKind::Number),
    value(PanelItem::Span, 18, FieldKind::Number),
    value(PanelItem::Sweep, 20, FieldKind::Choice),
    value(PanelItem::Points, 21, FieldKind::Choice),
    value(PanelItem::SampleCode, 22, FieldKind::Choice),
    value(PanelItem::Length, 24, FieldKind::Number),
    value(PanelItem::Calibrate, 25, FieldKind::Choice),
    value(PanelItem::Display, 26, FieldKind::Choice),
    button(PanelItem::Copy, 28, 1008),
    button(PanelItem::Save, 29, 1008),
    button(PanelItem::Start, 36, 968),
    button(PanelItem::Help, 38, 968),
    button(PanelItem::Reference, 40, 968),
    button(PanelItem::Exit, 42, 968),
}};

// Digit weights by pointer x: one entry per 8-pixel text column from x = 896
// (the field's first digit); whatever lies left of it takes the first weight,
// right of the last digit nothing.
double stepFromTable(int x, const double* weights, int count) {
  const int column = x < X + 80 ? 0 : (x - (X + 80)) / 8;
  return column < count ? weights[column] : 0;
}

}  // namespace

const std::array<PanelField, kPanelItems>& impedancePanelFields() { return kImpedanceFields; }

const PanelField& fieldOf(PanelItem item) { return kImpedanceFields[static_cast<std::size_t>(item)]; }

bool insideZone(const PanelField& f, int x, int y) { return x > f.x0 && x < f.x1 && y > f.y0 && y < f.y1; }

double wheelStepScale(int x) {
  static constexpr double w[] = {1e9, 1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001};
  return stepFromTable(x, w, 14);
}

double wheelStepFrequency(int x) {
  static constexpr double w[] = {1e7, 1e7, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001};
  return stepFromTable(x, w, 14);
}

double wheelStepLength(int x) {
  static constexpr double w[] = {100, 100, 100, 10, 1, 0, 0.1, 0.01, 0.001, 0.0001, 0, 0, 0, 0};
  return stepFromTable(x, w, 14);
}

double leadingNumber(std::string_view text) {
  const std::string s(text);
  return std::strtod(s.c_str(), nullptr);
}

EntryResult enterNumber(Screen& s, const EntrySpec& entry, std::string pendingKey) {
  std::string buffer;
  bool firstTaken = false;
  const auto show = [&] {
    s.color(0, colour::kTrace1);
    s.printAt(entry.row, entry.column, std::string(static_cast<std::size_t>(entry.blanks), ' '));
    s.printAt(entry.row, entry.column, buffer);
  };
  while (true) {
    std::string k = std::move(pendingKey);
    pendingKey.clear();
    if (k.empty()) k = s.readKey();
    if (k.empty()) {
      s.sleep(2);
      continue;
    }
    const char c = k[0];
    const int code = static_cast<unsigned char>(c);
    if (code == key::kEsc) {
      s.color(colour::kText, 0);
      return {EntryEnd::Exit, 0};
    }
    if (code > 44 && code < 58 && c != '/' && (entry.allowMinus || c != '-')) {
      if (buffer.size() < entry.maxLength) {
        buffer.push_back(c);
        if (!firstTaken && entry.onFirstCharacter) entry.onFirstCharacter();
        firstTaken = true;
      }
      show();
      continue;
    }
    if (code == key::kBackspace) {
      if (!buffer.empty()) buffer.pop_back();
      show();
      continue;
    }
    const double typed = leadingNumber(buffer);
    const std::optional<double> factor = entry.factorOf(c, typed);
    if (!factor) continue;  // any other key is ignored
    const double v = typed * *factor;
    if (entry.accept(v)) {
      s.color(colour::kText, 0);
      return {EntryEnd::Accepted, v};
    }
    buffer.clear();
    show();
  }
}

}  // namespace vna
