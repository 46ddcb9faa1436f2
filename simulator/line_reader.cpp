#include "simulator/line_reader.h"

#include <unistd.h>

#include <cerrno>

namespace vna {
namespace {

// A line longer than this is nobody's command: it is cut.
constexpr std::size_t kLongestLine = 4096;

}  // namespace

std::vector<std::string> LineReader::readLines() {
  std::vector<std::string> lines;
  if (fd_ < 0) return lines;
  char buffer[1024];
  const ssize_t n = ::read(fd_, buffer, sizeof buffer);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    if (!pending_.empty()) lines.push_back(pending_);
    pending_.clear();
    fd_ = -1;  // the descriptor itself belongs to whoever opened it
    return lines;
  }
  for (ssize_t i = 0; i < n; ++i) {
    if (buffer[i] == '\n') {
      lines.push_back(pending_);
      pending_.clear();
    } else if (pending_.size() < kLongestLine) {
      pending_ += buffer[i];
    }
  }
  return lines;
}

}  // namespace vna
