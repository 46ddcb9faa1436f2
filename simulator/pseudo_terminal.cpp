#include "simulator/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/serial_port.h"

namespace vna {

bool PseudoTerminal::fail(std::string& error, const char* what) {
  error = std::string(what) + ": " + std::strerror(errno);
  close();
  return false;
}

bool PseudoTerminal::open(std::string& error) {
  close();
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail(error, "posix_openpt");
  if (::grantpt(master_) != 0) return fail(error, "grantpt");
  if (::unlockpt(master_) != 0) return fail(error, "unlockpt");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail(error, "ptsname");
  slavePath_ = name;
  keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (keeper_ < 0) return fail(error, name);
  termios t{};
  if (::tcgetattr(keeper_, &t) != 0) return fail(error, "tcgetattr");
  makeInstrumentLineSettings(t);
  if (::tcsetattr(keeper_, TCSANOW, &t) != 0) return fail(error, "tcsetattr");
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail(error, "fcntl");
  return true;
}

void PseudoTerminal::close() {
  if (keeper_ >= 0) ::close(keeper_);
  if (master_ >= 0) ::close(master_);
  keeper_ = -1;
  master_ = -1;
  slavePath_.clear();
}

}  // namespace vna
