// save-kill-driver KIND FOLDER FIRST LAST: makes saves FIRST to LAST-1 of one
// kind into FOLDER, save i with version i % 2, the way the programs save.
// Writes 'r' to standard output once its data is ready, starts when a byte
// comes on standard input, and writes one '.' after each completed save, so that whoever kills it knows what was last saved.
// Exit status 0 when all are done, 1 with the reason when a save failed,
// 2 for bad arguments.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/faults/save_kinds.h"

int main(int argc, char** argv) {
  using namespace vna::faults;
  SaveKind kind{};
  if (argc != 5 || !kindFromName(argv[1], kind)) {
    std::fprintf(stderr, "usage: save-kill-driver s1p|s2p-merge|bmp|reference-load|adjustment|calibration FOLDER FIRST LAST\n");
    return 2;
  }
  const std::filesystem::path folder = argv[2];
  const int first = std::atoi(argv[3]), last = std::atoi(argv[4]);
  const Saver saver(kind);
  char go = 0;
  if (::write(1, "r", 1) != 1 || ::read(0, &go, 1) != 1) return 1;
  for (int i = first; i < last; ++i) {
    const vna::SaveResult saved = saver.save(folder, i % 2);
    if (!saved) {
      std::fprintf(stderr, "save %d: %s\n", i, saved.reason().c_str());
      return 1;
    }
    if (::write(1, ".", 1) != 1) return 1;
  }
  return 0;
}
