// The viewers' start screen: the program's titles and the list of the
// Touchstone files of a directory that it can show, scrolled with the wheel,
// the arrows or the thumb of a scroll bar, and picked with a click.
//
// Both viewers run the same screen; what differs (titles, extensions, how
// many names the list holds, the words of the "no file" message) is a table
// per viewer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/click_latch.h"
#include "platform/screen.h"

namespace vna {

// A fixed text of the start screen at column 8, `colour` on black.
struct StartScreenLine {
  int row;
  int colour;
  std::string_view text;
};

// One viewer's start screen, as data.
struct FileListTable {
  std::span<const StartScreenLine> lines;
  // A file is listed when its name ends in one of these, in any case.
  std::span<const std::string_view> extensions;
  // The list keeps the first this many matching names and no more.
  std::size_t capacity;
  // Rows 26 and 27 when the directory holds no such file.
  std::string_view noFileFirst, noFileSecond;
};

// The table of impedance-viewer or transmission-viewer (the analyzers have
// no file list; they get the impedance viewer's).
// Each viewer's list.
const FileListTable& impedanceViewerFiles();
const FileListTable& transmissionViewerFiles();

// The names of the normal files of `directory` that `viewer` lists, in the
// order the directory search returns them, at most the table's capacity.
// A directory that cannot be read lists nothing.
std::vector<std::string> listedFiles(const FileListTable& table, const std::filesystem::path& directory);

// The viewer's start screen: its texts, the matching files of `directory` (in
// the order the directory search returns them) and the user's choice. Returns
// the chosen file's name (as listed), or nothing when the user leaves (Escape,
// or the Exit button). Draws on a cleared screen; the caller redraws after it.
std::optional<std::string> chooseFile(Screen& screen, ClickLatch& latch, const FileListTable& table,
                                      const std::filesystem::path& directory);

// Says that the chosen file cannot be shown, and on the row below why, over
// what the screen holds, for 3 s or until a key (which is taken, so an Esc
// does not end the viewer).
void showNotCompatible(Screen& screen, std::string_view reason);

}  // namespace vna
