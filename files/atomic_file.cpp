#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <optional>
#include <system_error>

namespace vna {

std::filesystem::path directoryOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

namespace {

namespace fs = std::filesystem;

struct ByteView {
  const char* data;
  std::size_t size;
};

std::string describe(std::string_view step, const fs::path& file, int error) {
  return std::string(step) + " " + file.filename().string() + ": " + std::generic_category().message(error);
}

// An open temporary file, or why there is none.
struct TempFile {
  int fd = -1;
  fs::path path;
  std::string reason;
};

// Six letters that differ between calls and between processes; O_EXCL makes
// a collision harmless, it only costs another try.
std::string uniqueSuffix() {
  static std::uint64_t counter = 0;
  std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  x ^= (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++counter * 0x9E3779B97F4A7C15ull;
  // splitmix64 finaliser: neighbouring inputs give unrelated letters.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, x /= kLetters.size()) suffix += kLetters[x % kLetters.size()];
  return suffix;
}

// Mode 0666 lets the umask decide a new file's permissions, as for any file
// the user creates; mkstemp's 0600 would hide saved measurements from others.
TempFile createUniqueTemp(const fs::path& target) {
  const fs::path dir = directoryOf(target);
  int error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = dir / (target.filename().string() + "." + uniqueSuffix());
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return {fd, std::move(candidate), {}};
    error = errno;
    if (error != EEXIST)
      return {-1, std::move(candidate), describe("cannot create a temporary file for", target, error)};
  }
  return {-1, {}, describe("cannot create a temporary file for", target, error)};
}

// Whether a fixed temporary name can be used for `target`: a plain name,
// not the target's own.
bool usableTempName(const fs::path& target, std::string_view tempName) {
  return !tempName.empty() && fs::path(tempName).filename() == fs::path(tempName) &&
         fs::path(tempName).filename() != target.filename();
}

// A stale file of the fixed name is ours to overwrite; a symbolic link of
// that name is not followed, so the save cannot write into some other file.
TempFile createFixedTemp(const fs::path& target, std::string_view tempName) {
  fs::path temp = directoryOf(target) / fs::path(tempName);
  if (!usableTempName(target, tempName)) {
    return {-1, {}, "the temporary name " + std::string(tempName) + " cannot be used for " + target.string()};
  }
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return {-1, temp, describe("cannot create", temp, errno)};
  return {fd, std::move(temp), {}};
}

// An unnamed file in the target's directory (O_TMPFILE). It gets a name only
// once its bytes are complete and on the disk, just before the rename, so a
// program killed while writing (or a power cut) leaves nothing behind: the
// file system frees a file without a name. -1 and errno when it cannot be
// made; EOPNOTSUPP, EISDIR or EINVAL say that this file system (or kernel)
// has no unnamed files.
int openUnnamed(const fs::path& dir) {
#ifdef O_TMPFILE
  return ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool lacksUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// Gives the unnamed file `fd` the name `name`: 0, or errno. Through
// /proc/self/fd, which needs no privilege; without /proc through the
// descriptor itself, which only root may do.
int nameUnnamed(int fd, const fs::path& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  int error = errno;
#ifdef AT_EMPTY_PATH
  if (error == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    error = errno;
  }
#endif
  return error;
}

// Nothing but a complete write counts: a short write is retried, and the
// first real error (no space left, I/O error, file too large) ends it.
int writeAll(int fd, ByteView bytes) {
  std::size_t done = 0;
  while (done < bytes.size) {
    const ssize_t n = ::write(fd, bytes.data + done, bytes.size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;  // no progress and no reason: do not spin
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// Once the rename is done the new file is in place whatever follows; syncing
// the directory only makes the new name survive a power cut sooner, and some
// file systems refuse it, so its failure is not a failed save.
void syncDirectory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Gives the temporary file the permissions of an existing target (a file
// made read-only for others stays so after a save), writes the bytes and
// flushes them to the disk; the reason of a failure, or nothing.
std::optional<std::string> writeOut(int fd, const fs::path& shownAs, const fs::path& target, ByteView bytes) {
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 07777) != 0) {
    return describe("cannot set the permissions of", shownAs, errno);
  }
  if (const int error = writeAll(fd, bytes)) return describe("cannot write", shownAs, error);
  // Delayed write errors (NFS, a full disk with delayed allocation) only show
  // at fsync or close, so both are checked before the rename.
  if (::fsync(fd) != 0) return describe("cannot write", shownAs, errno);
  return std::nullopt;
}

// A named temporary file, where unnamed ones cannot be had.
SaveResult finish(TempFile temp, const fs::path& target, ByteView bytes) {
  if (temp.fd < 0) return SaveResult::failure(temp.reason);

  std::optional<std::string> reason = writeOut(temp.fd, temp.path, target, bytes);
  if (::close(temp.fd) != 0 && !reason) reason = describe("cannot write", temp.path, errno);
  if (!reason && ::rename(temp.path.c_str(), target.c_str()) != 0) reason = describe("cannot replace", target, errno);

  if (reason) {
    ::unlink(temp.path.c_str());
    return SaveResult::failure(*reason);
  }
  syncDirectory(directoryOf(target));
  return SaveResult::success();
}

// The save: through an unnamed file when the file system has them, which is
// named (uniquely, or `tempName`) only for the rename; through a named
// temporary file from the start otherwise. The messages are the same either
// way.
SaveResult save(const fs::path& target, std::string_view tempName, ByteView bytes) {
  if (!target.has_filename()) return SaveResult::failure("no file name in " + target.string());
  const bool fixed = !tempName.empty();
  if (fixed && !usableTempName(target, tempName))
    return SaveResult::failure("the temporary name " + std::string(tempName) + " cannot be used for " + target.string());
  const fs::path dir = directoryOf(target);
  const auto cannotCreate = [&](int error) {
    return fixed ? describe("cannot create", dir / fs::path(tempName), error)
                 : describe("cannot create a temporary file for", target, error);
  };

  const int fd = openUnnamed(dir);
  if (fd < 0) {
    const int error = errno;
    if (!lacksUnnamedFiles(error)) return SaveResult::failure(cannotCreate(error));
    return finish(fixed ? createFixedTemp(target, tempName) : createUniqueTemp(target), target, bytes);
  }
  if (std::optional<std::string> reason = writeOut(fd, target, target, bytes)) {
    ::close(fd);
    return SaveResult::failure(*reason);
  }
  // The name: a stale file of the fixed name (left by a program that used
  // it as a file to write into) is replaced; a symbolic link of that name is
  // removed, not followed.
  fs::path temp;
  int error = 0;
  if (fixed) {
    temp = dir / fs::path(tempName);
    ::unlink(temp.c_str());
    error = nameUnnamed(fd, temp);
  } else {
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = dir / (target.filename().string() + "." + uniqueSuffix());
      if ((error = nameUnnamed(fd, temp)) != EEXIST) break;
    }
  }
  if (error) {
    ::close(fd);
    return SaveResult::failure(cannotCreate(error));
  }
  // The rename follows at once, so that the named file lives for two system
  // calls only. The bytes are on the disk already (fsync said so), and
  // closing a file without a delayed write has nothing left to fail.
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(temp.c_str());
    ::close(fd);
    return SaveResult::failure(describe("cannot replace", target, renameError));
  }
  ::close(fd);
  syncDirectory(dir);
  return SaveResult::success();
}

ByteView viewOf(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
ByteView viewOf(std::string_view bytes) {
  return {bytes.data(), bytes.size()};
}

}  // namespace

SaveResult saveAtomically(const fs::path& target, std::span<const std::uint8_t> bytes) {
  return save(target, {}, viewOf(bytes));
}

SaveResult saveAtomically(const fs::path& target, std::string_view bytes) { return save(target, {}, viewOf(bytes)); }

SaveResult saveAtomicallyThrough(const fs::path& target, std::string_view tempName, std::string_view bytes) {
  if (tempName.empty())
    return SaveResult::failure("the temporary name " + std::string(tempName) + " cannot be used for " + target.string());
  return save(target, tempName, viewOf(bytes));
}

ReadResult readWholeFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return {std::nullopt, "cannot read " + file.filename().string() + ": " + std::generic_category().message(errno)};
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return {std::nullopt, "cannot read " + file.filename().string() + ": " + std::generic_category().message(error)};
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return {std::move(bytes), {}};
}

}  // namespace vna
