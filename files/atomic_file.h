// Saving a whole file so that it is either completely there or not changed.
//
// The bytes go to a temporary file in the target's own directory (a rename
// is only atomic within one file system), are flushed to the disk, and only
// then is the temporary file renamed over the target. The temporary file has
// no name while it is written (O_TMPFILE, where the file system has it): a
// program killed half-way leaves nothing; it is named just for the rename, so
// only a kill between those two system calls leaves one, under a name no
// program reads ("meas.s1p.x7Kq2b"). Any failure on the way removes the
// temporary file and leaves an existing target exactly as it was; the result
// then says which step failed and why.
#pragma once

#include <cstdint>
#include <optional>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace vna {

// Success, or the reason of a failure in words fit for the screen. It has to
// be looked at: a save whose failure goes unnoticed is the fault this avoids.
class [[nodiscard]] SaveResult {
 public:
  static SaveResult success() { return SaveResult(true, {}); }
  static SaveResult failure(std::string reason, std::string detail = {}) {
    return SaveResult(false, std::move(reason), std::move(detail));
  }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  // Empty on success.
  const std::string& reason() const { return reason_; }
  // A second line for the reason, when it needs one ("101 points in the
  // file, 51 in the scan" under " error : the file is not compatible ").
  const std::string& detail() const { return detail_; }

 private:
  SaveResult(bool ok, std::string reason, std::string detail = {})
      : ok_(ok), reason_(std::move(reason)), detail_(std::move(detail)) {}
  bool ok_;
  std::string reason_;
  std::string detail_;
};

// The directory `file` is in: "." for a bare name.
std::filesystem::path directoryOf(const std::filesystem::path& file);

// Replaces (or creates) `target` with `bytes` through a temporary file of a
// fresh unique name beside it. An existing target keeps its permissions; a
// new one gets the usual ones of the process (0666 less the umask).
SaveResult saveAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);
SaveResult saveAtomically(const std::filesystem::path& target, std::string_view bytes);

// The same through a temporary file of the given fixed name in the target's
// directory (a stale file of that name is removed first, never written
// through). Used where that name is a convention of the files saved.
SaveResult saveAtomicallyThrough(const std::filesystem::path& target, std::string_view tempName,
                                 std::string_view bytes);

// A whole file as bytes; the reason, fit for the screen, when it cannot be read.
struct ReadResult {
  std::optional<std::string> bytes;
  std::string reason;
};
ReadResult readWholeFile(const std::filesystem::path& file);

}  // namespace vna
