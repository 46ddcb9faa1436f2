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
  // What a file of another name is not, in the reason it is refused with.
  std::string_view kinds;
};

// The table of impedance-viewer or transmission-viewer (the analyzers have
// no file list; they get the impedance viewer's).
// Each viewer's list.
const FileListTable& impedanceViewerFiles();
const FileListTable& transmissionViewerFiles();

// Whether the viewer of `table` lists (and reads) a file of this name.
bool listsName(const FileListTable& table, std::string_view name);

// The names of the normal files of `directory` that `viewer` lists, sorted
// by name (letters of either case together), at most the table's capacity:
// the first ones of all the matching names. A directory that cannot be read
// lists nothing.
std::vector<std::string> listedFiles(const FileListTable& table, const std::filesystem::path& directory);

// A name as the screen can show it: code page 437 has no UTF-8, so any
// character outside printable ASCII is one "?"; a name too long for the
// list's room to the screen's edge is cut, its last cell a "»".
std::string shownName(std::string_view name);

// The viewer's start screen: its texts, the matching files of `directory`
// (sorted by name) and the user's choice. Returns
// the chosen file's name (as listed), or nothing when the user leaves (Escape,
// or the Exit button). Draws on a cleared screen; the caller redraws after it.
std::optional<std::string> chooseFile(Screen& screen, ClickLatch& latch, const FileListTable& table,
                                      const std::filesystem::path& directory);

// Says that the chosen file cannot be shown, and on the row below why, over
// what the screen holds, for 3 s or until a key (which is taken, so an Esc
// does not end the viewer).
void showNotCompatible(Screen& screen, std::string_view reason);

}  // namespace vna
