// Checks of what a screen shows, run at their times on the headless
// backend's clock. A check runs only while the screen under test still reads
// its events: one that never ran would pass unseen, so each must have run by
// the end of the test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "platform/headless_backend.h"

namespace vna::testing {

class ScheduledChecks {
 public:
  explicit ScheduledChecks(HeadlessBackend& backend) : backend_(backend) {}
  ScheduledChecks(const ScheduledChecks&) = delete;
  ScheduledChecks& operator=(const ScheduledChecks&) = delete;
  ~ScheduledChecks() { EXPECT_EQ(run_, scheduled_) << "the screen closed before every check ran"; }

  void at(double t, std::function<void()> check) {
    ++scheduled_;
    backend_.actionAt(t, [this, check = std::move(check)] {
      ++run_;
      check();
    });
  }

 private:
  HeadlessBackend& backend_;
  int scheduled_ = 0, run_ = 0;
};

}  // namespace vna::testing
