// fuzz-sources: display/typed_entry.cpp display/panel_fields.cpp platform/screen.cpp platform/framebuffer.cpp platform/headless_backend.cpp measurement/sweep_plan.cpp reflection/impedance_modes.cpp transmission/transmission_modes.cpp transmission/transmission_quantities.cpp build-fuzz/cp437_font_table.cpp
// fuzz-options: -max_len=64
//
// Typed number entry into the side panel, with any keys a user (or a stuck
// keyboard) can send. The first byte picks the program's modes, the display
// mode and the panel item; the rest are keys, a byte 255 starting a two-byte
// extended key (255 and the scan code) as the window delivers F-keys. Esc is
// always sent last, so every entry ends. Whatever was typed:
//  - the buffer shown never grows past the item's length, and holds only
//    "-", "." and digits (no minus where the item takes none);
//  - an accepted value is finite, within the item's limits, and fits the
//    picture the panel shows it in (stars there would hide the value).
// An entry holds at most 13 characters, so 64 keys reach all it does; longer
// inputs only slow the run down. A broken rule stops the run
// (__builtin_trap) so libFuzzer keeps the input; the sanitizers catch the
// rest.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "display/typed_entry.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "reflection/impedance_modes.h"
#include "tests/fuzz/fuzz_rule.h"
#include "transmission/transmission_modes.h"

namespace {

constexpr std::array kItems{vna::PanelItem::Trace1Max, vna::PanelItem::Trace1Min, vna::PanelItem::Trace2Max,
                            vna::PanelItem::Trace2Min, vna::PanelItem::FreqMax,   vna::PanelItem::FreqMin,
                            vna::PanelItem::Center,    vna::PanelItem::Span,      vna::PanelItem::Length};

struct Program {
  const char* name;
  std::span<const vna::ModeSpec> modes;
  vna::ScaleFormat format;
};

std::string caseName(const Program& p, std::size_t mode, std::size_t item) {
  return std::string(p.name) + " mode " + std::to_string(mode) + " item " + std::to_string(item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vna::HeadlessBackend backend(1e300);  // never closes the window by itself
  static vna::Screen screen(backend);
  static const std::array<Program, 2> programs{
      Program{"impedance", vna::impedanceModes(), vna::impedanceScaleFormat()},
      Program{"transmission", vna::transmissionModes(), vna::transmissionScaleFormat()}};
  if (size == 0) return 0;

  const unsigned pick = data[0];
  const Program& program = programs[pick & 1];
  const std::size_t mode = (pick >> 1) % program.modes.size();
  const std::size_t itemIndex = (pick >> 4) % kItems.size();
  const vna::PanelItem item = kItems[itemIndex];
  const std::string where = caseName(program, mode, itemIndex);
#define REQUIRE(condition) \
  do { \
    if (!(condition)) brokenRule("typed_entry_fuzz", where, #condition); \
  } while (false)

  vna::EntrySpec entry = vna::typedEntryRule(item, program.format, program.modes[mode]);
  entry.row = 10;
  entry.column = 100;
  entry.show = [&](std::string_view buffer) {
    REQUIRE(buffer.size() <= entry.maxLength);
    for (const char c : buffer) {
      REQUIRE(c == '-' || c == '.' || (c >= '0' && c <= '9'));
      REQUIRE(entry.allowMinus || c != '-');
    }
  };

  // One key a millisecond, as a fast typist's keyboard repeats: the window's
  // key queue is short and drops what comes while it is full.
  double t = backend.now();
  for (std::size_t i = 1; i < size; ++i) {
    t += 0.001;
    if (data[i] == 255 && i + 1 < size) {
      backend.keyAt(t, std::string{static_cast<char>(255), static_cast<char>(data[i + 1])});
      ++i;
    } else {
      backend.keyAt(t, std::string(1, static_cast<char>(data[i])));
    }
  }
  t += 0.001;
  backend.keyAt(t, std::string(1, static_cast<char>(vna::key::kEsc)));

  const vna::EntryResult result = vna::enterNumber(screen, entry, {});
  if (result.end == vna::EntryEnd::Accepted) {
    REQUIRE(std::isfinite(result.value));
    REQUIRE(entry.accept(result.value));
    const std::string shown = vna::formatPicture(vna::panelPicture(item, program.format), result.value);
    REQUIRE(shown.find('*') == std::string::npos);
  }
  // The keys after an accepted value are not this input's next entry.
  while (backend.now() <= t) {
    screen.sleep(5);
    while (screen.keyWaiting()) screen.readKey();
  }
  return 0;
#undef REQUIRE
}
