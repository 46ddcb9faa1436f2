#include "simulator/transmit_line.h"

#include <algorithm>

namespace vna {

double TransmitLine::send(std::uint8_t value, double earliest) {
  const double readyAt = std::max(earliest, freeAt_) + kByteSeconds;
  freeAt_ = readyAt;
  queue_.push_back({readyAt, value});
  return readyAt;
}

double TransmitLine::nextTime() const {
  return queue_.empty() ? std::numeric_limits<double>::infinity() : queue_.front().readyAt;
}

std::size_t TransmitLine::readyBy(double t) const {
  // Queued in time order, so the readable ones are a prefix.
  const auto end = std::upper_bound(queue_.begin(), queue_.end(), t,
                                    [](double time, const TimedByte& b) { return time < b.readyAt; });
  return static_cast<std::size_t>(end - queue_.begin());
}

std::size_t TransmitLine::take(double t, std::span<std::uint8_t> out) {
  const std::size_t n = std::min(readyBy(t), out.size());
  for (std::size_t i = 0; i < n; ++i) out[i] = queue_[i].value;
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

void TransmitLine::discardUntil(double t) {
  const std::size_t n = readyBy(t);
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
}

void TransmitLine::clear() {
  queue_.clear();
  freeAt_ = -std::numeric_limits<double>::infinity();
}

}  // namespace vna
