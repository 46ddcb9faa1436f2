#include "platform/x11_backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace vna {
namespace {

double monotonicSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

timespec durationOf(double seconds) {
  seconds = std::clamp(seconds, 0.0, 3600.0);
  const double whole = std::floor(seconds);
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>((seconds - whole) * 1e9);
  return ts;
}

std::uint32_t channelBits(std::uint8_t value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint64_t top = mask >> shift;  // the channel's largest value
  return static_cast<std::uint32_t>(((value * top + 127) / 255) << shift);
}

// Mouse buttons as the programs number them: 1 left, 2 right, 4 middle.
int buttonBit(unsigned int xButton) {
  return xButton == Button1 ? 1 : xButton == Button3 ? 2 : xButton == Button2 ? 4 : 0;
}

int buttonsHeld(unsigned int state) {
  return ((state & Button1Mask) ? 1 : 0) | ((state & Button3Mask) ? 2 : 0) | ((state & Button2Mask) ? 4 : 0);
}

void pointerAt(InputState& input, int x, int y) {
  input.mouse.x = x;
  input.mouse.y = y;
  input.mouse.inside = x >= 0 && y >= 0 && x < kScreenWidth && y < kScreenHeight;
}

constexpr bool kHostIsLsbFirst = std::endian::native == std::endian::little;

// Rows of the window the server lost (exposures).
struct RowRange {
  int top = kScreenHeight;  // empty when top > bottom
  int bottom = -1;
  void add(int y0, int y1) {
    top = std::min(top, std::max(0, y0));
    bottom = std::max(bottom, std::min(kScreenHeight - 1, y1));
  }
};

// Keys that readKey gives as 255 and the PC keyboard's scan code. The
// keypad's cursor keys (NumLock off) are the same keys.
struct ExtendedKey {
  unsigned long keysym;
  int scanCode;
};
constexpr ExtendedKey kExtendedKeys[] = {
    {XK_F11, 87},    {XK_F12, 88},       {XK_Home, 71},   {XK_KP_Home, 71},   {XK_Up, 72},    {XK_KP_Up, 72},
    {XK_Prior, 73},  {XK_KP_Prior, 73},  {XK_Left, 75},   {XK_KP_Left, 75},   {XK_Right, 77}, {XK_KP_Right, 77},
    {XK_End, 79},    {XK_KP_End, 79},    {XK_Down, 80},   {XK_KP_Down, 80},   {XK_Next, 81},  {XK_KP_Next, 81},
    {XK_Insert, 82}, {XK_KP_Insert, 82}, {XK_Delete, 83}, {XK_KP_Delete, 83},
};

}  // namespace

std::string keyTextFor(unsigned long keysym, std::string_view lookedUp) {
  if (keysym >= XK_F1 && keysym <= XK_F10) return extendedKey(59 + static_cast<int>(keysym - XK_F1));
  for (const ExtendedKey& k : kExtendedKeys)
    if (k.keysym == keysym) return extendedKey(k.scanCode);
  // By key symbol, not by text: what XLookupString makes of these (the
  // keypad's Enter in particular) varies with the keymap.
  if (keysym == XK_BackSpace) return std::string(1, static_cast<char>(key::kBackspace));
  if (keysym == XK_Return || keysym == XK_KP_Enter) return std::string(1, static_cast<char>(key::kEnter));
  if (keysym == XK_Escape) return std::string(1, static_cast<char>(key::kEsc));
  // Ordinary keys, with Ctrl+V already folded to 22 by XLookupString.
  if (lookedUp.size() == 1) return std::string(lookedUp);
  return {};
}

std::uint32_t trueColorPixel(Rgb colour, unsigned long redMask, unsigned long greenMask, unsigned long blueMask) {
  return channelBits(colour.r, redMask) | channelBits(colour.g, greenMask) | channelBits(colour.b, blueMask);
}

struct X11Backend::Connection {
  Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  Cursor cursor = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  std::vector<char> imageData;
  Atom wmDelete = 0;

  std::array<std::uint32_t, 256> pixelOf{};  // palette index -> pixel value
  std::uint64_t paletteVersion = 0;
  // What the window shows now, as palette indices: where the framebuffer
  // says the shown page may have changed, it is compared with this, and
  // only what really differs is converted and put.
  std::vector<std::uint8_t> presented = std::vector<std::uint8_t>(std::size_t{kScreenWidth} * kScreenHeight);
  int presentedPage = -1;
  RowRange exposed;

  ~Connection() {
    if (display == nullptr) return;
    if (image != nullptr) {
      image->data = nullptr;  // the pixels belong to imageData
      XDestroyImage(image);
    }
    if (gc != nullptr) XFreeGC(display, gc);
    if (window != 0) XDestroyWindow(display, window);
    if (cursor != 0) XFreeCursor(display, cursor);
    if (colormap != 0) XFreeColormap(display, colormap);
    XCloseDisplay(display);
  }
};

X11Backend::X11Backend(const std::string& windowTitle, const std::string& displayName) : origin_(monotonicSeconds()) {
  auto x = std::make_unique<Connection>();
  const char* name = displayName.empty() ? nullptr : displayName.c_str();
  x->display = XOpenDisplay(name);
  if (x->display == nullptr) {
    error_ = std::string("cannot open the X display \"") + XDisplayName(name) + "\"";
    return;
  }
  Display* d = x->display;
  const int screen = DefaultScreen(d);
  XVisualInfo info{};
  if (DefaultVisual(d, screen)->c_class == TrueColor && DefaultDepth(d, screen) >= 15) {
    info.visual = DefaultVisual(d, screen);
    info.depth = DefaultDepth(d, screen);
  } else if (!XMatchVisualInfo(d, screen, 24, TrueColor, &info) && !XMatchVisualInfo(d, screen, 16, TrueColor, &info) &&
             !XMatchVisualInfo(d, screen, 15, TrueColor, &info)) {
    error_ = "the X display offers no TrueColor visual";
    return;
  }
  x->visual = info.visual;
  x->depth = info.depth;
  const Window root = RootWindow(d, screen);
  x->colormap = XCreateColormap(d, root, x->visual, AllocNone);

  XSetWindowAttributes attributes{};
  attributes.colormap = x->colormap;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  attributes.event_mask = KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                          LeaveWindowMask | ExposureMask | StructureNotifyMask;
  x->window = XCreateWindow(d, root, 0, 0, kScreenWidth, kScreenHeight, 0, x->depth, InputOutput, x->visual,
                            CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);

  // A fixed size: the window manager is asked for min = max = 1024 x 768.
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PSize | PMinSize | PMaxSize;
  hints->width = hints->min_width = hints->max_width = kScreenWidth;
  hints->height = hints->min_height = hints->max_height = kScreenHeight;
  XSetWMNormalHints(d, x->window, hints);
  XFree(hints);

  XStoreName(d, x->window, windowTitle.c_str());
  XChangeProperty(d, x->window, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(windowTitle.data()),
                  static_cast<int>(windowTitle.size()));
  // The class is the program's name, as the desktop entry's StartupWMClass
  // says, so that a desktop shows the window under its entry and icon.
  std::string className = windowTitle;  // XClassHint holds non-const strings
  XClassHint* classHint = XAllocClassHint();
  classHint->res_name = className.data();
  classHint->res_class = className.data();
  XSetClassHint(d, x->window, classHint);
  XFree(classHint);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(d, x->window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  x->wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, x->window, &x->wmDelete, 1);
  x->cursor = XCreateFontCursor(d, XC_left_ptr);
  XDefineCursor(d, x->window, x->cursor);
  x->gc = XCreateGC(d, x->window, 0, nullptr);

  x->image = XCreateImage(d, x->visual, static_cast<unsigned>(x->depth), ZPixmap, 0, nullptr, kScreenWidth,
                          kScreenHeight, 32, 0);
  if (x->image == nullptr) {
    error_ = "cannot create an image for the X display";
    return;
  }
  x->imageData.resize(static_cast<std::size_t>(x->image->bytes_per_line) * kScreenHeight);
  x->image->data = x->imageData.data();

  // Wait (briefly) until the window is up, so that the program's first
  // pointer move lands in it. Other events stay queued for pump().
  XMapWindow(d, x->window);
  XFlush(d);
  XEvent event;
  const double giveUp = monotonicSeconds() + 2.0;
  while (!XCheckTypedWindowEvent(d, x->window, MapNotify, &event)) {
    const double left = giveUp - monotonicSeconds();
    if (left <= 0) break;
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    const timespec ts = durationOf(left);
    ppoll(&fd, 1, &ts, nullptr);
  }
  x_ = std::move(x);
}

X11Backend::~X11Backend() = default;

unsigned long X11Backend::windowId() const {
  return x_ ? x_->window : 0;
}

double X11Backend::now() const {
  return monotonicSeconds() - origin_;
}

int X11Backend::gatherEvents(InputState& input, SocketRead read) {
  Display* d = x_->display;
  // The program reads the mouse and the keys many times a millisecond while
  // a point is transferred; the connection is read at most every 2 ms then.
  // Waits watch it with poll() and read it as soon as it has something.
  constexpr double kReadInterval = 0.002;
  bool readSocket = read == SocketRead::Now;
  if (read == SocketRead::IfDue) {
    const double t = now();
    readSocket = t - lastSocketRead_ >= kReadInterval;
    if (readSocket) lastSocketRead_ = t;
  }
  int handled = 0;
  while (readSocket ? XPending(d) > 0 : XQLength(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    ++handled;
    switch (event.type) {
      case KeyPress: {
        char text[16];
        KeySym keysym = NoSymbol;
        const int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
        std::string k = keyTextFor(keysym, std::string_view(text, static_cast<std::size_t>(std::max(length, 0))));
        if (!k.empty()) input.pushKey(std::move(k));
        break;
      }
      case ButtonPress:
      case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        pointerAt(input, b.x, b.y);
        if (event.type == ButtonPress && b.button == Button4) ++input.mouse.wheel;  // away from the user
        if (event.type == ButtonPress && b.button == Button5) --input.mouse.wheel;
        if (event.type == ButtonPress) input.setButtons(input.mouse.buttons | buttonBit(b.button));
        if (event.type == ButtonRelease) input.setButtons(input.mouse.buttons & ~buttonBit(b.button));
        break;
      }
      case MotionNotify:
        pointerAt(input, event.xmotion.x, event.xmotion.y);
        // The held buttons as the server sees them: a release that went to
        // another client (a window manager's grab) cannot leave one stuck.
        input.setButtons(buttonsHeld(event.xmotion.state));
        break;
      case EnterNotify: pointerAt(input, event.xcrossing.x, event.xcrossing.y); break;
      case LeaveNotify:
        // A grab by another client leaves the pointer where it is.
        if (event.xcrossing.mode != NotifyGrab) input.mouse.inside = false;
        break;
      case Expose: x_->exposed.add(event.xexpose.y, event.xexpose.y + event.xexpose.height - 1); break;
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == x_->wmDelete) input.closeRequested = true;
        break;
      case MappingNotify: XRefreshKeyboardMapping(&event.xmapping); break;
      default: break;
    }
  }
  return handled;
}

void X11Backend::putRows(const Framebuffer& fb, int shownPage, int top, int bottom, int left, int right) {
  XImage* image = x_->image;
  const bool lsb = image->byte_order == LSBFirst;
  for (int y = top; y <= bottom; ++y) {
    const std::uint8_t* indices = fb.row(shownPage, y);
    char* line = image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line;
    if (image->bits_per_pixel == 32 && lsb == kHostIsLsbFirst) {
      for (int px = left; px <= right; ++px) {
        const std::uint32_t value = x_->pixelOf[indices[px]];
        std::memcpy(line + 4 * px, &value, 4);
      }
    } else if (image->bits_per_pixel == 16 && lsb == kHostIsLsbFirst) {
      for (int px = left; px <= right; ++px) {
        const auto value = static_cast<std::uint16_t>(x_->pixelOf[indices[px]]);
        std::memcpy(line + 2 * px, &value, 2);
      }
    } else {
      for (int px = left; px <= right; ++px) XPutPixel(image, px, y, x_->pixelOf[indices[px]]);
    }
    std::memcpy(&x_->presented[static_cast<std::size_t>(y) * kScreenWidth + static_cast<std::size_t>(left)],
                indices + left, static_cast<std::size_t>(right - left + 1));
  }
  XPutImage(x_->display, x_->window, x_->gc, image, left, top, left, top, static_cast<unsigned>(right - left + 1),
            static_cast<unsigned>(bottom - top + 1));
}

void X11Backend::present(Framebuffer& fb, int shownPage) {
  const RowSpans& changes = fb.takeChanges(shownPage);
  const bool paletteChanged = fb.paletteVersion() != x_->paletteVersion || x_->presentedPage < 0;
  if (paletteChanged) {
    for (int i = 0; i < 256; ++i)
      x_->pixelOf[static_cast<std::size_t>(i)] =
          trueColorPixel(fb.paletteEntry(i), x_->visual->red_mask, x_->visual->green_mask, x_->visual->blue_mask);
    x_->paletteVersion = fb.paletteVersion();
  }
  if (paletteChanged || shownPage != x_->presentedPage) {
    putRows(fb, shownPage, 0, kScreenHeight - 1);
    x_->presentedPage = shownPage;
    x_->exposed = RowRange{};
    XFlush(x_->display);
    return;
  }
  // Rows the server lost are put again whole. Elsewhere only what differs
  // from what the window shows is sent, and it is looked for only where the
  // page may have changed; each band of columns is sent on its own, so that
  // a scan line at the left and a level bar at the right of the same rows
  // do not make one rectangle of everything between them.
  const RowRange exposed = std::exchange(x_->exposed, RowRange{});
  const int top = std::min(changes.top(), exposed.top), bottom = std::max(changes.bottom(), exposed.bottom);
  constexpr int kBand = 64, kBands = kScreenWidth / kBand;
  static_assert(kBands <= 32, "one bit per band");
  struct Run {
    int top = -1, left = kScreenWidth, right = -1;
  };
  std::array<Run, kBands> runs{};
  std::uint32_t open = 0;  // bands with a run going, one bit each
  bool any = false;
  const auto flush = [&](int band, int lastRow) {
    Run& run = runs[static_cast<std::size_t>(band)];
    if (run.top < 0) return;
    putRows(fb, shownPage, run.top, lastRow, run.left, run.right);
    run = Run{};
    any = true;
  };
  for (int y = top; y <= bottom; ++y) {
    const bool whole = y >= exposed.top && y <= exposed.bottom;
    const int left = whole ? 0 : changes.left(y), right = whole ? kScreenWidth - 1 : changes.right(y);
    const std::uint8_t* now = fb.row(shownPage, y);
    const std::uint8_t* shown = &x_->presented[static_cast<std::size_t>(y) * kScreenWidth];
    std::uint32_t bandsChanged = 0;
    // From one difference to the next: equal stretches are skipped in one
    // pass, and only a band with a difference is searched from its end.
    for (int x = left; x <= right;) {
      const int first = whole ? x : firstDifference(now, shown, x, right);
      if (first > right) break;
      const int band = first / kBand;
      const int bandEnd = std::min(right, band * kBand + kBand - 1);
      const int last = whole ? bandEnd : lastDifference(now, shown, first, bandEnd);
      Run& run = runs[static_cast<std::size_t>(band)];
      if (run.top < 0) run.top = y;
      run.left = std::min(run.left, first);
      run.right = std::max(run.right, last);
      bandsChanged |= 1u << band;
      x = bandEnd + 1;
    }
    for (std::uint32_t ended = open & ~bandsChanged; ended != 0; ended &= ended - 1)
      flush(std::countr_zero(ended), y - 1);
    open = bandsChanged;
  }
  for (; open != 0; open &= open - 1) flush(std::countr_zero(open), bottom);
  if (any) XFlush(x_->display);
}

void X11Backend::pump(Framebuffer& fb, int shownPage, InputState& input) {
  gatherEvents(input, SocketRead::IfDue);
  present(fb, shownPage);
}

void X11Backend::waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                           const WakeSource& wake) {
  Display* d = x_->display;
  int events = gatherEvents(input, SocketRead::IfDue);
  present(fb, shownPage);
  const bool watchFd = wakeOnActivity && wake.fd >= 0;
  for (;;) {
    if (wakeOnActivity && events > 0) return;
    double until = deadline;
    if (wakeOnActivity) until = std::min(until, wake.readyAt);
    const double left = until - now();
    if (left <= 0) return;
    // Xlib may have read events off the socket while sending: those would
    // not wake poll().
    if (XQLength(d) > 0) {
      events += gatherEvents(input, SocketRead::No);
      continue;
    }
    std::array<pollfd, 2> fds{pollfd{ConnectionNumber(d), POLLIN, 0}, pollfd{wake.fd, POLLIN, 0}};
    const timespec ts = durationOf(left);
    const int ready = ppoll(fds.data(), watchFd ? 2 : 1, &ts, nullptr);
    if (ready < 0 && errno != EINTR) return;  // nothing sensible to wait on
    const SocketRead read = fds[0].revents != 0 ? SocketRead::Now : SocketRead::No;
    if (read == SocketRead::Now) lastSocketRead_ = now();
    if (watchFd && fds[1].revents != 0) {
      gatherEvents(input, read);
      return;
    }
    events += gatherEvents(input, read);
    present(fb, shownPage);  // exposures that came in meanwhile
  }
}

void X11Backend::movePointer(int x, int y, InputState& input) {
  XWarpPointer(x_->display, None, x_->window, 0, 0, 0, 0, x, y);
  XFlush(x_->display);
  pointerAt(input, x, y);
}

}  // namespace vna
