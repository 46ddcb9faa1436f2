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
  // What the window shows now, as palette indices, so that a page copy that
  // changes a few rows puts only those rows.
  std::vector<std::uint8_t> presented = std::vector<std::uint8_t>(std::size_t{kScreenWidth} * kScreenHeight);
  int presentedPage = -1;
  DirtyRows exposed;

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

int X11Backend::gatherEvents(InputState& input) {
  Display* d = x_->display;
  int handled = 0;
  while (XPending(d) > 0) {
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
  const DirtyRows dirty = fb.takeDirty(shownPage);
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
    x_->exposed = DirtyRows{};
    XFlush(x_->display);
    return;
  }
  // Rows the server lost are put again whole; a row marked dirty is sent
  // only where it differs from what the window shows (a page copy marks
  // rows, a moving scan line changes two pixels of each).
  const DirtyRows exposed = x_->exposed;
  x_->exposed = DirtyRows{};
  const int top = std::min(dirty.top, exposed.top), bottom = std::max(dirty.bottom, exposed.bottom);
  struct Span {
    int left = kScreenWidth, right = -1;
    bool empty() const { return left > right; }
  };
  auto changed = [&](int y) {
    if (y >= exposed.top && y <= exposed.bottom) return Span{0, kScreenWidth - 1};
    if (y < dirty.top || y > dirty.bottom) return Span{};
    const std::uint8_t* now = fb.row(shownPage, y);
    const std::uint8_t* shown = &x_->presented[static_cast<std::size_t>(y) * kScreenWidth];
    Span span;
    int x = 0;
    while (x < kScreenWidth && now[x] == shown[x]) ++x;
    if (x == kScreenWidth) return span;
    span.left = x;
    x = kScreenWidth - 1;
    while (now[x] == shown[x]) --x;
    span.right = x;
    return span;
  };
  bool any = false;
  for (int y = top; y <= bottom; ++y) {
    Span run = changed(y);
    if (run.empty()) continue;
    int end = y;
    // Rows join a run while their changes lie about where the run's do, so a
    // scan line at the left and a level bar at the right of some rows do not
    // make one rectangle of everything between them.
    constexpr int kSlack = 32;
    for (Span next; end + 1 <= bottom && !(next = changed(end + 1)).empty() &&
                    next.left >= run.left - kSlack && next.right <= run.right + kSlack;
         ++end) {
      run.left = std::min(run.left, next.left);
      run.right = std::max(run.right, next.right);
    }
    putRows(fb, shownPage, y, end, run.left, run.right);
    any = true;
    y = end;
  }
  if (any) XFlush(x_->display);
}

void X11Backend::pump(Framebuffer& fb, int shownPage, InputState& input) {
  gatherEvents(input);
  present(fb, shownPage);
}

void X11Backend::waitUntil(double deadline, Framebuffer& fb, int shownPage, InputState& input, bool wakeOnActivity,
                           const WakeSource& wake) {
  Display* d = x_->display;
  int events = gatherEvents(input);
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
      events += gatherEvents(input);
      continue;
    }
    std::array<pollfd, 2> fds{pollfd{ConnectionNumber(d), POLLIN, 0}, pollfd{wake.fd, POLLIN, 0}};
    const timespec ts = durationOf(left);
    const int ready = ppoll(fds.data(), watchFd ? 2 : 1, &ts, nullptr);
    if (ready < 0 && errno != EINTR) return;  // nothing sensible to wait on
    if (watchFd && fds[1].revents != 0) {
      gatherEvents(input);
      return;
    }
    events += gatherEvents(input);
    present(fb, shownPage);  // exposures that came in meanwhile
  }
}

void X11Backend::movePointer(int x, int y, InputState& input) {
  XWarpPointer(x_->display, None, x_->window, 0, 0, 0, 0, x, y);
  XFlush(x_->display);
  pointerAt(input, x, y);
}

}  // namespace vna
