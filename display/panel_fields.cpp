#include "display/panel_fields.h"

#include <cstdlib>

#include "display/layout.h"

namespace vna {
namespace {

constexpr int X = kPanelX;  // 816

}  // namespace

const PanelField* findField(std::span<const PanelField> fields, PanelItem item) {
  for (const PanelField& f : fields)
    if (f.item == item) return &f;
  return nullptr;
}

bool insideZone(const PanelField& f, int x, int y) { return x > f.x0 && x < f.x1 && y > f.y0 && y < f.y1; }

const std::array<double, 14> kScaleStepWeights{1e9, 1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 100, 10, 1, 0, 0.1, 0.01, 0.001};
const std::array<double, 14> kFrequencyStepWeights{1e7, 1e7, 1e7, 1e6, 1e5, 1e4, 1e3,
                                                   100, 10,  1,   0,   0.1, 0.01, 0.001};
const std::array<double, 14> kLengthStepWeights{100, 100, 100, 10, 1, 0, 0.1, 0.01, 0.001, 0.0001, 0, 0, 0, 0};

double wheelStep(int x, std::span<const double> weights) {
  const auto column = static_cast<std::size_t>(x < X + 80 ? 0 : (x - (X + 80)) / 8);
  return column < weights.size() ? weights[column] : 0;
}

double leadingNumber(std::string_view text) {
  const std::string s(text);
  return std::strtod(s.c_str(), nullptr);
}

EntryResult enterNumber(Screen& s, const EntrySpec& entry, std::string pendingKey) {
  std::string buffer;
  bool firstTaken = false;
  const auto show = [&] {
    if (entry.show) {
      entry.show(buffer);
      return;
    }
    s.color(0, colour::kTrace1);
    s.printAt(entry.row, entry.column, std::string(static_cast<std::size_t>(entry.blanks), ' '));
    s.printAt(entry.row, entry.column, buffer);
  };
  while (true) {
    std::string k = std::move(pendingKey);
    pendingKey.clear();
    if (k.empty()) k = s.readKey();
    if (k.empty()) {
      s.sleep(entry.keyPauseMs);
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
