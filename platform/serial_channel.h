// The byte channel to the instrument. The real one is a tty (serial_port.h);
// tests plug in a simulated instrument on the program's clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>

namespace vna {

// What a wait may be cut short by: a readable descriptor (a real tty) or the
// moment the next byte is due (an instrument simulated on a virtual clock).
struct WakeSource {
  int fd = -1;
  double readyAt = std::numeric_limits<double>::infinity();
};

class SerialChannel {
 public:
  virtual ~SerialChannel() = default;

  // Opens (or reopens) the device; false when it cannot be opened.
  virtual bool open() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // Writes all bytes; bytes to a closed or vanished port are dropped.
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  // Number of received bytes that can be read without waiting.
  virtual std::size_t bytesWaiting() = 0;
  // Reads at most out.size() bytes without waiting; returns the count.
  virtual std::size_t read(std::span<std::uint8_t> out) = 0;
  // True once the device has gone away (unplugged converter, hang-up);
  // an acquisition treats it like a time-out at once.
  virtual bool vanished() const = 0;

  virtual WakeSource wakeSource() const = 0;
  // Human-readable device name, for messages ("/dev/ttyUSB3").
  virtual std::string name() const = 0;
};

// Makes the channel to the instrument for a port number ("/dev/ttyUSB" + n).
using ChannelFactory = std::function<std::unique_ptr<SerialChannel>(int portNumber)>;

}  // namespace vna
