#include "platform/serial_port.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vna {
namespace {

// The settings of "stty 57600 min 0 -hupcl clocal -brkint inpck -icrnl -ixon
// -ixany -imaxbel -iutf8 -opost -onlcr -isig -icanon -iexten -echo -echoe
// -echok -echoctl -echoke" with 8 data bits, no parity, one stop bit and no
// hardware flow control: a raw binary line.
bool configure(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | IXON | IXANY | IXOFF | IMAXBEL | IUTF8 | ISTRIP);
  t.c_iflag |= INPCK;
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR);
  t.c_lflag &= ~static_cast<tcflag_t>(ISIG | ICANON | IEXTEN | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B57600) != 0 || ::cfsetospeed(&t, B57600) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

// The FT232R holds back the end of a reply for its 16 ms latency timer unless
// the driver is asked for low latency; ignored where unsupported (ptys).
void askLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
  }
}

bool lostDevice(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EBADF; }

}  // namespace

std::string serialDeviceName(int portNumber) { return "/dev/ttyUSB" + std::to_string(std::abs(portNumber)); }

bool SerialPort::open() {
  close();
  vanished_ = false;
  const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Exclusive use: a second analyzer on the same port fails to open it
  // instead of taking half of the first one's bytes.
  if (::ioctl(fd, TIOCEXCL) != 0 && errno == EBUSY) {
    ::close(fd);
    return false;
  }
  if (!configure(fd)) {
    ::close(fd);
    return false;
  }
  askLowLatency(fd);
  ::tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  return true;
}

void SerialPort::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void SerialPort::write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  int stalls = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN && ++stalls < 20) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 50);  // the converter's buffer is full: wait for room, not forever
      continue;
    }
    if (n < 0 && lostDevice(errno)) vanished_ = true;
    return;  // bytes to a stuck or vanished port are dropped
  }
}

void SerialPort::checkHangUp() {
  if (fd_ < 0) return;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) vanished_ = true;
}

std::size_t SerialPort::bytesWaiting() {
  if (fd_ < 0) return 0;
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
    if (lostDevice(errno)) vanished_ = true;
    return 0;
  }
  if (waiting == 0) checkHangUp();
  return waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
}

std::size_t SerialPort::read(std::span<std::uint8_t> out) {
  if (fd_ < 0 || out.empty()) return 0;
  const ssize_t n = ::read(fd_, out.data(), out.size());
  if (n > 0) return static_cast<std::size_t>(n);
  if (n == 0 || (n < 0 && lostDevice(errno))) checkHangUp();
  if (n < 0 && lostDevice(errno)) vanished_ = true;
  return 0;
}

}  // namespace vna
