// The /dev/ttyUSB<n> name under which the analyzer finds the simulator: a
// symbolic link to the pseudo-terminal's slave, made where we may (as root
// in /dev) and removed again on exit, but only while it still points to us.
#pragma once

#include <optional>
#include <string>

namespace vna {

// "<dir>/ttyUSB<n>".
std::string portLinkPath(const std::string& directory, int portNumber);

// The first n from 0 for which <dir>/ttyUSB<n> does not exist, if any below 256.
std::optional<int> firstFreePort(const std::string& directory);

class PortLink {
 public:
  PortLink() = default;
  ~PortLink() { remove(); }
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Links `linkPath` to `target`; false (and `error`) when it cannot.
  bool create(const std::string& linkPath, const std::string& target, std::string& error);
  // Removes the link if it is still ours.
  void remove();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string target_;
};

}  // namespace vna
