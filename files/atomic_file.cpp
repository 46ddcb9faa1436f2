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
namespace {

namespace fs = std::filesystem;

struct ByteView {
  const char* data;
  std::size_t size;
};

std::string describe(std::string_view step, const fs::path& file, int error) {
  return std::string(step) + " " + file.filename().string() + ": " + std::generic_category().message(error);
}

fs::path directoryOf(const fs::path& target) {
  return target.has_parent_path() ? target.parent_path() : fs::path(".");
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

// A stale file of the fixed name is ours to overwrite; a symbolic link of
// that name is not followed, so the save cannot write into some other file.
TempFile createFixedTemp(const fs::path& target, std::string_view tempName) {
  fs::path temp = directoryOf(target) / fs::path(tempName);
  if (tempName.empty() || fs::path(tempName).filename() != fs::path(tempName) || temp.filename() == target.filename()) {
    return {-1, {}, "the temporary name " + std::string(tempName) + " cannot be used for " + target.string()};
  }
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return {-1, temp, describe("cannot create", temp, errno)};
  return {fd, std::move(temp), {}};
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

SaveResult finish(TempFile temp, const fs::path& target, ByteView bytes) {
  if (temp.fd < 0) return SaveResult::failure(temp.reason);

  std::optional<std::string> reason;
  // An existing target keeps its permissions (a file made read-only for
  // others stays so after a save).
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(temp.fd, old.st_mode & 07777) != 0) {
    reason = describe("cannot set the permissions of", temp.path, errno);
  }
  if (!reason) {
    if (const int error = writeAll(temp.fd, bytes)) reason = describe("cannot write", temp.path, error);
  }
  // Delayed write errors (NFS, a full disk with delayed allocation) only show
  // at fsync or close, so both are checked before the rename.
  if (!reason && ::fsync(temp.fd) != 0) reason = describe("cannot write", temp.path, errno);
  if (::close(temp.fd) != 0 && !reason) reason = describe("cannot write", temp.path, errno);
  if (!reason && ::rename(temp.path.c_str(), target.c_str()) != 0) reason = describe("cannot replace", target, errno);

  if (reason) {
    ::unlink(temp.path.c_str());
    return SaveResult::failure(*reason);
  }
  syncDirectory(directoryOf(target));
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
  if (!target.has_filename()) return SaveResult::failure("no file name in " + target.string());
  return finish(createUniqueTemp(target), target, viewOf(bytes));
}

SaveResult saveAtomically(const fs::path& target, std::string_view bytes) {
  if (!target.has_filename()) return SaveResult::failure("no file name in " + target.string());
  return finish(createUniqueTemp(target), target, viewOf(bytes));
}

SaveResult saveAtomicallyThrough(const fs::path& target, std::string_view tempName, std::string_view bytes) {
  if (!target.has_filename()) return SaveResult::failure("no file name in " + target.string());
  return finish(createFixedTemp(target, tempName), target, viewOf(bytes));
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
