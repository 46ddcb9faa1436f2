// A folder the user cannot write into, as a user finds on a share mounted
// read-only or in a system directory: owned by root, mode 0555. Root writes
// anywhere, so when the tests run as root the story runs as the user
// "nobody" (uid and gid 65534, no groups) in a copy of this test program
// started through setpriv for this one test; run by another user, the
// folder is that user's own with mode 0555, which refuses him just the same.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vna::faults {

struct CommandOutcome {
  int status = -1;     // exit status; 128 + signal when killed by one
  std::string output;  // standard output and error
};

// Runs a program in `directory` as a user who is not root: as "nobody"
// through setpriv when the tests run as root, as the user himself otherwise.
// `program` is copied first where that user can run it.
CommandOutcome runUnprivileged(const std::filesystem::path& program, const std::vector<std::string>& args,
                               const std::filesystem::path& directory);

class ReadOnlyFolder {
 public:
  using Files = std::vector<std::pair<std::string, std::string>>;  // name, bytes
  // Puts `files` there (mode 0644) and takes away the write permission.
  explicit ReadOnlyFolder(Files files);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Runs `story` in the folder as a user who cannot write it. As root the
  // story runs in the unprivileged copy, whose failures fail this test.
  void run(const std::function<void(const std::filesystem::path&)>& story);

  // What differs from the files it was given: names added or missing, files
  // whose bytes changed; empty when nothing did.
  std::string changes() const;

 private:
  Files files_;
  std::filesystem::path path_, programCopy_;
  bool mine_ = false;  // made here, not handed down by the process that made it
};

}  // namespace vna::faults
