#include "tests/e2e/e2e_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/font.h"

extern char** environ;

namespace vna::e2e {

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Spawn {
  std::vector<std::string> argv;
  std::string display;  // DISPLAY for the child; empty keeps the caller's
  std::string workDir;  // empty keeps the caller's
  int stdoutFd = -1;    // -1: /dev/null
  int stderrFd = 2;
  int fd3 = -1;  // handed to the child as descriptor 3 (Xvfb's -displayfd)
};

// fork + exec without a shell. The child dies with the test process, so a
// crashed or aborted test leaves no X server or program behind.
pid_t spawn(const Spawn& s) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (s.display.empty() || std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  if (!s.display.empty()) env.push_back("DISPLAY=" + s.display);
  std::vector<char*> argv, envp;
  for (const auto& a : s.argv) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  dup2(devNull, 0);
  dup2(s.stdoutFd >= 0 ? s.stdoutFd : devNull, 1);
  dup2(s.stderrFd >= 0 ? s.stderrFd : devNull, 2);
  if (s.fd3 == 3) fcntl(3, F_SETFD, 0);  // dup2 onto itself would keep close-on-exec
  if (s.fd3 >= 0 && s.fd3 != 3) dup2(s.fd3, 3);
  if (!s.workDir.empty() && chdir(s.workDir.c_str()) != 0) _exit(127);
  execvpe(argv[0], argv.data(), envp.data());
  _exit(127);
}

int statusCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits for the child at most `seconds`; its status code, or nothing.
std::optional<int> reap(pid_t pid, double seconds) {
  const auto start = Clock::now();
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return statusCode(status);
    if (done < 0 && errno != EINTR) return -1;
    if (secondsSince(start) >= seconds) return std::nullopt;
    pause(0.02);
  }
}

// Ends a child: politely first, then for sure.
int stop(pid_t pid) {
  kill(pid, SIGTERM);
  if (auto code = reap(pid, 3.0)) return *code;
  kill(pid, SIGKILL);
  return reap(pid, 10.0).value_or(-1);
}

std::uint32_t bigEndian32(std::string_view b, std::size_t at) {
  return (std::uint32_t{static_cast<std::uint8_t>(b[at])} << 24) |
         (std::uint32_t{static_cast<std::uint8_t>(b[at + 1])} << 16) |
         (std::uint32_t{static_cast<std::uint8_t>(b[at + 2])} << 8) | static_cast<std::uint8_t>(b[at + 3]);
}

std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint32_t top = mask >> shift;
  const std::uint32_t value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + top / 2) / top);
}

bool onPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
  return false;
}

unsigned long firstNumber(const std::string& text) {
  std::istringstream in(text);
  unsigned long value = 0;
  return (in >> value) ? value : 0;
}

// A /dev/ttyUSB<n> number that no device or link uses, for the simulator to
// take; -1 when there is none. From 40 up: the run script and real
// converters use the low ones.
int freeUsbPort() {
  for (int n = 40; n < 200; ++n) {
    const std::filesystem::path link = "/dev/ttyUSB" + std::to_string(n);
    if (!std::filesystem::exists(link) && !std::filesystem::is_symlink(link)) return n;
  }
  return -1;
}

// The ink of one 8 x 16 cell as glyph rows: a pixel is ink where it differs
// from the cell's top-left pixel. Nothing when the cell holds more than two
// colours, as where a trace or a marker line crosses text.
std::optional<Glyph> cellInk(const Image& image, int x0, int y0) {
  const Rgb paper = image.at(x0, y0);
  std::optional<Rgb> ink;
  Glyph cell{};
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 8; ++c) {
      const Rgb p = image.at(x0 + c, y0 + r);
      if (p == paper) continue;
      if (ink && !(p == *ink)) return std::nullopt;
      ink = p;
      cell.rows[static_cast<std::size_t>(r)] |= static_cast<std::uint8_t>(0x80 >> c);
    }
  return cell;
}

// The byte whose glyph is `cell`, trying the printable ASCII range first so
// that a blank cell reads as a space rather than as one of the other blank
// glyphs of the font.
std::optional<char> glyphByte(const Glyph& cell) {
  static const std::vector<int> order = [] {
    std::vector<int> bytes;
    for (int b = 32; b < 127; ++b) bytes.push_back(b);
    for (int b = 128; b < 256; ++b) bytes.push_back(b);
    for (int b = 0; b < 32; ++b) bytes.push_back(b);
    bytes.push_back(127);
    return bytes;
  }();
  for (const int b : order)
    if (kCp437Font[b].rows == cell.rows) return static_cast<char>(b);
  return std::nullopt;
}

}  // namespace

std::string textAt(const Image& image, int row, int column, int length) {
  std::string text;
  for (int i = 0; i < length; ++i) {
    const int x0 = 8 * (column - 1 + i), y0 = 16 * (row - 1);
    if (x0 < 0 || y0 < 0 || x0 + 8 > image.width || y0 + 16 > image.height) {
      text += '?';
      continue;
    }
    std::optional<char> read;
    if (auto cell = cellInk(image, x0, y0)) {
      read = glyphByte(*cell);
      // A glyph inked in its top-left corner (a block) reads inverted.
      if (!read) {
        for (auto& bits : cell->rows) bits = static_cast<std::uint8_t>(~bits);
        read = glyphByte(*cell);
      }
    }
    text += read.value_or('?');
  }
  return text;
}

std::string utf8(const std::string& cp437) {
  std::string out;
  for (const char c : cp437) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0xEA)
      out += "\u03A9";  // ohm sign
    else if (byte == 0xB3)
      out += "\u2502";  // vertical bar
    else
      out += (byte >= 32 && byte < 127) ? c : '?';
  }
  return out;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string{} : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string programPath(const std::string& name) {
  return std::string(VNA_BINARY_DIR) + "/" + name;
}

std::string missingTools(const std::vector<std::string>& tools) {
  std::string missing;
  for (const auto& tool : tools)
    if (!onPath(tool)) missing += (missing.empty() ? "" : " ") + tool;
  return missing;
}

bool Image::anyOtherThan(int x0, int y0, int x1, int y1, Rgb colour) const {
  for (int y = std::max(0, y0); y <= std::min(height - 1, y1); ++y)
    for (int x = std::max(0, x0); x <= std::min(width - 1, x1); ++x)
      if (!(at(x, y) == colour)) return true;
  return false;
}

bool Image::savePpm(const std::string& path) const {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "P6\n" << width << ' ' << height << "\n255\n";
  for (const Rgb& p : pixels) out.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
  return static_cast<bool>(out.flush());
}

std::optional<Image> decodeXwd(std::string_view bytes, std::string& why) {
  constexpr std::size_t kHeaderWords = 25, kColourSize = 12;
  if (bytes.size() < kHeaderWords * 4) {
    why = "shorter than an xwd header";
    return std::nullopt;
  }
  std::uint32_t h[kHeaderWords];
  for (std::size_t i = 0; i < kHeaderWords; ++i) h[i] = bigEndian32(bytes, 4 * i);
  const std::uint32_t headerSize = h[0], version = h[1], format = h[2], width = h[4], height = h[5];
  const std::uint32_t byteOrder = h[7], bitsPerPixel = h[11], bytesPerLine = h[12], visualClass = h[13];
  const std::uint32_t redMask = h[14], greenMask = h[15], blueMask = h[16], colours = h[19];
  constexpr std::uint32_t kZPixmap = 2, kTrueColor = 4, kDirectColor = 5;
  if (version != 7 || headerSize < kHeaderWords * 4 || format != kZPixmap) {
    why = "not an xwd dump of a ZPixmap image";
    return std::nullopt;
  }
  if (visualClass != kTrueColor && visualClass != kDirectColor) {
    why = "not a TrueColor window";
    return std::nullopt;
  }
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
    why = "unsupported " + std::to_string(bitsPerPixel) + " bits per pixel";
    return std::nullopt;
  }
  if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
      std::uint64_t{bytesPerLine} < std::uint64_t{width} * bitsPerPixel / 8) {
    why = "implausible image size";
    return std::nullopt;
  }
  const std::uint64_t data = std::uint64_t{headerSize} + std::uint64_t{colours} * kColourSize;
  if (data + std::uint64_t{bytesPerLine} * height > bytes.size()) {
    why = "truncated pixel data";
    return std::nullopt;
  }
  Image image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.resize(std::size_t{width} * height);
  const std::size_t pixelBytes = bitsPerPixel / 8;
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::size_t at = data + y * bytesPerLine + x * pixelBytes;
      std::uint32_t pixel = 0;
      for (std::size_t k = 0; k < pixelBytes; ++k) {
        const std::uint32_t byte = static_cast<std::uint8_t>(bytes[at + k]);
        pixel |= byteOrder == 0 ? byte << (8 * k) : byte << (8 * (pixelBytes - 1 - k));
      }
      image.pixels[y * width + x] = Rgb{channel(pixel, redMask), channel(pixel, greenMask), channel(pixel, blueMask)};
    }
  }
  return image;
}

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& display, double timeoutSeconds) {
  CommandResult result;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  Spawn s;
  s.argv = argv;
  s.display = display;
  s.stdoutFd = out[1];
  const pid_t pid = spawn(s);
  close(out[1]);
  const auto start = Clock::now();
  char buffer[65536];
  for (;;) {
    const double left = timeoutSeconds - secondsSince(start);
    if (left <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd fd{out[0], POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n == 0) break;
    if (n > 0) result.output.append(buffer, static_cast<std::size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  close(out[0]);
  if (pid < 0) return result;
  if (!result.timedOut) {
    const auto code = reap(pid, std::max(0.0, timeoutSeconds - secondsSince(start)));
    if (code) {
      result.status = *code;
      return result;
    }
    result.timedOut = true;
  }
  kill(pid, SIGKILL);
  result.status = reap(pid, 10.0).value_or(-1);
  return result;
}

VirtualDisplay::VirtualDisplay(int depth) {
  // Xvfb picks a free display number itself and writes it to descriptor 3
  // once it accepts connections, so parallel tests cannot collide.
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) {
    error_ = "cannot create a pipe";
    return;
  }
  char logPath[] = "/tmp/vna-xvfb-log-XXXXXX";
  const int log = mkostemp(logPath, O_CLOEXEC);
  Spawn s;
  s.argv = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x" + std::to_string(depth), "-nolisten", "tcp"};
  s.stderrFd = log;
  s.fd3 = ready[1];
  pid_ = spawn(s);
  close(ready[1]);
  std::string number;
  const auto start = Clock::now();
  while (number.find('\n') == std::string::npos && secondsSince(start) < 20.0) {
    pollfd fd{ready[0], POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char c[16];
    const ssize_t n = read(ready[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, static_cast<std::size_t>(n));
  }
  close(ready[0]);
  std::ifstream logFile(logPath);
  std::stringstream logText;
  logText << logFile.rdbuf();
  if (log >= 0) close(log);
  unlink(logPath);
  if (number.find('\n') == std::string::npos) {
    error_ = "Xvfb did not start: " + logText.str();
    if (pid_ > 0) stop(pid_);
    pid_ = -1;
    return;
  }
  name_ = ":" + std::to_string(firstNumber(number));
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ > 0) stop(pid_);
}

ProgramRun::ProgramRun(const VirtualDisplay& display, const std::string& program, const Prepare& prepare,
                       const std::vector<std::string>& args)
    : display_(display.name()) {
  char dir[] = "/tmp/vna-e2e-XXXXXX";
  if (mkdtemp(dir) == nullptr) return;
  workDir_ = dir;
  if (prepare) prepare(workDir_);
  const int log = open((workDir_ + ".output").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Spawn s;
  s.argv = {program};
  s.argv.insert(s.argv.end(), args.begin(), args.end());
  s.display = display_;
  s.workDir = workDir_;
  s.stdoutFd = log;
  s.stderrFd = log;
  pid_ = spawn(s);
  if (log >= 0) close(log);
}

ProgramRun::~ProgramRun() {
  if (pid_ > 0 && !status_) stop(pid_);
  if (!workDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(workDir_, ignored);
    std::filesystem::remove(workDir_ + ".output", ignored);
  }
}

std::string ProgramRun::output() const {
  std::ifstream in(workDir_ + ".output");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<WindowDriver> ProgramRun::findWindow(double timeoutSeconds) const {
  if (pid_ <= 0) return std::nullopt;
  const auto r = runCommand({"xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(pid_)}, display_,
                            timeoutSeconds);
  if (const unsigned long id = firstNumber(r.output); id != 0) return WindowDriver(display_, id);
  return std::nullopt;
}

std::optional<WindowDriver> ProgramRun::findWindowByName(const std::string& title, double timeoutSeconds) const {
  const auto r =
      runCommand({"xdotool", "search", "--sync", "--onlyvisible", "--name", title}, display_, timeoutSeconds);
  if (const unsigned long id = firstNumber(r.output); id != 0) return WindowDriver(display_, id);
  return std::nullopt;
}

std::optional<WindowGeometry> WindowDriver::geometry() const {
  const auto r = runCommand({"xdotool", "getwindowgeometry", "--shell", std::to_string(window_)}, display_, 10.0);
  if (r.status != 0) return std::nullopt;
  WindowGeometry g;
  int found = 0;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (name == "X") g.x = value, ++found;
    if (name == "Y") g.y = value, ++found;
    if (name == "WIDTH") g.width = value, ++found;
    if (name == "HEIGHT") g.height = value, ++found;
  }
  if (found != 4) return std::nullopt;
  return g;
}

std::string WindowDriver::name() const {
  std::string name = runCommand({"xdotool", "getwindowname", std::to_string(window_)}, display_, 10.0).output;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

bool WindowDriver::xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runCommand(argv, display_, 15.0).status == 0;
}

bool WindowDriver::key(const std::string& keyName) const {
  return xdotool({"windowfocus", std::to_string(window_), "key", keyName});
}

bool WindowDriver::moveMouse(int x, int y) const {
  return xdotool({"mousemove", "--window", std::to_string(window_), std::to_string(x), std::to_string(y)});
}

bool WindowDriver::click(int x, int y, int button) const {
  const std::string b = std::to_string(button);
  return xdotool({"mousemove", "--window", std::to_string(window_), std::to_string(x), std::to_string(y), "mousedown",
                  b, "sleep", "0.1", "mouseup", b});
}

std::optional<Image> WindowDriver::screenshot(const std::string& savePath) const {
  const auto r = runCommand({"xwd", "-silent", "-id", std::to_string(window_)}, display_, 20.0);
  if (r.status != 0) return std::nullopt;
  std::string why;
  auto image = decodeXwd(r.output, why);
  if (image && !savePath.empty()) image->savePpm(savePath);
  return image;
}

std::optional<Image> screenshotWhen(const WindowDriver& window, double seconds,
                                    const std::function<bool(const Image&)>& shows) {
  const auto start = Clock::now();
  for (;;) {
    auto shot = window.screenshot();
    if (shot && shows(*shot)) return shot;
    if (secondsSince(start) > seconds) return std::nullopt;
    pause(0.2);
  }
}

// ---------------------------------------------------------------- the analyzers' screen

std::string screenshotPath(const std::string& name) {
  return std::string(VNA_BINARY_DIR) + "/e2e-screenshots/" + name + ".ppm";
}

bool scanning(const Image& image) {
  const std::string label = textAt(image, 36, 103, 16);
  return label.rfind(" Stop", 0) == 0 || label.rfind(" Abort", 0) == 0;
}

bool prompts(const Image& image, const std::string& words) {
  return (textAt(image, 20, 20, 60) + textAt(image, 21, 20, 60)).find(words) != std::string::npos;
}

bool sweptToTheRightEdge(const Image& image) {
  constexpr Rgb kTrace2{84, 252, 84};  // palette colour 10
  for (int y = 3; y <= 693; ++y)
    if (image.at(801, y) == kTrace2) return true;
  return false;
}

std::optional<double> numberAt(const Image& image, int row, int column, int width) {
  const std::string text = trimmed(textAt(image, row, column, width));
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
}

bool clickItem(const WindowDriver& window, int x, int row, int button) {
  constexpr Rgb kBlack{0, 0, 0};
  const int y = 16 * row - 8;
  const auto lit = [&](const Image& image) { return image.at(x, 16 * (row - 1)) != kBlack; };
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!window.moveMouse(400, 720)) return false;
    pause(0.3);
    if (!window.moveMouse(x, y)) return false;
    if (screenshotWhen(window, 3.0, lit)) return window.click(x, y, button);
  }
  return false;
}

std::string stopAndSetFiftyOnePoints(const WindowDriver& window) {
  if (!screenshotWhen(window, 40.0, scanning)) return "the scan never started";
  if (!window.key("space") || !screenshotWhen(window, 10.0, idle)) return "space did not stop the scan";
  for (const char* points : {"201", "101", "51"}) {
    const auto shows = [&](const Image& image) { return trimmed(textAt(image, 21, 113, 6)) == points; };
    if (!clickItem(window, 900, 21, 3) || !screenshotWhen(window, 5.0, shows))
      return std::string("meas/scan did not step to ") + points;
  }
  return {};
}

SimulatedInstrument::SimulatedInstrument(const VirtualDisplay& display, const std::string& device,
                                         const std::vector<std::string>& options, int port) {
  char dir[] = "/tmp/vna-simulator-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    error_ = "cannot make a directory for the control FIFO";
    return;
  }
  controlDir_ = dir;
  fifo_ = controlDir_ + "/control";
  // A test running beside this one may take the same free number first; the
  // link is made atomically, so the loser ends and tries the next number.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = port >= 0 ? port : freeUsbPort();
    if (port_ < 0) {
      error_ = "no free /dev/ttyUSB number";
      return;
    }
    std::vector<std::string> args{"--device", device, "--port", std::to_string(port_), "--control", fifo_};
    args.insert(args.end(), options.begin(), options.end());
    run_.emplace(display, programPath("instrument-simulator"), ProgramRun::Prepare{}, args);
    const std::string serving = " as /dev/ttyUSB" + std::to_string(port_) + "\n";
    const auto start = Clock::now();
    while (run_->output().find(serving) == std::string::npos && !run_->waitForExit(0.0) && secondsSince(start) < 10.0)
      pause(0.05);
    if (run_->output().find(serving) != std::string::npos) {
      error_.clear();
      return;
    }
    error_ = "the simulator did not link /dev/ttyUSB" + std::to_string(port_) + ":\n" + run_->output();
    if (port >= 0) return;  // the number asked for is taken: no other will do
  }
}

SimulatedInstrument::~SimulatedInstrument() {
  run_.reset();
  if (!controlDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(controlDir_, ignored);
  }
}

bool SimulatedInstrument::connect(const std::string& device) {
  const auto reply = command("device " + device);
  return reply && reply->rfind("device ", 0) == 0;
}

std::optional<std::string> SimulatedInstrument::command(const std::string& line, const std::string& reply) {
  if (!run_ || !ready()) return std::nullopt;
  const std::size_t before = run_->output().size();
  // The simulator holds the FIFO open for reading, so this neither blocks
  // nor fails while it runs.
  const int fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const std::string text = line + "\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  if (!written) return std::nullopt;
  // A command taken is confirmed on a line of its own on standard output; a
  // refused one only gets a reason on standard error, and then this waits
  // in vain.
  const std::string confirmed = "instrument-simulator: " + (reply.empty() ? line.substr(0, line.find(' ')) : reply);
  const auto start = Clock::now();
  while (secondsSince(start) < 10.0) {
    std::istringstream lines(run_->output().substr(before));
    for (std::string said; std::getline(lines, said);)
      if (said.rfind(confirmed, 0) == 0) return said.substr(std::string("instrument-simulator: ").size());
    pause(0.05);
  }
  return std::nullopt;
}

std::optional<long> SimulatedInstrument::acquisitions() {
  const auto status = command("status", "device ");
  if (!status) return std::nullopt;
  const auto end = status->rfind(" acquisitions");
  if (end == std::string::npos) return std::nullopt;
  const auto start = status->rfind(' ', end - 1);
  return std::atol(status->c_str() + start + 1);
}

std::optional<int> ProgramRun::waitForExit(double timeoutSeconds) {
  if (status_) return status_;
  if (pid_ <= 0) return std::nullopt;
  status_ = reap(pid_, timeoutSeconds);
  return status_;
}

}  // namespace vna::e2e
