#include "tests/faults/read_only_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vna::faults {
namespace {

namespace fs = std::filesystem;
constexpr const char* kHandedDown = "VNA_READ_ONLY_FOLDER";

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

fs::path freshDirectory(const std::string& stem) {
  std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string currentTest() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

// Runs argv in `directory`, with `folder` handed down when there is one;
// exit status and everything printed.
CommandOutcome runIn(const std::vector<std::string>& argv, const fs::path& directory, const fs::path& folder) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, "no pipe"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    ::close(fds[1]);
    if (!folder.empty()) ::setenv(kHandedDown, folder.c_str(), 1);
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), output};
}

const std::vector<std::string> kAsNobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

// The build tree may lie where "nobody" cannot reach (under /root): a copy
// in a folder of its own that everyone can read, removed with it.
fs::path copyForEveryone(const fs::path& program, std::string& problem) {
  const fs::path dir = freshDirectory("vna-as-nobody");
  if (dir.empty()) return problem = "cannot make a folder for the program", fs::path();
  ::chmod(dir.c_str(), 0755);
  const fs::path copy = dir / program.filename();
  std::error_code error;
  fs::copy_file(program, copy, error);
  if (error) return problem = "cannot copy " + program.string() + ": " + error.message(), fs::path();
  ::chmod(copy.c_str(), 0755);
  return copy;
}

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(Files files) : files_(std::move(files)) {
  std::sort(files_.begin(), files_.end());
  if (const char* handed = std::getenv(kHandedDown)) {
    path_ = handed;
    return;
  }
  mine_ = true;
  path_ = freshDirectory("vna-read-only");
  if (path_.empty()) {
    ADD_FAILURE() << "cannot make a folder in " << fs::temp_directory_path();
    return;
  }
  for (const auto& [name, bytes] : files_) {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    ::chmod((path_ / name).c_str(), 0644);
  }
  ::chmod(path_.c_str(), 0555);
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (!mine_) return;
  std::error_code ignored;
  if (!path_.empty()) {
    ::chmod(path_.c_str(), 0755);
    fs::remove_all(path_, ignored);
  }
  if (!programCopy_.empty()) fs::remove_all(programCopy_.parent_path(), ignored);
}

void ReadOnlyFolder::run(const std::function<void(const fs::path&)>& story) {
  if (path_.empty()) return;
  if (!mine_ || ::geteuid() != 0) {
    ASSERT_NE(::geteuid(), 0u) << "the story would run as root, who writes into any folder";
    ASSERT_NE(::access(path_.c_str(), W_OK), 0) << path_ << " is writable for this user";
    story(path_);
    return;
  }
  std::string problem;
  programCopy_ = copyForEveryone(fs::read_symlink("/proc/self/exe"), problem);
  ASSERT_FALSE(programCopy_.empty()) << problem;
  std::vector<std::string> argv = kAsNobody;
  argv.push_back(programCopy_.string());
  argv.push_back("--gtest_filter=" + currentTest());
  const auto [status, output] = runIn(argv, "/", path_);
  EXPECT_EQ(status, 0) << "as nobody:\n" << output;
  // The filter matched and the story ran: no failure hidden in a test that did not run.
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << "as nobody:\n" << output;
}

std::string ReadOnlyFolder::changes() const {
  std::string changed;
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path_, error)) names.push_back(entry.path().filename());
  if (error) return "cannot list " + path_.string() + ": " + error.message();
  std::sort(names.begin(), names.end());
  for (const auto& [name, bytes] : files_) {
    if (!std::binary_search(names.begin(), names.end(), name)) {
      changed += name + " is gone; ";
    } else if (bytesOf(path_ / name) != bytes) {
      changed += name + " changed; ";
    }
  }
  for (const std::string& name : names) {
    const bool given = std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return f.first == name; });
    if (!given) changed += name + " was added; ";
  }
  return changed;
}

CommandOutcome runUnprivileged(const fs::path& program, const std::vector<std::string>& args, const fs::path& directory) {
  if (::geteuid() != 0) {
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runIn(argv, directory, {});
  }
  std::string problem;
  const fs::path copy = copyForEveryone(program, problem);
  if (copy.empty()) return {-1, problem};
  std::vector<std::string> argv = kAsNobody;
  argv.push_back(copy.string());
  argv.insert(argv.end(), args.begin(), args.end());
  CommandOutcome outcome = runIn(argv, directory, {});
  std::error_code ignored;
  fs::remove_all(copy.parent_path(), ignored);
  return outcome;
}

}  // namespace vna::faults
