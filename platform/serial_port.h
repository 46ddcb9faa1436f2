// The instrument's serial port: a tty (the FT232R converter's /dev/ttyUSBn,
// or the simulator's pseudo-terminal) opened raw, non-blocking and for
// exclusive use, at 57600 baud 8N1.
#pragma once

#include <termios.h>

#include <string>

#include "platform/serial_channel.h"

namespace vna {

// "/dev/ttyUSB" followed by the decimal digits of the port number, no sign.
std::string serialDeviceName(int portNumber);

// The line settings the instrument needs, applied to `t`: 57600 baud, 8 data
// bits, no parity, one stop bit, receiver on, modem lines ignored, no hang-up
// on close, no flow control, and raw binary both ways (no echo, no signals,
// no line editing, no CR/LF translation). Reads return at once (VMIN 0,
// VTIME 0). Everything not named keeps its value, as stty would leave it.
void makeInstrumentLineSettings(termios& t);

class SerialPort : public SerialChannel {
 public:
  explicit SerialPort(std::string devicePath);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool open() override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }

  void write(std::span<const std::uint8_t> bytes) override;
  std::size_t bytesWaiting() override;
  std::size_t read(std::span<std::uint8_t> out) override;
  bool vanished() const override { return vanished_; }

  WakeSource wakeSource() const override;
  std::string name() const override { return path_; }

  // errno of the last failed open or configuration (0 after a good open).
  int lastError() const { return lastError_; }

 private:
  // Polls the descriptor without waiting; notes a hang-up. Returns revents.
  short pollNow();
  // Waits up to `milliseconds` for room to write; false on time-out/hang-up.
  bool waitWritable(int milliseconds);
  void noteError(int error);

  std::string path_;
  int fd_ = -1;
  bool vanished_ = false;
  int lastError_ = 0;
};

}  // namespace vna
