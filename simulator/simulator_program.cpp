#include "simulator/simulator_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/numeric.h"
#include "platform/program_version.h"
#include "simulator/control_commands.h"
#include "simulator/device_syntax.h"
#include "simulator/line_reader.h"
#include "simulator/port_link.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/simulator_options.h"

namespace vna {
namespace {

constexpr const char* kName = "instrument-simulator";
// Longest sleep with nothing due: the loop looks again at least this often
// (an unplugged port coming back, for one).
constexpr double kIdleWakeSeconds = 0.05;
// Like the converter, which hands bytes to the host in 1 ms USB frames, we
// pass bytes on in bursts up to a millisecond after their stop bit: a few
// hundred wake-ups a second instead of one per byte.
constexpr double kUsbFrameSeconds = 0.001;

class SimulatorRun {
 public:
  explicit SimulatorRun(const SimulatorOptions& options)
      : options_(options), model_(options.settings, options.seed), start_(std::chrono::steady_clock::now()) {}
  ~SimulatorRun();

  int run();

 private:
  double now() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
  bool setUp();
  bool serve();
  void withdraw();
  bool chooseLink(const std::string& slave);
  bool openControlFifo();
  void pass();
  void followPlug();
  void receiveFromProgram();
  void sendDue();
  void serveControl(LineReader& reader);
  void report();
  timespec timeout() const;

  SimulatorOptions options_;
  InstrumentModel model_;
  PseudoTerminal pty_;
  PortLink link_;
  std::string linkPath_;      // chosen once, kept when the port comes back
  bool linkRefused_ = false;  // no right to link: told the user once
  int servedGeneration_ = 0;
  int signalFd_ = -1;
  int fifoFd_ = -1;
  bool madeFifo_ = false;
  LineReader stdinReader_{STDIN_FILENO};
  LineReader fifoReader_{-1};
  std::chrono::steady_clock::time_point start_;
  bool quit_ = false;
};

SimulatorRun::~SimulatorRun() {
  withdraw();
  if (fifoFd_ >= 0) ::close(fifoFd_);
  if (madeFifo_) ::unlink(options_.controlFifo.c_str());
  if (signalFd_ >= 0) ::close(signalFd_);
}

bool SimulatorRun::setUp() {
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  // The signals arrive as readable bytes, so the loop ends cleanly and the
  // link is removed.
  if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signalFd_ < 0) return false;
  model_.setDevice(options_.device);
  model_.setLogging(options_.log);
  if (options_.fault.kind != FaultKind::None) model_.setFault(options_.fault, now());
  return options_.controlFifo.empty() || openControlFifo();
}

bool SimulatorRun::openControlFifo() {
  const char* path = options_.controlFifo.c_str();
  madeFifo_ = ::mkfifo(path, 0600) == 0;
  if (!madeFifo_ && errno != EEXIST) return false;
  // Opened for writing too, so that a writer closing it is no end of file.
  fifoFd_ = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  fifoReader_ = LineReader(fifoFd_);
  return fifoFd_ >= 0;
}

// The /dev/ttyUSB<n> link, where we may make it. A port asked for by number
// that cannot be linked is an error; otherwise the user is told how to link.
bool SimulatorRun::chooseLink(const std::string& slave) {
  if (!options_.link || linkRefused_) return true;
  if (linkPath_.empty()) {
    const std::optional<int> port = options_.port ? options_.port : firstFreePort(options_.linkDirectory);
    const std::string path = portLinkPath(options_.linkDirectory, port.value_or(0));
    if (::access(options_.linkDirectory.c_str(), W_OK) != 0) {
      std::fprintf(stderr, "%s: no right to link in %s; to use it as %s: sudo ln -s %s %s\n", kName,
                   options_.linkDirectory.c_str(), path.c_str(), slave.c_str(), path.c_str());
      linkRefused_ = true;
      return true;
    }
    linkPath_ = path;
  }
  std::string error;
  if (link_.create(linkPath_, slave, error)) return true;
  std::fprintf(stderr, "%s: cannot link %s\n", kName, error.c_str());
  return false;
}

bool SimulatorRun::serve() {
  std::string error;
  if (!pty_.open(error)) {
    std::fprintf(stderr, "%s: cannot open a pseudo-terminal: %s\n", kName, error.c_str());
    return false;
  }
  if (!chooseLink(pty_.slavePath())) return false;
  servedGeneration_ = model_.plugGeneration();
  const std::string as = link_.path().empty() ? "" : " as " + link_.path();
  std::printf("%s: serving %s%s\n", kName, pty_.slavePath().c_str(), as.c_str());
  std::fflush(stdout);
  return true;
}

void SimulatorRun::withdraw() {
  link_.remove();
  pty_.close();
}

// Unplugging closes the pseudo-terminal (the analyzer sees a hang-up);
// plugging back in opens a new one under the same link.
void SimulatorRun::followPlug() {
  const double t = now();
  if (pty_.isOpen() && model_.plugGeneration() != servedGeneration_) {
    withdraw();
    std::printf("%s: unplugged\n", kName);
    std::fflush(stdout);
  }
  if (!pty_.isOpen() && model_.present(t) && !serve()) quit_ = true;
}

void SimulatorRun::receiveFromProgram() {
  std::uint8_t buffer[4096];
  const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
  if (n > 0) model_.receive(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), now());
  // Our own slave descriptor should spare us hang-ups; should one come
  // anyway, do not spin on it.
  if (n < 0 && errno == EIO) ::usleep(10000);
}

// Bytes whose time has come go to the program; if nobody reads them and the
// pseudo-terminal is full, they are lost, as on a real wire.
void SimulatorRun::sendDue() {
  std::uint8_t buffer[4096];
  const double t = now();
  while (model_.bytesReadyBy(t) > 0) {
    const std::size_t n = model_.takeBytes(t, buffer);
    if (pty_.isOpen()) {
      const ssize_t written = ::write(pty_.master(), buffer, n);
      (void)written;
    }
  }
}

void SimulatorRun::serveControl(LineReader& reader) {
  for (const std::string& line : reader.readLines()) {
    const ControlReply reply = applyControlLine(line, model_, now());
    if (!reply.ok) std::fprintf(stderr, "%s: %s\n", kName, reply.message.c_str());
    if (reply.ok && !reply.message.empty()) std::printf("%s: %s\n", kName, reply.message.c_str());
    std::fflush(stdout);
    if (reply.quit) quit_ = true;
  }
}

void SimulatorRun::report() {
  for (const ModelNote& note : model_.takeDiagnostics())
    std::fprintf(stderr, "%s: [%10.4f s] %s\n", kName, note.time, note.text.c_str());
  for (const ModelNote& note : model_.takeLog())
    std::fprintf(stderr, "%s: [%10.4f s] %s\n", kName, note.time, note.text.c_str());
}

timespec SimulatorRun::timeout() const {
  double wait = std::clamp(model_.nextByteTime() + kUsbFrameSeconds - now(), 0.0, kIdleWakeSeconds);
  if (std::isnan(wait)) wait = kIdleWakeSeconds;
  timespec ts{};
  ts.tv_sec = 0;
  ts.tv_nsec = static_cast<long>(truncateToward0(wait * 1e9));
  return ts;
}

void SimulatorRun::pass() {
  followPlug();
  sendDue();
  report();
  std::vector<pollfd> fds{{signalFd_, POLLIN, 0}};
  if (pty_.isOpen()) fds.push_back({pty_.master(), POLLIN, 0});
  if (stdinReader_.open()) fds.push_back({stdinReader_.fd(), POLLIN, 0});
  if (fifoReader_.open()) fds.push_back({fifoReader_.fd(), POLLIN, 0});
  const timespec wait = timeout();
  if (::ppoll(fds.data(), fds.size(), &wait, nullptr) <= 0) return;
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    if (p.fd == signalFd_)
      quit_ = true;
    else if (p.fd == pty_.master())
      receiveFromProgram();
    else if (p.fd == stdinReader_.fd())
      serveControl(stdinReader_);
    else if (p.fd == fifoReader_.fd())
      serveControl(fifoReader_);
  }
}

int SimulatorRun::run() {
  if (!setUp()) {
    std::fprintf(stderr, "%s: cannot set up: %s\n", kName, std::strerror(errno));
    return 1;
  }
  // Started unplugged (--fault unplug 3): it appears when plugged in.
  if (model_.present(now()) && !serve()) return 1;
  while (!quit_) pass();
  report();
  return 0;
}

}  // namespace

int runInstrumentSimulator(std::span<const std::string_view> arguments) {
  const ParseResult<SimulatorOptions> options = parseSimulatorOptions(arguments);
  if (!options.value) {
    std::fprintf(stderr, "%s: %s\n", kName, options.error.c_str());
    return 2;
  }
  if (options.value->help) {
    std::fputs(simulatorHelp().c_str(), stdout);
    return 0;
  }
  if (options.value->version) {
    std::fputs(versionText(kName).c_str(), stdout);
    return 0;
  }
  SimulatorRun run(*options.value);
  return run.run();
}

}  // namespace vna
