// The instrument's USB serial converter as a raw tty, configured with
// termios to 57600 baud 8N1 binary, no flow control, no modem control.
#pragma once

#include <string>

#include "platform/serial_channel.h"

namespace vna {

// "/dev/ttyUSB" followed by the decimal digits of the port number.
std::string serialDeviceName(int portNumber);

class SerialPort : public SerialChannel {
 public:
  explicit SerialPort(std::string devicePath) : path_(std::move(devicePath)) {}
  ~SerialPort() override { close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool open() override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }
  void write(std::span<const std::uint8_t> bytes) override;
  std::size_t bytesWaiting() override;
  std::size_t read(std::span<std::uint8_t> out) override;
  bool vanished() const override { return vanished_; }
  WakeSource wakeSource() const override { return WakeSource{fd_}; }
  std::string name() const override { return path_; }

 private:
  void checkHangUp();

  std::string path_;
  int fd_ = -1;
  bool vanished_ = false;
};

}  // namespace vna
