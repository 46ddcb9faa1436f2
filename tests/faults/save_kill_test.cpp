// Saves killed half-way: a driver process makes 200 saves of each kind,
// alternating two contents, and is killed with SIGKILL at random moments
// (and started again for the saves still to make). After every kill the
// file must be the complete old or the complete new version, byte for byte.
// Temporary files left by a kill are counted; they must never take the
// name of a file a program reads (an .s1p, .s2p, .bmp, configu or the
// calibration file) and the saves after them must still work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/faults/save_kinds.h"

namespace vna::faults {
namespace {

namespace fs = std::filesystem;
constexpr int kSaves = 200;
// Saves of a few bytes in memory are over before the kill can come: their
// runs go on past 200 saves until so many kills have hit them.
constexpr int kMinKills = 40;

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::uint64_t seed() {
  if (const char* given = std::getenv("VNA_KILL_SEED")) return std::strtoull(given, nullptr, 10);
  return std::random_device{}();
}

// The driver started on saves first..last-1 of a kind, its standard input
// and output on pipes.
struct Driver {
  pid_t pid = -1;
  int output = -1, input = -1;

  Driver(SaveKind kind, const fs::path& folder, int first, int last) {
    int fds[2], go[2];
    if (::pipe(fds) != 0) return;
    if (::pipe(go) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::dup2(fds[1], 1);
      ::dup2(go[0], 0);
      ::close(fds[0]);
      ::close(fds[1]);
      ::close(go[0]);
      ::close(go[1]);
      const std::string program = std::string(VNA_BINARY_DIR) + "/save-kill-driver";
      const std::string a = std::to_string(first), b = std::to_string(last);
      ::execl(program.c_str(), program.c_str(), std::string(kindName(kind)).c_str(), folder.c_str(), a.c_str(),
              b.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    ::close(go[0]);
    output = fds[0];
    input = go[1];
  }
  ~Driver() {
    if (output >= 0) ::close(output);
    if (input >= 0) ::close(input);
  }
  // True once the driver said it is ready to save.
  bool ready() const {
    char c = 0;
    return ::read(output, &c, 1) == 1 && c == 'r';
  }
  // Lets it begin its saves.
  bool start() const { return ::write(input, "g", 1) == 1; }
  // Kills it (when still running) and waits; the number of saves it completed.
  int stop(bool kill, int& status) {
    if (kill) ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    int done = 0;
    char buffer[256];
    for (ssize_t n; (n = ::read(output, buffer, sizeof buffer)) > 0;) done += static_cast<int>(std::count(buffer, buffer + n, '.'));
    return done;
  }
};

// The folder of the saves: in memory (/dev/shm) where there is one, so that
// 1200 saves take seconds, not minutes of disk flushes; a kill of the process
// tests the same renames there, the data in the page cache survives it on
// any file system.
class KillFolder {
 public:
  KillFolder() {
    // VNA_KILL_FOLDER=/some/disk/folder runs them on a disk instead.
    const char* chosen = std::getenv("VNA_KILL_FOLDER");
    const fs::path base = chosen                                                                   ? fs::path(chosen)
                          : fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                             : fs::temp_directory_path();
    std::string pattern = (base / "vna-kill-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~KillFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct KillFigures {
  // old: the last save reported complete; fresh: the save under way, when
  // the kill came after its rename but before the driver said so.
  int kills = 0, old = 0, fresh = 0, partial = 0;
  int killsLeavingTemps = 0, tempsLeft = 0, runs = 0, saves = 0;
  std::string leftover;  // the name of a temporary file left, if any
  double seconds = 0;
};

// The bytes a complete save of each version gives, made uninterrupted in a
// folder of their own, and the time one save takes.
struct Expected {
  std::string version[2];
  double secondsPerSave = 0;
};

Expected expectedFor(SaveKind kind) {
  KillFolder scratch;
  prepareFolder(kind, scratch.path());
  const Saver saver(kind);
  Expected e;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 4; ++i) {
    const SaveResult saved = saver.save(scratch.path(), i % 2);
    EXPECT_TRUE(saved) << saved.reason();
    e.version[i % 2] = bytesOf(scratch.path() / targetName(kind));
  }
  e.secondsPerSave = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 4;
  return e;
}

KillFigures killWhileSaving(SaveKind kind, std::mt19937_64& random) {
  KillFigures f;
  const Expected expected = expectedFor(kind);
  EXPECT_NE(expected.version[0], expected.version[1]);
  KillFolder dir;
  prepareFolder(kind, dir.path());
  const std::string target = targetName(kind);
  const std::string prepared = bytesOf(dir.path() / target);  // empty when there is none
  // The kill comes anywhere in the first three saves of a run.
  const auto limit = std::chrono::duration<double>(3 * expected.secondsPerSave + 20e-6);
  double limitSeconds = limit.count();
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto start = std::chrono::steady_clock::now();
  int done = 0;
  while ((done < kSaves || f.kills < kMinKills) && f.runs < 20 * kSaves) {
    ++f.runs;
    Driver driver(kind, dir.path(), done, std::max(kSaves, done + 20));
    if (!driver.ready() || !driver.start()) {
      ADD_FAILURE() << "the driver did not start";
      int status = 0;
      driver.stop(true, status);
      break;
    }
    // A sleep of less than a millisecond oversleeps by a scheduler tick; a
    // save in memory takes tens of microseconds, so the wait is spun.
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds * unit(random));
    while (std::chrono::steady_clock::now() < until) {
    }
    int status = 0;
    const int completed = driver.stop(true, status);
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      ADD_FAILURE() << kindName(kind) << ": the driver ended with status " << status;
      break;
    }
    done += completed;
    // The time a save takes in the driver is not quite the time it took
    // here: the range of the delays follows what the runs show, so that a
    // run makes one to four saves and most kills fall inside one.
    if (completed > 4) limitSeconds *= 4.0 / completed;
    if (completed == 0) limitSeconds *= 1.25;
    if (!killed) continue;
    ++f.kills;
    // Save done-1 was the last completed (version (done-1) % 2); save done
    // was under way. Before the first save the prepared file, if any, is there.
    const std::string now = bytesOf(dir.path() / target);
    const int lastVersion = (done + 1) % 2;
    if (done > 0 && now == expected.version[lastVersion]) {
      ++f.old;
    } else if (now == expected.version[done % 2]) {
      ++f.fresh;
    } else if (done == 0 && now == prepared) {
      ++f.old;  // nothing was replaced yet
    } else {
      ++f.partial;
      ADD_FAILURE() << kindName(kind) << ": after kill " << f.kills << " (" << done << " saves done) the file is "
                    << now.size() << " bytes, neither version";
    }
    const std::vector<std::string> names = namesIn(dir.path());
    int temps = 0;
    for (const std::string& name : names) temps += name != target;
    f.killsLeavingTemps += temps > f.tempsLeft;
    f.tempsLeft = temps;
  }
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.saves = done;
  EXPECT_GE(done, kSaves) << kindName(kind) << ": not all saves were made in " << f.runs << " runs";
  // Whatever the kills left, the next saves work and give their file.
  {
    Driver last(kind, dir.path(), done, done + 2);
    int status = 0;
    EXPECT_TRUE(last.ready() && last.start());
    EXPECT_EQ(last.stop(false, status), 2);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(bytesOf(dir.path() / target), expected.version[(done + 1) % 2]);
  }
  // What a kill leaves beside the file is never one of the files the
  // programs read: no measurement file a viewer lists, no settings or
  // calibration file, nor anything named after one.
  for (const std::string& name : namesIn(dir.path())) {
    if (name == target) continue;
    f.leftover = name;
    const std::string ext = fs::path(name).extension().string();
    EXPECT_TRUE(ext != ".s1p" && ext != ".s2p" && ext != ".bmp" && name != "configu" && name != "cal.txt")
        << kindName(kind) << " left " << name;
  }
  return f;
}

TEST(SavesKilledHalfWay, EveryKindLeavesTheOldOrTheNewFileWhole) {
  const std::uint64_t s = seed();
  std::printf("kill delays seeded with %llu (VNA_KILL_SEED=%llu repeats them)\n", static_cast<unsigned long long>(s),
              static_cast<unsigned long long>(s));
  std::mt19937_64 random(s);
  std::printf("%-15s %6s %6s %6s %6s %8s %12s %11s %6s\n", "kind", "kills", "old", "new", "partial", "saves",
              "kills+temps", "temps left", "secs");
  for (SaveKind kind : kAllSaveKinds) {
    const KillFigures f = killWhileSaving(kind, random);
    std::printf("%-15s %6d %6d %6d %6d %8d %12d %11d %6.2f\n", std::string(kindName(kind)).c_str(), f.kills, f.old,
                f.fresh, f.partial, f.saves, f.killsLeavingTemps, f.tempsLeft, f.seconds);
    if (!f.leftover.empty()) std::printf("%15s left %s\n", "", f.leftover.c_str());
    std::fflush(stdout);
    EXPECT_EQ(f.partial, 0) << kindName(kind);
    // Kills that hit no save at all would prove nothing.
    EXPECT_GE(f.kills, kMinKills) << kindName(kind);
  }
}

}  // namespace
}  // namespace vna::faults
