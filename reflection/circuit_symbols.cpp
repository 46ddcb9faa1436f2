#include "reflection/circuit_symbols.h"

namespace vna {
namespace {

void drawCapacitorPlates(Screen& s, int x, int y, int c) {
  s.line(x, y - 6, x, y + 6, c);
  s.line(x + 4, y - 6, x + 4, y + 6, c);
}

void drawCoil(Screen& s, int x, int y, int c) {
  for (int turn = 0; turn < 4; ++turn) {
    const int x0 = x + turn * 5;
    s.line(x0, y, x0 + 1, y - 3, c);
    s.line(x0 + 1, y - 3, x0 + 4, y - 3, c);
    s.line(x0 + 4, y - 3, x0 + 5, y, c);
  }
}

}  // namespace

void drawCircuitSymbol(Screen& s, CircuitSymbol symbol, int c) {
  const int x = 912, y = 39;
  if (symbol == CircuitSymbol::None) return;
  const bool capacitor = symbol == CircuitSymbol::SeriesCapacitor || symbol == CircuitSymbol::ParallelCapacitor;
  const bool series = symbol == CircuitSymbol::SeriesCapacitor || symbol == CircuitSymbol::SeriesCoil;
  const int width = capacitor ? 4 : 20;
  if (series) {
    s.line(x, y, x + 20, y, c);
    if (capacitor) {
      drawCapacitorPlates(s, x + 20, y, c);
    } else {
      drawCoil(s, x + 20, y, c);
    }
    s.line(x + 20 + width, y, x + 60, y, c);
    return;
  }
  // Parallel model: the component and a resistor side by side between two rails.
  s.line(x, y, x + 60, y, c);
  s.line(x + 10, y, x + 10, y + 4, c);
  s.line(x + 50, y, x + 50, y + 4, c);
  if (capacitor) {
    s.line(x + 10, y + 4, x + 28, y + 4, c);
    drawCapacitorPlates(s, x + 28, y + 4, c);
    s.line(x + 32, y + 4, x + 50, y + 4, c);
  } else {
    s.line(x + 10, y + 4, x + 20, y + 4, c);
    drawCoil(s, x + 20, y + 4, c);
    s.line(x + 40, y + 4, x + 50, y + 4, c);
  }
  s.line(x + 10, y - 4, x + 10, y, c);
  s.line(x + 50, y - 4, x + 50, y, c);
  s.box(x + 22, y - 6, x + 38, y - 2, c);
  s.line(x + 10, y - 4, x + 22, y - 4, c);
  s.line(x + 38, y - 4, x + 50, y - 4, c);
  s.pixel(x, y, c);
}

}  // namespace vna
