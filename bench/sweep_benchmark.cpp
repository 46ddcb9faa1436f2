// Sweep speed and CPU use of the sweep engine the analyzers and vna-measure
// share, against the virtual instrument on a pseudo-terminal, in real time:
// one sweep after the other of the start-up plan, waiting with poll() as
// vna-measure does. Prints figures; asserts nothing (the machines are shared
// and noisy).
//
// Then vna-measure itself on the same port, a reflection of 51 points fed as
// JSON lines to a pipe, once with one sweep and once with --average N: the
// N sweeps timed against N times the one (averaging should cost no time
// between the sweeps), and each point's line against the last reply byte of
// its acquisition (it should follow within 5 ms).
//
// Usage: sweep_benchmark [path/to/instrument-simulator] [sweeps, default 3] [N, default 4]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analyzer/measure_host.h"
#include "analyzer/measure_program.h"
#include "analyzer/protocol.h"
#include "analyzer/sweep_engine.h"
#include "measurement/sweep_plan.h"
#include "platform/serial_port.h"
#include "simulator/instrument_model.h"

namespace {

using namespace vna;

double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The instrument's own time for one point: from the acquisition command to
// the last reply byte, as its sampling and the 57600 baud wire allow.
double replySeconds(int sampleCode) {
  InstrumentModel model;
  std::vector<std::uint8_t> bytes = resetBytesBeforePause();
  bytes.push_back(kResetFinal);
  model.receive(bytes, 0.0);
  const std::array<std::uint8_t, 1> load{kLoadFrequency};
  model.receive(load, 0.1);
  const auto words = frequencyWordBytes(tuningWordFor(1e6, 150000000), offsetWordFor(tuningWordFor(1e6, 150000000)));
  model.receive(words, 0.101);
  model.receive(kApplyStrobe, 0.102);
  const double command = 1.0;
  const std::array<std::uint8_t, 1> acquire{acquisitionCommand(sampleCode)};
  model.receive(acquire, command);
  std::array<std::uint8_t, 8192> sink{};
  std::size_t got = 0;
  double last = command;
  while (got < replyLength(sampleCode) && std::isfinite(model.nextByteTime())) {
    last = model.nextByteTime();
    got += model.takeBytes(last, sink);
  }
  return last - command;
}

// The real port, watched: the shortest time from a strobe to the next
// acquisition command, which the instrument needs to be 37 ms at least.
class PacedPort : public SerialPort {
 public:
  PacedPort(std::string path, std::function<double()> clock) : SerialPort(std::move(path)), clock_(std::move(clock)) {}
  void write(std::span<const std::uint8_t> bytes) override {
    const double now = clock_();
    if (bytes.size() == 2 && bytes[0] == kApplyStrobe[0] && bytes[1] == kApplyStrobe[1]) {
      strobe_ = now;
      if (replyEnd_ > 0) afterReply_.add(now - replyEnd_);
      replyEnd_ = -1;
    }
    if (bytes.size() == 1 && (bytes[0] & 0xF8) == 0x40) {
      if (strobe_ > 0) {
        shortest_ = std::min(shortest_, now - strobe_);
        pacing_.add(now - strobe_);
      }
      command_ = now;
      expected_ = replyLength(SweepPlan{}.sampleCode);
      received_ = 0;
    }
    SerialPort::write(bytes);
  }
  std::size_t read(std::span<std::uint8_t> out) override {
    const std::size_t got = SerialPort::read(out);
    received_ += got;
    if (got > 0 && received_ >= expected_ && command_ > 0) {
      replyEnd_ = clock_();
      if (replyLog_) replyLog_->push_back(replyEnd_);
      reply_.add(replyEnd_ - command_);
      command_ = -1;
    }
    return got;
  }
  double shortestPacing() const { return shortest_; }
  // Where the time of each reply's last byte is also noted.
  void logReplies(std::vector<double>* log) { replyLog_ = log; }
  struct Mean {
    double sum = 0, max = 0;
    int n = 0;
    void add(double v) { sum += v; max = std::max(max, v); ++n; }
    double mean() const { return n ? sum / n : 0; }
  };
  const Mean& reply() const { return reply_; }
  const Mean& pacing() const { return pacing_; }
  const Mean& afterReply() const { return afterReply_; }

 private:
  std::function<double()> clock_;
  double strobe_ = -1;
  double shortest_ = 1e9;
  double command_ = -1, replyEnd_ = -1;
  std::size_t expected_ = 0, received_ = 0;
  Mean reply_, afterReply_, pacing_;
  std::vector<double>* replyLog_ = nullptr;
};

struct Simulator {
  pid_t pid = -1;
  std::string pty;
};

Simulator startSimulator(const std::string& program) {
  int out[2];
  if (::pipe(out) != 0) return {};
  Simulator sim;
  sim.pid = ::fork();
  if (sim.pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::execl(program.c_str(), program.c_str(), "--no-link", "--device", "resistor 100", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  const std::string marker = "serving ";
  const auto at = line.find(marker);
  if (at != std::string::npos) sim.pty = line.substr(at + marker.size(), line.find(' ', at + marker.size()) - at - marker.size());
  return sim;
}

// One run of vna-measure's reflection with --average N in this process, its
// JSON lines to a pipe that a thread reads: when each line arrived, and when
// each reply's last byte did.
constexpr int kFeedPoints = 51;

struct FeedRun {
  int status = -1;
  std::vector<double> lines;    // arrival of the header, each point, the end line
  std::vector<double> replies;  // last byte of each acquisition's reply
  // The time from one reply to the next over the run's sweeps: N sweeps
  // take N x points of them.
  double perPoint() const {
    return replies.size() > 1 ? (replies.back() - replies.front()) / static_cast<double>(replies.size() - 1) : 0;
  }
};

FeedRun runFeed(const std::string& pty, SystemHost& host, int average) {
  FeedRun run;
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return run;
  std::FILE* feed = ::fdopen(pipeEnds[1], "w");
  std::thread reader([&] {
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
      for (ssize_t i = 0; i < got; ++i)
        if (buffer[i] == '\n') run.lines.push_back(host.now());
    ::close(pipeEnds[0]);
  });
  const std::string points = std::to_string(kFeedPoints), n = std::to_string(average);
  const std::vector<std::string_view> args{"reflection", "--from", "1k", "--to", "10M",      "--points", points,
                                           "--average",  n,        "-o", "-",    "--format", "jsonl",    "--quiet"};
  const MeasureOptions options = parseMeasureOptions(args);
  const std::filesystem::path directory = std::filesystem::temp_directory_path();
  ChannelFactory open = [&](int) {
    auto port = std::make_unique<PacedPort>(pty, [&host] { return host.now(); });
    port->logReplies(&run.replies);
    return std::unique_ptr<SerialChannel>(std::move(port));
  };
  std::FILE* quiet = std::fopen("/dev/null", "w");
  MeasureSetting setting{directory, open, host, [] { return false; }, feed, quiet, false};
  run.status = runMeasure(options, setting);
  std::fclose(feed);
  std::fclose(quiet);
  reader.join();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string simulator = argc > 1 ? argv[1]
                                         : (std::filesystem::path(argv[0]).parent_path() / "instrument-simulator").string();
  const int sweeps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const int averaged = argc > 3 ? std::max(1, std::atoi(argv[3])) : 4;
  Simulator sim = startSimulator(simulator);
  if (sim.pty.empty()) {
    std::fprintf(stderr, "sweep_benchmark: could not start %s\n", simulator.c_str());
    return 1;
  }
  SystemHost host;
  PacedPort port(sim.pty, [&host] { return host.now(); });
  const SweepPlan plan;
  const int points = plan.points;
  std::vector<double> frequency(static_cast<std::size_t>(points) + 2);
  buildFrequencyList(plan, frequency);
  InstrumentLink link;
  link.sampleCode = plan.sampleCode;
  SweepEngine engine(link, port, host, AcquisitionPacing{});
  if (!port.open()) {
    std::fprintf(stderr, "sweep_benchmark: cannot open %s\n", sim.pty.c_str());
    return 1;
  }
  host.sleep(1500);
  engine.instrument().resetInstrument();
  engine.start(frequency, 0);
  // The first sweep brings the instrument and the program up to pace; the
  // sweeps after it, back to back, are timed.
  std::vector<double> sweepTimes;
  double sweepStart = 0, cpuStart = 0;
  Acquired outcome = Acquired::Point;
  for (int k = 0; k <= sweeps && outcome == Acquired::Point; ++k) {
    const double start = host.now();
    if (k == 1) {
      sweepStart = start;
      cpuStart = cpuSeconds();
    }
    outcome = measureSweep(engine, frequency, points, 1.0, 0.0, [](const MeasuredPoint&) {});
    if (k > 0) sweepTimes.push_back(host.now() - start);
  }
  const double sweepEnd = host.now(), cpuEnd = cpuSeconds();
  // vna-measure itself, in this process on the same port: the sweeps of
  // --average and the JSON lines it feeds to a pipe.
  const FeedRun one = runFeed(sim.pty, host, 1), many = runFeed(sim.pty, host, averaged);
  ::kill(sim.pid, SIGTERM);
  ::waitpid(sim.pid, nullptr, 0);
  if (outcome != Acquired::Point) {
    std::fprintf(stderr, "sweep_benchmark: the instrument did not answer, or its reply was damaged\n");
    return 1;
  }
  std::printf("engine                    vna-measure's host: monotonic clock, poll() on the port\n");

  const int sampleCode = plan.sampleCode;
  const double reply = replySeconds(sampleCode);
  // Per point: the 37 ms from strobe to the next command, the instrument's
  // reply, and the converter's 1 ms USB frame that delivers its last bytes.
  constexpr double kUsbFrame = 0.001;
  const double minimumPoint = 0.037 + reply + kUsbFrame;
  const double measured = (sweepEnd - sweepStart) / sweeps;
  const double minimum = minimumPoint * points;
  std::printf("points per sweep          %d (%d ms per measurement)\n", points, msPerMeasurement(sampleCode));
  std::printf("instrument reply          %.2f ms per point (sampling and 57600 baud)\n", reply * 1e3);
  std::printf("minimum sweep             %.3f s (37 ms pacing + reply + 1 ms USB frame, per point)\n", minimum);
  std::printf("measured sweep            %.3f s (mean of %d)\n", measured, sweeps);
  std::printf("above the minimum         %.2f %%\n", 100.0 * (measured - minimum) / minimum);
  // A shared machine only ever adds delays, so the fastest sweep is the best
  // estimate of what the program itself allows.
  const double fastest = *std::min_element(sweepTimes.begin(), sweepTimes.end());
  std::printf("fastest sweep             %.3f s, %.2f %% above the minimum\n", fastest,
              100.0 * (fastest - minimum) / minimum);
  std::printf("strobe to command          %.2f ms mean, %.2f ms at least\n", port.pacing().mean() * 1e3,
              port.shortestPacing() * 1e3);
  std::printf("command to last byte      %.2f ms mean, %.2f ms at most (whole run)\n", port.reply().mean() * 1e3,
              port.reply().max * 1e3);
  std::printf("last byte to strobe       %.2f ms mean, %.2f ms at most\n", port.afterReply().mean() * 1e3,
              port.afterReply().max * 1e3);
  std::printf("CPU during the sweeps     %.3f s, %.2f %% of one core\n", cpuEnd - cpuStart,
              100.0 * (cpuEnd - cpuStart) / (sweepEnd - sweepStart));
  if (one.lines.empty() || many.lines.empty()) {
    std::fprintf(stderr, "sweep_benchmark: vna-measure's feed failed (status %d, %d)\n", one.status, many.status);
    return 1;
  }
  const double sweepOfOne = kFeedPoints * one.perPoint(), sweepsOfMany = averaged * kFeedPoints * many.perPoint();
  std::printf("vna-measure --average %d  %.3f s against %d x one sweep %.3f s: %+.2f %% (%d points a sweep)\n",
              averaged, sweepsOfMany, averaged, averaged * sweepOfOne,
              100.0 * (sweepsOfMany - averaged * sweepOfOne) / (averaged * sweepOfOne), kFeedPoints);
  // No pause where one sweep of the average ends and the next begins: the
  // step from a sweep's last reply to the next sweep's first against the
  // steps within a sweep.
  PacedPort::Mean within, between;
  const std::vector<double>& r = many.replies;
  for (std::size_t i = r.size() - static_cast<std::size_t>(averaged) * kFeedPoints; i + 1 < r.size(); ++i)
    ((i + 1) % kFeedPoints == r.size() % kFeedPoints ? between : within).add(r[i + 1] - r[i]);
  std::printf("reply to reply            %.2f ms within a sweep, %.2f ms from one sweep to the next (%d steps)\n",
              within.mean() * 1e3, between.mean() * 1e3, between.n);
  // Each point line of the last sweep against the last reply byte of its
  // acquisition.
  PacedPort::Mean lag;
  for (const FeedRun* run : {&one, &many}) {
    const std::size_t replies = run->replies.size(), lines = run->lines.size();
    for (std::size_t i = 0; i < kFeedPoints && i + 2 < lines && i < replies; ++i)
      lag.add(run->lines[lines - 1 - kFeedPoints + i] - run->replies[replies - kFeedPoints + i]);
  }
  std::printf("JSON line after its reply %.2f ms mean, %.2f ms at most (%d lines read from the pipe)\n",
              lag.mean() * 1e3, lag.max * 1e3, lag.n);
  return 0;
}
