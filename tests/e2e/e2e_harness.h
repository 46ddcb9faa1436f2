// Runs the real programs on a virtual X server (Xvfb) and drives them like a
// user would, with xdotool: find the window, press keys, click, take a
// screenshot and read its pixels, wait for the program to end. Everything
// started here is stopped on the way out, also when a test fails half way.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/framebuffer.h"

namespace vna::e2e {

// The build directory's copy of a program ("impedance-analyzer").
std::string programPath(const std::string& name);

// Names of the tools the tests need that are not on the PATH ("Xvfb xdotool").
std::string missingTools(const std::vector<std::string>& tools);

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row by row from the top left
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // True when some pixel of the rectangle (inclusive) differs from `colour`.
  bool anyOtherThan(int x0, int y0, int x1, int y1, Rgb colour) const;
  bool savePpm(const std::string& path) const;
};

// Reads `length` cells of screen text from `column` of `row` (both counted
// from 1 as the program places text: row r covers y from 16(r - 1), column c
// x from 8(c - 1)) by matching each cell against the program's own font, so
// tests read what the user sees whatever the colours. Returns code page 437
// bytes; a cell that matches no glyph (a trace across it, more than two
// colours) reads '?'.
std::string textAt(const Image& image, int row, int column, int length);
// Screen text in UTF-8 for messages and terminals: the ohm sign and the
// vertical bar as themselves, other bytes outside ASCII as '?'.
std::string utf8(const std::string& cp437);
// `text` without the blanks at either end.
std::string trimmed(const std::string& text);

// Decodes an X window dump (what `xwd` writes) of a TrueColor window.
// Returns nothing and says why for anything else or for damaged input.
std::optional<Image> decodeXwd(std::string_view bytes, std::string& why);

struct CommandResult {
  int status = -1;  // exit status; 128 + signal when killed
  bool timedOut = false;
  std::string output;  // standard output
};

// Runs a tool (no shell) with DISPLAY set to `display`; it is killed when it
// runs longer than `timeoutSeconds`.
CommandResult runCommand(const std::vector<std::string>& argv, const std::string& display, double timeoutSeconds);

// A private X server on a free display number.
class VirtualDisplay {
 public:
  explicit VirtualDisplay(int depth = 24);  // bits per pixel of the screen: 16 or 24
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool ok() const { return !name_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& name() const { return name_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string error_;
};

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// A top-level window on a display, driven through xdotool and xwd.
class WindowDriver {
 public:
  WindowDriver(std::string display, unsigned long window) : display_(std::move(display)), window_(window) {}

  unsigned long id() const { return window_; }
  std::optional<WindowGeometry> geometry() const;
  std::string name() const;

  // Any xdotool command line, "--window"-less; true when it succeeded.
  bool xdotool(const std::vector<std::string>& args) const;
  // xdotool key names: "Escape", "F2", "ctrl+v", "space". The window takes
  // the focus first (there is no window manager to give it).
  bool key(const std::string& keyName) const;
  bool moveMouse(int x, int y) const;  // window coordinates
  // Press, hold 100 ms (a program polling the buttons sees it), release.
  bool click(int x, int y, int button) const;

  // Screenshot of the window; also saved as a PPM at `savePath` when given.
  std::optional<Image> screenshot(const std::string& savePath = "") const;

 private:
  std::string display_;
  unsigned long window_;
};

// Takes screenshots every 0.2 s until one `shows` what is awaited, for at
// most `seconds`; that screenshot, or nothing when none did.
std::optional<Image> screenshotWhen(const WindowDriver& window, double seconds,
                                    const std::function<bool(const Image&)>& shows);

// ---------------------------------------------------------------- the analyzers' screen

void pause(double seconds);
// Where a test keeps a screenshot worth looking at after a failure.
std::string screenshotPath(const std::string& name);

// The start/stop button's label (row 36): " Stop" or " Abort ..." while a
// scan runs, " Start ..." while the program idles.
bool scanning(const Image& image);
inline bool idle(const Image& image) { return !scanning(image); }
// The prompt rows 20 and 21 contain `words`.
bool prompts(const Image& image, const std::string& words);
// Trace 2 is drawn up to the last point measured, clamped into the plot, so
// it reaches the right edge (x = 803) only once a sweep is complete.
bool sweptToTheRightEdge(const Image& image);
// The number a screen field shows (blanks around it allowed); nothing for
// blanks or anything else.
std::optional<double> numberAt(const Image& image, int row, int column, int width);

// Points at a panel item and presses once the program shows it highlighted:
// a press acts only on the item it has seen the pointer on. A redraw at the
// end of a calibration scan paints the item plain under a still pointer and
// the program only lights an item the pointer enters, so the pointer leaves
// first (again, should the program have missed it).
bool clickItem(const WindowDriver& window, int x, int row, int button);

// Stops the scan an analyzer starts by itself and sets 51 points per scan
// (right clicks on meas/scan: 201, 101, 51), each step once the screen shows
// the program ready for it; empty when done, else what did not happen.
std::string stopAndSetFiftyOnePoints(const WindowDriver& window);

// One program run in a fresh temporary working directory on `display`;
// `prepare` may put files there before the program starts.
class ProgramRun {
 public:
  using Prepare = std::function<void(const std::string& workDir)>;
  ProgramRun(const VirtualDisplay& display, const std::string& program, const Prepare& prepare = {},
             const std::vector<std::string>& args = {});
  ~ProgramRun();  // kills the program if it still runs, removes the directory
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const std::string& workDir() const { return workDir_; }
  std::string output() const;  // what the program wrote to stdout and stderr

  // The program's top-level window, found by its process id (or by its
  // title); nothing when none appears within the time.
  std::optional<WindowDriver> findWindow(double timeoutSeconds) const;
  std::optional<WindowDriver> findWindowByName(const std::string& title, double timeoutSeconds) const;

  // The exit status once the program ended (128 + signal when killed by
  // one); nothing when it still runs after `timeoutSeconds`.
  std::optional<int> waitForExit(double timeoutSeconds);

 private:
  std::string display_;
  std::string workDir_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// instrument-simulator serving a pseudo-terminal linked as /dev/ttyUSB<port>
// (linking needs root), with the device under test switched while it runs
// through its control FIFO, as a user changes what is connected.
class SimulatedInstrument {
 public:
  // `options` go to the simulator too ("--no-errors", "--noise", "0");
  // `port` chooses the number, else the first free one from 40 up is taken.
  SimulatedInstrument(const VirtualDisplay& display, const std::string& device,
                      const std::vector<std::string>& options = {}, int port = -1);
  ~SimulatedInstrument();  // stops it (which removes the link) and the FIFO
  SimulatedInstrument(const SimulatedInstrument&) = delete;
  SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

  // True once the link is there; otherwise error() says why.
  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  int port() const { return port_; }
  std::string output() const { return run_ ? run_->output() : std::string{}; }

  // Connects another device ("short", "load 50"); true once the simulator
  // has confirmed it, so the next acquisition measures the new device.
  bool connect(const std::string& device);
  // Any control line ("fault silence", "fault none"); the simulator's
  // confirmation, the line that starts with `reply` (by default the line's
  // first word), or nothing when it refused the line or did not answer.
  std::optional<std::string> command(const std::string& line, const std::string& reply = "");
  // How many acquisitions the instrument has answered or ignored so far
  // (its "status"); nothing when it does not say.
  std::optional<long> acquisitions();

 private:
  int port_ = -1;
  std::string controlDir_, fifo_;
  std::optional<ProgramRun> run_;
  std::string error_;
};

}  // namespace vna::e2e
