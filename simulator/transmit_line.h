// The instrument's transmit line at 57600 baud 8N1: each byte takes ten bit
// times on the wire, leaves no earlier than the firmware hands it over, and
// is readable by the program once its stop bit is through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <span>

namespace vna {

inline constexpr double kBaudRate = 57600.0;
inline constexpr double kByteSeconds = 10.0 / kBaudRate;  // start, 8 data, stop

class TransmitLine {
 public:
  // Queues a byte handed over at `earliest`; returns when it is readable.
  double send(std::uint8_t value, double earliest);

  // When the next byte becomes readable; infinity when none is queued.
  double nextTime() const;
  std::size_t readyBy(double t) const;
  // Takes up to out.size() bytes readable by `t`.
  std::size_t take(double t, std::span<std::uint8_t> out);
  // Bytes that arrived while nobody listened are lost.
  void discardUntil(double t);
  void clear();
  // When the last queued byte is through (minus infinity when idle).
  double busyUntil() const { return freeAt_; }

 private:
  struct TimedByte {
    double readyAt;
    std::uint8_t value;
  };
  std::deque<TimedByte> queue_;
  double freeAt_ = -std::numeric_limits<double>::infinity();
};

}  // namespace vna
