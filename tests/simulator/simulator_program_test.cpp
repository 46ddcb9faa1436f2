// The instrument-simulator program as the analyzer meets it: a process that
// serves a pseudo-terminal, opened here with the real SerialPort.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "simulator/instrument_model.h"
#include "tests/simulator/instrument_exchange.h"

namespace vna {
namespace {

const std::string kProgram = std::string(VNA_BINARY_DIR) + "/instrument-simulator";

// Generous bounds: they only keep a broken test from hanging.
constexpr int kPatienceMs = 3000;

class SimulatorProcess {
 public:
  explicit SimulatorProcess(std::vector<std::string> args) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(kProgram.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
  }
  ~SimulatorProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
      if (fd >= 0) ::close(fd);
  }

  // The next line on standard output, or "" after the patience ran out.
  std::string readLine() { return readLineFrom(out_, outBuffer_); }
  // Standard error up to a line containing `text` (or the patience's end).
  bool stderrShows(const std::string& text) {
    for (std::string line = readLineFrom(err_, errBuffer_); !line.empty(); line = readLineFrom(err_, errBuffer_))
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  void command(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(::write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Sends a signal and returns the exit status (-1 if it did not end).
  int stop(int signal) {
    ::kill(pid_, signal);
    for (int i = 0; i < kPatienceMs / 10; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ::usleep(10000);
    }
    return -1;
  }

 private:
  static std::string readLineFrom(int fd, std::string& buffer) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (buffer.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
    const std::size_t end = buffer.find('\n');
    if (end == std::string::npos) return "";
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    return line;
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string outBuffer_, errBuffer_;
};

// "instrument-simulator: serving /dev/pts/5 as /tmp/x/ttyUSB0" -> the two paths.
std::pair<std::string, std::string> servedPaths(const std::string& line) {
  const std::string start = "instrument-simulator: serving ";
  if (line.rfind(start, 0) != 0) return {};
  const std::string rest = line.substr(start.size());
  const std::size_t as = rest.find(" as ");
  if (as == std::string::npos) return {rest, ""};
  return {rest.substr(0, as), rest.substr(as + 4)};
}

std::vector<std::uint8_t> receive(SerialPort& port, std::size_t wanted, int patienceMs = kPatienceMs) {
  std::vector<std::uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
  while (got.size() < wanted && !port.vanished() && std::chrono::steady_clock::now() < deadline) {
    pollfd p{port.wakeSource().fd, POLLIN, 0};
    ::poll(&p, 1, 20);
    std::vector<std::uint8_t> chunk(port.bytesWaiting());
    chunk.resize(port.read(chunk));
    got.insert(got.end(), chunk.begin(), chunk.end());
  }
  return got;
}

void resetAndTune(SerialPort& port, double hz) {
  port.write(test::resetBytes());
  ::usleep(60000);
  port.write(test::loadFrequency(hz));
  port.write(test::kStrobe);
  ::usleep(50000);
}

class SimulatorProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built"; }
};

TEST_F(SimulatorProgramTest, AnswersTheProtocolOnItsPseudoTerminal) {
  SimulatorProcess sim({"--no-link", "--device", "resistor 100", "--noise", "0"});
  const auto [pty, link] = servedPaths(sim.readLine());
  ASSERT_FALSE(pty.empty());
  EXPECT_TRUE(link.empty());
  SerialPort port(pty);
  ASSERT_TRUE(port.open());
  resetAndTune(port, 60e6);
  port.write(std::vector<std::uint8_t>{0x41});
  const auto reply = receive(port, test::replyLength(1));
  ASSERT_EQ(reply.size(), test::replyLength(1));
  // What the samples say is what the model says for these settings.
  const auto reading = test::readPoint(test::decodeReply(reply, 14));
  InstrumentModel model;
  model.setDevice(Device::resistor(100.0));
  EXPECT_NEAR(std::abs(reading.ratio - model.ratioAt(59999999.986)), 0.0, 1e-4);

  // Closing and reopening the port, as after a time-out, keeps the session.
  port.close();
  ASSERT_TRUE(port.open());
  port.write(std::vector<std::uint8_t>{0x40});
  EXPECT_EQ(receive(port, 50).size(), 50u);
  EXPECT_FALSE(port.vanished());

  port.write(std::vector<std::uint8_t>{0x99});
  EXPECT_TRUE(sim.stderrShows("unexpected byte 0x99"));
  EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST_F(SimulatorProgramTest, TakesFaultsAndDevicesFromItsControlInput) {
  SimulatorProcess sim({"--no-link"});
  const std::string pty = servedPaths(sim.readLine()).first;
  SerialPort port(pty);
  ASSERT_TRUE(port.open());
  resetAndTune(port, 1e6);

  sim.command("device short");
  EXPECT_EQ(sim.readLine(), "instrument-simulator: device short");
  sim.command("fault short-reply 1");
  EXPECT_EQ(sim.readLine(), "instrument-simulator: fault short-reply 1");
  port.write(std::vector<std::uint8_t>{0x40});
  EXPECT_EQ(receive(port, 50, 500).size(), 49u);  // 7(n+1) bytes: never complete
  port.write(std::vector<std::uint8_t>{0x40});
  const auto reply = receive(port, 50);
  ASSERT_EQ(reply.size(), 50u);
  EXPECT_GT(std::abs(test::readPoint(test::decodeReply(reply, 7)).ratio), 0.9);  // a short reads about 1

  // Unplugging hangs up the port; the instrument returns on a new one.
  sim.command("fault unplug 0.5");
  EXPECT_EQ(sim.readLine(), "instrument-simulator: fault unplug 0.5");
  EXPECT_EQ(sim.readLine(), "instrument-simulator: unplugged");
  for (int i = 0; i < kPatienceMs / 10 && !port.vanished(); ++i) {
    port.bytesWaiting();
    ::usleep(10000);
  }
  EXPECT_TRUE(port.vanished());
  const std::string again = servedPaths(sim.readLine()).first;
  ASSERT_FALSE(again.empty());
  SerialPort replugged(again);
  ASSERT_TRUE(replugged.open());
  resetAndTune(replugged, 1e6);
  replugged.write(std::vector<std::uint8_t>{0x40});
  EXPECT_EQ(receive(replugged, 50).size(), 50u);

  sim.command("bogus");
  EXPECT_TRUE(sim.stderrShows("instrument-simulator: unknown command \"bogus\" (try help)"));
  sim.command("quit");
  EXPECT_EQ(sim.stop(0), 0);
}

TEST_F(SimulatorProgramTest, LinksItselfAsTheFirstFreeTtyUsbAndRemovesTheLinkOnExit) {
  char pattern[] = "/tmp/vna-sim-links-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  ASSERT_EQ(::symlink("/nowhere", (dir + "/ttyUSB0").c_str()), 0);  // taken

  SimulatorProcess first({"--link-dir", dir});
  const auto [pty, link] = servedPaths(first.readLine());
  EXPECT_EQ(link, dir + "/ttyUSB1");
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), pty);
  SimulatorProcess second({"--link-dir", dir, "--port", "1"});  // asked for a taken one
  EXPECT_TRUE(second.stderrShows("cannot link " + dir + "/ttyUSB1"));
  EXPECT_EQ(second.stop(0), 1);

  SerialPort port(link);
  ASSERT_TRUE(port.open());
  resetAndTune(port, 5e6);
  port.write(std::vector<std::uint8_t>{0x40});
  EXPECT_EQ(receive(port, 50).size(), 50u);

  EXPECT_EQ(first.stop(SIGINT), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/ttyUSB0"));  // not ours: left alone
  std::filesystem::remove_all(dir);
}

TEST_F(SimulatorProgramTest, ReadsControlLinesFromAFifoToo) {
  char pattern[] = "/tmp/vna-sim-fifo-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string fifo = std::string(pattern) + "/control";
  SimulatorProcess sim({"--no-link", "--control", fifo});
  ASSERT_FALSE(servedPaths(sim.readLine()).first.empty());
  ASSERT_TRUE(std::filesystem::is_fifo(fifo));
  for (const char* line : {"device attenuator 20\n", "status\n"}) {
    const int fd = ::open(fifo.c_str(), O_WRONLY);  // one writer after another
    ASSERT_GE(fd, 0);
    ASSERT_GT(::write(fd, line, std::strlen(line)), 0);
    ::close(fd);
  }
  EXPECT_EQ(sim.readLine(), "instrument-simulator: device attenuator 20");
  EXPECT_EQ(sim.readLine().rfind("instrument-simulator: device attenuator 20; fault none; ", 0), 0u);
  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(std::filesystem::exists(fifo));  // made by it, removed by it
  std::filesystem::remove_all(pattern);
}

TEST_F(SimulatorProgramTest, RefusesABadCommandLine) {
  SimulatorProcess sim({"--device", "flux-capacitor"});
  EXPECT_TRUE(sim.stderrShows("--device: unknown device \"flux-capacitor\""));
  EXPECT_EQ(sim.stop(0), 2);
}

}  // namespace
}  // namespace vna
