#include "platform/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace vna {
namespace {

// A write that finds the converter's buffer full waits this long in all for
// room; the longest message to the instrument is 9 bytes, 1.6 ms of wire.
constexpr int kWriteBudgetMs = 500;

bool deviceGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

// The FT232R holds back the tail of a reply for its 16 ms latency timer unless
// the driver is asked for low latency. Pseudo-terminals do not support it.
void askLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

// "rows 0 columns 0": a terminal size nobody will mistake for a console.
void clearWindowSize(int fd) {
  winsize size{};
  ::ioctl(fd, TIOCSWINSZ, &size);
}

long long millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::string serialDeviceName(int portNumber) {
  const long long magnitude = portNumber < 0 ? -static_cast<long long>(portNumber) : portNumber;
  return "/dev/ttyUSB" + std::to_string(magnitude);
}

void makeInstrumentLineSettings(termios& t) {
  // Input: no break signal, parity checked, bytes passed through untouched.
  t.c_iflag &=
      ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | IXON | IXOFF | IXANY | IMAXBEL | IUTF8);
  t.c_iflag |= INPCK;
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR);
  t.c_lflag &= ~static_cast<tcflag_t>(ISIG | ICANON | IEXTEN | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE);
  // 8N1, receiver on, modem lines ignored, the converter's DTR kept on close.
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, B57600);
  ::cfsetospeed(&t, B57600);
}

SerialPort::SerialPort(std::string devicePath) : path_(std::move(devicePath)) {}

SerialPort::~SerialPort() {
  close();
}

bool SerialPort::open() {
  close();
  const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    lastError_ = errno;
    ::close(fd);
    return false;
  }
  makeInstrumentLineSettings(t);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    lastError_ = errno;
    ::close(fd);
    return false;
  }
  // Exclusive use: a second program on the same port is refused (EBUSY)
  // instead of stealing half of our bytes. Where unsupported we go on.
  ::ioctl(fd, TIOCEXCL);
  askLowLatency(fd);
  clearWindowSize(fd);
  // A fresh open starts with empty buffers, as a freshly plugged converter
  // does; a pseudo-terminal kept open by the simulator may hold old bytes.
  ::tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  vanished_ = false;
  lastError_ = 0;
  return true;
}

void SerialPort::close() {
  if (fd_ < 0) return;
  // The exclusive flag lives as long as the tty does; when someone else keeps
  // it open (the simulator's pseudo-terminal) it would refuse our own reopen
  // after a time-out.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  vanished_ = false;
}

void SerialPort::noteError(int error) {
  if (deviceGone(error)) vanished_ = true;
}

short SerialPort::pollNow() {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return 0;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) vanished_ = true;
  return p.revents;
}

bool SerialPort::waitWritable(int milliseconds) {
  pollfd p{fd_, POLLOUT, 0};
  const int ready = ::poll(&p, 1, milliseconds);
  if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
    vanished_ = true;
    return false;
  }
  return ready > 0 || (ready < 0 && errno == EINTR);
}

void SerialPort::write(std::span<const std::uint8_t> bytes) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t done = 0;
  while (fd_ >= 0 && !vanished_ && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const long long left = kWriteBudgetMs - millisecondsSince(start);
    if (n < 0 && errno == EAGAIN && left > 0 && waitWritable(static_cast<int>(left))) continue;
    if (n < 0) noteError(errno);
    return;  // the rest is dropped, as on a port that is gone or stuck
  }
}

std::size_t SerialPort::bytesWaiting() {
  if (fd_ < 0 || vanished_) return 0;
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
    noteError(errno);
    return 0;
  }
  if (waiting > 0) return static_cast<std::size_t>(waiting);
  pollNow();  // nothing to read: is the device still there?
  return 0;
}

std::size_t SerialPort::read(std::span<std::uint8_t> out) {
  if (fd_ < 0 || vanished_ || out.empty()) return 0;
  const short events = pollNow();
  const ssize_t n = ::read(fd_, out.data(), out.size());
  if (n > 0) return static_cast<std::size_t>(n);
  // With VMIN 0 an empty read is normal; after poll said readable it is the
  // end of the device.
  if (n == 0 && (events & POLLIN)) vanished_ = true;
  if (n < 0 && errno != EAGAIN && errno != EINTR) noteError(errno);
  return 0;
}

WakeSource SerialPort::wakeSource() const {
  WakeSource wake;
  wake.fd = fd_;
  return wake;
}

}  // namespace vna
