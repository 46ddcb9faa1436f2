// The Save As dialog of all four programs: a base file name, a file kind,
// and then a Touchstone save of the current scan, or a request to the caller
// for a BMP copy of its measurement screen.
//
// The dialog takes over the whole screen and runs its own polling loop; it
// clears the screen when it opens and when it closes, and the caller redraws
// afterwards. A BMP copy is never made here: the caller makes it after its
// redraw, so that the picture shows the measurement screen and not the
// dialog.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/click_latch.h"
#include "files/parameter_slot.h"
#include "files/touchstone_writer.h"
#include "platform/screen.h"

namespace vna {

// What "type :" offers. The two-port kinds name the parameter the save puts
// into the file.
enum class SaveKind { s1p, s2pS11, s2pS22, s2pS21, s2pS12, bmp };

// The extension of the files a kind writes (".s1p", ".s2p", ".bmp").
std::string_view extensionOf(SaveKind kind);
// The slot of a two-port kind; none for s1p and BMP.
std::optional<ParameterSlot> slotOf(SaveKind kind);

struct SaveKindChoice {
  SaveKind kind;
  std::string_view label;  // as the type field shows it once it has been hovered or changed
};

// A line of the explanations under the fields, in colour 6.
struct SaveAsNote {
  int row;
  std::string_view text;
};

// What the dialog says about a file of the typed name that exists already.
struct ExistingFileWarning {
  std::string_view extension;
  int row;  // "The file ... already exists" here, `advice` on the next row
  std::string_view advice;
};

// One program's dialog, as data.
struct SaveAsTable {
  std::span<const SaveKindChoice> kinds;  // in cycling order; the dialog opens on the first
  std::string_view openingLabel;          // the type field as the dialog opens, one column further left
  FileOrigin origin;                      // whose comment line a new Touchstone file gets
  std::span<const SaveAsNote> notes;
  std::span<const ExistingFileWarning> warnings;
  std::string_view existsEnding;  // closes "The file <name> already exists"
};

// Each program's dialog.
const SaveAsTable& impedanceAnalyzerSaveAs();
const SaveAsTable& transmissionAnalyzerSaveAs();
const SaveAsTable& impedanceViewerSaveAs();
const SaveAsTable& transmissionViewerSaveAs();

struct SaveAsRequest {
  const SaveAsTable* table = &impedanceAnalyzerSaveAs();
  // Where the files go: the programs use their current directory.
  std::filesystem::path directory = ".";
  // The current scan, point 0 first, as the file is to hold it. Asked only
  // when a Touchstone file is saved, so the viewers need not give one.
  std::function<std::vector<TouchstonePoint>()> points;
};

enum class SaveAsOutcome {
  Left,          // Esc or Exit: nothing saved
  Written,       // a new file (or one that replaced a file of the name)
  Merged,        // the parameter was put into the existing two-port file
  BmpRequested,  // the caller is to write `file` as a copy of its screen
  Failed,        // nothing was saved; `failure` says why, and the screen said so
};

struct SaveAsResult {
  // The base name in force when the dialog closed; the program keeps it.
  std::string name = "noname";
  SaveKind kind = SaveKind::s1p;  // the type shown when the dialog closed
  SaveAsOutcome outcome = SaveAsOutcome::Left;
  // The file written, merged into, to be copied to (BMP), or that failed.
  std::filesystem::path file;
  std::string failure;
  std::string failureDetail;  // the line under `failure`, when it has one

  bool bmpRequested() const { return outcome == SaveAsOutcome::BmpRequested; }
  bool saved() const { return outcome == SaveAsOutcome::Written || outcome == SaveAsOutcome::Merged; }
};

// Runs the dialog until the user saves, leaves with Exit or Esc, or closes
// the window. The name starts as "noname" and the type as the program's
// first kind each time. A Touchstone save goes through the atomic writers:
// when it fails (or an existing two-port file cannot take the parameter) the
// reason is shown in black on colour 6 for 3.5 s or until a key, the old
// file is left as it was, and the result says Failed.
SaveAsResult saveAsDialog(Screen& screen, ClickLatch& latch, const SaveAsRequest& request);

// Says that a save failed and why, in black on colour 6 at row 5 (and the
// detail of an incompatible file on row 6), for 3.5 s or until a key (which
// is taken, so an Esc does not end the program).
void showSaveFailure(Screen& screen, std::string_view reason, std::string_view detail = {});

}  // namespace vna
