#include "simulator/simulated_channel.h"

#include <limits>

namespace vna {

SimulatedChannel::SimulatedChannel(std::function<double()> clock, InstrumentModel& model, std::string name)
    : clock_(std::move(clock)), model_(model), name_(std::move(name)) {}

bool SimulatedChannel::open() {
  const double now = clock_();
  open_ = false;
  if (refuseOpen_ || !model_.present(now)) return false;
  model_.discardBytesUntil(now);  // sent while nobody listened
  generation_ = model_.plugGeneration();
  open_ = true;
  ++openCount_;
  return true;
}

bool SimulatedChannel::vanished() const {
  return open_ && model_.plugGeneration() != generation_;
}

void SimulatedChannel::write(std::span<const std::uint8_t> bytes) {
  if (live()) model_.receive(bytes, clock_());
}

std::size_t SimulatedChannel::bytesWaiting() {
  return live() ? model_.bytesReadyBy(clock_()) : 0;
}

std::size_t SimulatedChannel::read(std::span<std::uint8_t> out) {
  return live() ? model_.takeBytes(clock_(), out) : 0;
}

WakeSource SimulatedChannel::wakeSource() const {
  WakeSource wake;
  wake.readyAt = live() ? model_.nextByteTime() : std::numeric_limits<double>::infinity();
  return wake;
}

}  // namespace vna
