// The saves the programs make, each in two versions of different content,
// for the tests that interrupt them: the same library calls the Save As
// dialog, the screen copy, the Reference Load and Adjustment screens and
// vna-measure make, on data the size of an 801-point scan.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "files/atomic_file.h"

namespace vna::faults {

enum class SaveKind { s1p, s2pMerge, bmp, referenceLoad, adjustment, calibration };

inline constexpr std::array<SaveKind, 6> kAllSaveKinds{SaveKind::s1p,           SaveKind::s2pMerge,
                                                        SaveKind::bmp,           SaveKind::referenceLoad,
                                                        SaveKind::adjustment,    SaveKind::calibration};

// "s1p", "s2p-merge", "bmp", "reference-load", "adjustment", "calibration".
std::string_view kindName(SaveKind kind);
bool kindFromName(std::string_view name, SaveKind& kind);

// The file the saves of a kind replace.
std::string targetName(SaveKind kind);

// Puts what the saves of a kind start from into `folder`: the two-port file
// the merge goes into (s11 measured, s21 to be put in), a settings file with
// every field set, or nothing.
void prepareFolder(SaveKind kind, const std::filesystem::path& folder);

// The saves made by a program, each holding all its data in memory before the
// first save so that a save takes only the time of the save.
class Saver {
 public:
  explicit Saver(SaveKind kind);
  ~Saver();
  Saver(const Saver&) = delete;
  Saver& operator=(const Saver&) = delete;

  // Version 0 or 1 of the kind's content into `folder`.
  SaveResult save(const std::filesystem::path& folder, int version) const;

 private:
  struct Data;
  SaveKind kind_;
  Data* data_;
};

}  // namespace vna::faults
