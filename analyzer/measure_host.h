// What the sweep engine needs of a program without a window: the system's
// monotonic clock, sleeps and waits on the serial port with poll(), and an
// interrupt (Ctrl+C) that abandons the acquisition under way.
#pragma once

#include "analyzer/instrument_link.h"

namespace vna {

class SystemHost : public AcquisitionHost {
 public:
  // Ctrl+C and SIGTERM from now on only ask the sweep to stop, so that no
  // half-written file is left behind; interrupted() tells.
  SystemHost();

  double now() override;
  void sleep(int ms) override;
  void waitForActivity(double seconds, const WakeSource& wake) override;
  bool keepGoing(const AcquisitionProgress&) override { return !interrupted(); }
  void pauseUntil(double time) override;

  bool interrupted() const;
};

}  // namespace vna
