// The virtual instrument behind the serial channel interface, on the
// program's own clock (a headless test's virtual clock): what the program
// writes reaches the model at clock() time, and reply bytes become readable
// when the model's schedule says so. Deterministic for a given model seed.
//
// Like a real converter: bytes that arrive while the port is closed are
// lost; after the instrument was unplugged the open channel stays dead
// (vanished) until it is closed and opened again once the instrument is
// back; opening fails while it is away.
#pragma once

#include <functional>
#include <string>

#include "platform/serial_channel.h"
#include "simulator/instrument_model.h"

namespace vna {

class SimulatedChannel : public SerialChannel {
 public:
  // The model is shared with the test, which may change its device and
  // faults at any time; it must outlive the channel.
  SimulatedChannel(std::function<double()> clock, InstrumentModel& model, std::string name = "/dev/ttyUSB0");

  bool open() override;
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }

  void write(std::span<const std::uint8_t> bytes) override;
  std::size_t bytesWaiting() override;
  std::size_t read(std::span<std::uint8_t> out) override;
  bool vanished() const override;

  // readyAt is when the next reply byte is due; fd is -1.
  WakeSource wakeSource() const override;
  std::string name() const override { return name_; }

  // No instrument at all: every open fails ("port cannot be opened").
  void refuseOpen(bool refuse) { refuseOpen_ = refuse; }
  // Successful opens so far, to see that the program reopened the port.
  int openCount() const { return openCount_; }

  InstrumentModel& model() { return model_; }

 private:
  bool live() const { return open_ && !vanished(); }

  std::function<double()> clock_;
  InstrumentModel& model_;
  std::string name_;
  bool open_ = false;
  bool refuseOpen_ = false;
  int generation_ = 0;
  int openCount_ = 0;
};

}  // namespace vna
