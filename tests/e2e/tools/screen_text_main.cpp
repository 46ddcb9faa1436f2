// screen-text FIRST_ROW [LAST_ROW] < window.xwd
//
// Prints text rows of a window dump (what `xwd` writes) as the user reads
// them, one line per row, trailing blanks removed, read with the same font
// matching as the end-to-end tests. scripts/run.sh uses it to wait for the
// program's prompts and to report the marker readout.
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>

#include "tests/e2e/e2e_harness.h"

namespace {

constexpr int kColumns = 128, kRows = 48;

int row(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return (*end == '\0' && value >= 1 && value <= kRows) ? static_cast<int>(value) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int first = argc >= 2 ? row(argv[1]) : 0;
  const int last = argc >= 3 ? row(argv[2]) : first;
  if (argc < 2 || argc > 3 || first == 0 || last < first) {
    std::cerr << "usage: screen-text FIRST_ROW [LAST_ROW] < window.xwd   (rows 1 to " << kRows << ")\n";
    return 2;
  }
  const std::string dump{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  std::string why;
  const auto image = vna::e2e::decodeXwd(dump, why);
  if (!image) {
    std::cerr << "screen-text: " << why << '\n';
    return 1;
  }
  for (int r = first; r <= last; ++r) {
    const std::string text = vna::e2e::utf8(vna::e2e::textAt(*image, r, 1, kColumns));
    std::cout << text.substr(0, text.find_last_not_of(' ') + 1) << '\n';
  }
  return 0;
}
