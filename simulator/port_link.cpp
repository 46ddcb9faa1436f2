#include "simulator/port_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vna {

std::string portLinkPath(const std::string& directory, int portNumber) {
  return directory + "/ttyUSB" + std::to_string(portNumber);
}

std::optional<int> firstFreePort(const std::string& directory) {
  for (int n = 0; n < 256; ++n) {
    struct stat st {};
    if (::lstat(portLinkPath(directory, n).c_str(), &st) != 0 && errno == ENOENT) return n;
  }
  return std::nullopt;
}

bool PortLink::create(const std::string& linkPath, const std::string& target, std::string& error) {
  remove();
  if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
    error = linkPath + ": " + std::strerror(errno);
    return false;
  }
  path_ = linkPath;
  target_ = target;
  return true;
}

void PortLink::remove() {
  if (path_.empty()) return;
  char pointsTo[512];
  const ssize_t n = ::readlink(path_.c_str(), pointsTo, sizeof pointsTo - 1);
  if (n >= 0 && std::string(pointsTo, static_cast<std::size_t>(n)) == target_) ::unlink(path_.c_str());
  path_.clear();
  target_.clear();
}

}  // namespace vna
