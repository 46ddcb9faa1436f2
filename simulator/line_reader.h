// Control lines from a descriptor (standard input, a FIFO), read without
// blocking and split at newlines.
#pragma once

#include <string>
#include <vector>

namespace vna {

class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // Reads what is there; returns the complete lines. At end of file the
  // reader closes (a last unterminated line still counts).
  std::vector<std::string> readLines();
  bool open() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_;
  std::string pending_;
};

}  // namespace vna
