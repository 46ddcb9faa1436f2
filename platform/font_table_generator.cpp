// Build-time tool: reads an 8x16 PSF console font (version 1 or 2, with its
// Unicode table) and writes the 256 glyphs of code page 437 as a C++ table.
// Usage: font_table_generator FONT.psf OUTPUT.cpp
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

namespace {

// Unicode code point of every code page 437 byte (the graphic forms of the
// control range, as the VGA hardware shows them).
constexpr std::uint32_t kCp437ToUnicode[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,};

struct Font {
  std::vector<std::vector<std::uint8_t>> glyphs;
  std::map<std::uint32_t, std::size_t> byCodePoint;
};

std::uint32_t le32(const std::vector<std::uint8_t>& d, std::size_t at) {
  return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

// Decodes one UTF-8 sequence of a PSF2 table; returns false at a separator.
bool nextUtf8(const std::vector<std::uint8_t>& d, std::size_t& i, std::uint32_t& cp) {
  const std::uint8_t b = d[i];
  if (b == 0xFF || b == 0xFE) return false;
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  cp = extra == 0 ? b : b & (0x3F >> extra);
  ++i;
  for (int k = 0; k < extra && i < d.size(); ++k, ++i) cp = (cp << 6) | (d[i] & 0x3F);
  return true;
}

bool parse(const std::vector<std::uint8_t>& d, Font& font) {
  std::size_t count = 0, height = 0, offset = 0, table = 0;
  bool psf2 = false;
  bool hasTable = false;
  if (d.size() >= 4 && d[0] == 0x36 && d[1] == 0x04) {
    count = (d[2] & 1) ? 512 : 256;
    height = d[3];
    offset = 4;
    hasTable = (d[2] & 2) != 0;
  } else if (d.size() >= 32 && le32(d, 0) == 0x864AB572u) {
    psf2 = true;
    offset = le32(d, 8);
    hasTable = (le32(d, 12) & 1) != 0;
    count = le32(d, 16);
    height = le32(d, 24);
    if (le32(d, 28) != 8 || le32(d, 20) != height) return false;
  } else {
    return false;
  }
  if (height != 16 || offset + count * height > d.size()) return false;
  for (std::size_t g = 0; g < count; ++g)
    font.glyphs.emplace_back(d.begin() + offset + g * 16, d.begin() + offset + (g + 1) * 16);
  table = offset + count * height;
  if (!hasTable) return true;
  std::size_t i = table;
  for (std::size_t g = 0; g < count && i < d.size(); ++g) {
    bool inSequence = false;
    while (i < d.size()) {
      if (psf2) {
        if (d[i] == 0xFF) { ++i; break; }
        if (d[i] == 0xFE) { inSequence = true; ++i; continue; }
        std::uint32_t cp = 0;
        nextUtf8(d, i, cp);
        if (!inSequence) font.byCodePoint.emplace(cp, g);
      } else {
        if (i + 1 >= d.size()) { i = d.size(); break; }
        const std::uint32_t v = d[i] | (d[i + 1] << 8);
        i += 2;
        if (v == 0xFFFF) break;
        if (v == 0xFFFE) { inSequence = true; continue; }
        if (!inSequence) font.byCodePoint.emplace(v, g);
      }
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FONT.psf OUTPUT.cpp\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Font font;
  if (!parse(data, font)) {
    std::fprintf(stderr, "%s: not an 8x16 PSF font\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  if (!out) return 1;
  std::fprintf(out, "// Generated from %s: code page 437 glyphs, 16 rows of 8 pixels, MSB left.\n", argv[1]);
  std::fprintf(out, "#include \"platform/font.h\"\nnamespace vna {\nconst Glyph kCp437Font[256] = {\n");
  int missing = 0;
  for (int b = 0; b < 256; ++b) {
    const auto it = font.byCodePoint.find(kCp437ToUnicode[b]);
    std::vector<std::uint8_t> rows(16, 0);
    if (b != 0 && it != font.byCodePoint.end()) {
      rows = font.glyphs[it->second];
    } else if (b != 0 && font.byCodePoint.empty() && static_cast<std::size_t>(b) < font.glyphs.size()) {
      rows = font.glyphs[b];  // a font without a table is taken to be in code page 437 order
    } else if (b != 0) {
      ++missing;
    }
    std::fprintf(out, "    {{");
    for (int r = 0; r < 16; ++r) std::fprintf(out, "0x%02X%s", rows[r], r < 15 ? ", " : "");
    std::fprintf(out, "}},\n");
  }
  std::fprintf(out, "};\n}  // namespace vna\n");
  if (std::fclose(out) != 0) return 1;
  if (missing > 0) std::fprintf(stderr, "font: %d code page 437 glyphs not in %s, left blank\n", missing, argv[1]);
  return 0;
}
