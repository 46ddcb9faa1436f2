#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/files/temp_dir.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOld = {'o', 'l', 'd'};

TEST(AtomicFile, SavesAndReplacesKeepingPermissionsAndNoTemporaryFile) {
  TempDir dir;
  const fs::path file = dir.path() / "a.s1p";
  ASSERT_TRUE(saveAtomically(file, std::string_view("first")));
  writeFile(file, kOld);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const SaveResult saved = saveAtomically(file, Bytes{1, 2, 3, 4});
  ASSERT_TRUE(saved) << saved.reason();
  EXPECT_TRUE(saved.reason().empty());
  EXPECT_EQ(readFile(file), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.s1p"});
}

// Root ignores directory permissions, so the paths that cannot be written
// are made of names that cannot be files.
TEST(AtomicFile, APathThatCannotBeAFileFailsAndChangesNothing) {
  TempDir dir;
  writeFile(dir.path() / "plain", kOld);
  const SaveResult underFile = saveAtomically(dir.path() / "plain" / "a.s2p", std::string_view("x"));
  EXPECT_FALSE(underFile.ok());
  EXPECT_NE(underFile.reason().find("Not a directory"), std::string::npos) << underFile.reason();

  fs::create_directory(dir.path() / "a.bmp");
  const SaveResult overDirectory = saveAtomically(dir.path() / "a.bmp", std::string_view("x"));
  EXPECT_FALSE(overDirectory.ok());
  EXPECT_FALSE(overDirectory.reason().empty());
  EXPECT_TRUE(fs::is_directory(dir.path() / "a.bmp"));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.bmp", "plain"}));
  EXPECT_EQ(readFile(dir.path() / "plain"), kOld);

  const SaveResult sameName = saveAtomicallyThrough(dir.path() / "plain", "plain", "x");
  EXPECT_FALSE(sameName.ok());  // the temporary file would be the target itself
  EXPECT_EQ(readFile(dir.path() / "plain"), kOld);
}

TEST(AtomicFile, AFixedTemporaryNameIsUsedAndAStaleOneReplaced) {
  TempDir dir;
  writeFile(dir.path() / "spartemp.tmp", Bytes(100, 'z'));
  ASSERT_TRUE(saveAtomicallyThrough(dir.path() / "a.s2p", "spartemp.tmp", "new"));
  EXPECT_EQ(readFile(dir.path() / "a.s2p"), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.s2p"});
}

// A file of the fixed name that is another name of some file of the user
// (a hard link) is removed, not written into: that file keeps its bytes.
TEST(AtomicFile, AFixedTemporaryNameLinkedToAnotherFileLeavesThatFileAlone) {
  TempDir dir;
  writeFile(dir.path() / "notes.txt", kOld);
  fs::create_hard_link(dir.path() / "notes.txt", dir.path() / "spartemp.tmp");
  ASSERT_TRUE(saveAtomicallyThrough(dir.path() / "a.s2p", "spartemp.tmp", "new"));
  EXPECT_EQ(readFile(dir.path() / "notes.txt"), kOld);
  EXPECT_EQ(readFile(dir.path() / "a.s2p"), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.s2p", "notes.txt"}));
}

// A write that stops half-way (here at the process's file size limit, which
// needs no privileges) must neither report success nor touch the old file.
TEST(AtomicFile, AWriteFailingHalfWayKeepsTheOldFile) {
  TempDir dir;
  const fs::path file = dir.path() / "a.bmp";
  writeFile(file, kOld);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult result = saveAtomically(file, Bytes(787510, 7));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.reason().find("File too large"), std::string::npos) << result.reason();
  EXPECT_EQ(readFile(file), kOld);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.bmp"});
}

// A real full file system: a 64 KiB tmpfs mounted in a mount namespace of a
// child process, so nothing stays mounted whatever happens.
TEST(AtomicFile, AFullFileSystemKeepsTheOldFile) {
  TempDir dir;
  constexpr int kCannotMount = 99;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
      ::_exit(kCannotMount);
    }
    const fs::path file = dir.path() / "a.bmp";
    writeFile(file, kOld);
    const SaveResult result = saveAtomically(file, Bytes(787510, 7));
    int failures = 0;
    if (result.ok() || result.reason().find("No space left") == std::string::npos) failures |= 1;
    if (readFile(file) != kOld) failures |= 2;
    if (dir.entries() != std::vector<std::string>{"a.bmp"}) failures |= 4;
    ::_exit(failures);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kCannotMount) {
    GTEST_SKIP() << "mounting a small tmpfs needs CAP_SYS_ADMIN in a mount namespace, not available here";
  }
  EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "the save did not report 'No space left'";
  EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "the old file changed";
  EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "a temporary file was left behind";
}

}  // namespace
}  // namespace vna
