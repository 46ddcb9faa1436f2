#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>
#include <vector>

namespace vna {
namespace {

// A pseudo-terminal stands in for the converter's tty.
class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    char name[128];
    ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);
    slave = name;
    ::chmod(name, 0666);  // so that an unprivileged child may try it too
  }
  void TearDown() override {
    if (master >= 0) ::close(master);
  }

  // Reads from the master until `count` bytes came or a generous second
  // passed (the tty layer hands bytes over asynchronously).
  std::vector<std::uint8_t> readMaster(std::size_t count) {
    std::vector<std::uint8_t> got;
    for (int i = 0; i < 100 && got.size() < count; ++i) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      std::uint8_t buffer[512];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }
  std::vector<std::uint8_t> readPort(SerialPort& port, std::size_t count) {
    std::vector<std::uint8_t> got;
    for (int i = 0; i < 100 && got.size() < count; ++i) {
      pollfd p{port.wakeSource().fd, POLLIN, 0};
      ::poll(&p, 1, 10);
      std::vector<std::uint8_t> buffer(port.bytesWaiting());
      buffer.resize(port.read(buffer));
      got.insert(got.end(), buffer.begin(), buffer.end());
    }
    return got;
  }
  // Opens the slave in a child process that is not root (root may ignore
  // exclusive use); returns the child's errno of open, or 0 if it opened.
  int openInAnotherProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
      if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(255);
      const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      ::_exit(fd >= 0 ? 0 : (errno & 0x7F));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int master = -1;
  std::string slave;
};

TEST(SerialPortName, IsTtyUsbAndTheDigitsOfThePortNumber) {
  EXPECT_EQ(serialDeviceName(0), "/dev/ttyUSB0");
  EXPECT_EQ(serialDeviceName(3), "/dev/ttyUSB3");
  EXPECT_EQ(serialDeviceName(-3), "/dev/ttyUSB3");
  EXPECT_EQ(serialDeviceName(32767), "/dev/ttyUSB32767");
  EXPECT_EQ(serialDeviceName(-32768), "/dev/ttyUSB32768");
}

TEST(SerialPortOpen, FailsCleanlyOnWhatIsNotThere) {
  SerialPort missing("/nonexistent/ttyUSB3");
  EXPECT_FALSE(missing.open());
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.lastError(), ENOENT);
  EXPECT_EQ(missing.name(), "/nonexistent/ttyUSB3");
  EXPECT_EQ(missing.bytesWaiting(), 0u);
  missing.write(std::vector<std::uint8_t>{0x40});  // dropped, no crash
  EXPECT_EQ(missing.wakeSource().fd, -1);

  SerialPort notATty("/dev/null");  // opens, but cannot be configured
  EXPECT_FALSE(notATty.open());
  EXPECT_FALSE(notATty.isOpen());
  EXPECT_EQ(notATty.lastError(), ENOTTY);
}

TEST_F(PtyTest, ConfiguresTheLineAsTheInstrumentNeedsIt) {
  // Leave the line cooked, slow and with flow control, as a console has it.
  {
    const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_iflag |= ICRNL | IXON | IXANY | IMAXBEL | IUTF8 | BRKINT | INLCR | IGNCR | ISTRIP;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ISIG | IEXTEN | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE;
    t.c_cflag |= HUPCL | PARENB | CSTOPB;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    ::cfsetspeed(&t, B9600);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
  }
  SerialPort port(slave);
  ASSERT_TRUE(port.open());
  termios t{};
  ASSERT_EQ(::tcgetattr(port.wakeSource().fd, &t), 0);
  EXPECT_EQ(::cfgetispeed(&t), B57600);
  EXPECT_EQ(::cfgetospeed(&t), B57600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | HUPCL | CRTSCTS), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXANY | IMAXBEL | IUTF8 | BRKINT | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_EQ(t.c_oflag & (OPOST | ONLCR), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ISIG | IEXTEN | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_NE(::fcntl(port.wakeSource().fd, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(::fcntl(port.wakeSource().fd, F_GETFD) & FD_CLOEXEC, 0);
}

TEST_F(PtyTest, PassesEveryByteValueUnchangedBothWays) {
  SerialPort port(slave);
  ASSERT_TRUE(port.open());
  std::vector<std::uint8_t> all(256);
  std::iota(all.begin(), all.end(), 0);  // CR, LF, ^C, XON, XOFF, DEL, 0xFF ...
  port.write(all);
  EXPECT_EQ(readMaster(256), all);

  ASSERT_EQ(::write(master, all.data(), all.size()), 256);
  EXPECT_EQ(readPort(port, 256), all);
  EXPECT_EQ(port.bytesWaiting(), 0u);
  std::uint8_t none[4];
  EXPECT_EQ(port.read(none), 0u);  // nothing there: no wait, no vanishing
  EXPECT_FALSE(port.vanished());
}

TEST_F(PtyTest, ASecondProgramIsRefusedButOurOwnReopenWorks) {
  SerialPort port(slave);
  ASSERT_TRUE(port.open());
  EXPECT_EQ(openInAnotherProcess(), EBUSY);
  // Something else keeps the tty alive (as the simulator does): closing
  // must still release it, or our reopen after a time-out would fail.
  const int keeper = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(keeper, 0);
  port.close();
  EXPECT_EQ(openInAnotherProcess(), 0);
  ASSERT_TRUE(port.open());
  EXPECT_EQ(openInAnotherProcess(), EBUSY);
  ::close(keeper);
}

TEST_F(PtyTest, AFreshOpenStartsWithEmptyBuffers) {
  SerialPort port(slave);
  const int keeper = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_TRUE(port.open());
  const std::uint8_t stale[3] = {1, 2, 3};
  ASSERT_EQ(::write(master, stale, 3), 3);
  for (int i = 0; i < 100 && port.bytesWaiting() < 3; ++i) ::usleep(10000);
  ASSERT_EQ(port.bytesWaiting(), 3u);
  port.close();
  ASSERT_TRUE(port.open());
  EXPECT_EQ(port.bytesWaiting(), 0u);
  ::close(keeper);
}

TEST_F(PtyTest, NoticesTheDeviceGoingAway) {
  SerialPort port(slave);
  ASSERT_TRUE(port.open());
  EXPECT_FALSE(port.vanished());
  ::close(master);
  master = -1;
  EXPECT_EQ(port.bytesWaiting(), 0u);
  EXPECT_TRUE(port.vanished());
  std::uint8_t buffer[8];
  EXPECT_EQ(port.read(buffer), 0u);
  port.write(std::vector<std::uint8_t>{0x40});  // dropped
  EXPECT_TRUE(port.isOpen());
  port.close();
  EXPECT_FALSE(port.vanished());
  EXPECT_FALSE(port.isOpen());
}

TEST_F(PtyTest, AWriteNobodyReadsGivesUpInsteadOfHanging) {
  SerialPort port(slave);
  ASSERT_TRUE(port.open());
  std::vector<std::uint8_t> lots(1 << 20, 0x55);  // far more than the pty holds
  port.write(lots);
  EXPECT_TRUE(port.isOpen());
  EXPECT_FALSE(port.vanished());
}

}  // namespace
}  // namespace vna
