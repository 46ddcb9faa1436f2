// How the virtual instrument misbehaves on demand: a lost reply, a reply one
// byte short, garbage, a reply that stalls half way, the port unplugged.
// Text form (after --fault or "fault" on the control channel):
//   none | silence [N] | short-reply [N] | garbage [N] | extra-bytes COUNT [N]
//   | stall SECONDS [N] | unplug [SECONDS]
// N is how many replies are affected; without it, every reply until "none".
#pragma once

#include <string>
#include <string_view>

#include "simulator/command_text.h"

namespace vna {

enum class FaultKind {
  None,
  Silence,     // acquisition commands get no answer
  ShortReply,  // the reply's last byte is missing: 7(n+1) instead of 7n+8
  Garbage,     // the reply's bytes are replaced by random bytes
  ExtraBytes,  // random bytes are sent before the reply
  Stall,       // the reply stops half way for `seconds`, then goes on
  Unplug,      // the port disappears for `seconds` (0: until cleared)
};

struct FaultPlan {
  FaultKind kind = FaultKind::None;
  int replies = 0;       // replies still affected; 0 means every reply
  int extraBytes = 0;    // ExtraBytes only
  double seconds = 0.0;  // Stall and Unplug

  static FaultPlan none() { return {}; }
  static FaultPlan silence(int replies = 0) { return {FaultKind::Silence, replies, 0, 0.0}; }
  static FaultPlan shortReply(int replies = 0) { return {FaultKind::ShortReply, replies, 0, 0.0}; }
  static FaultPlan garbage(int replies = 0) { return {FaultKind::Garbage, replies, 0, 0.0}; }
  static FaultPlan extra(int count, int replies = 0) { return {FaultKind::ExtraBytes, replies, count, 0.0}; }
  static FaultPlan stall(double seconds, int replies = 0) { return {FaultKind::Stall, replies, 0, seconds}; }
  static FaultPlan unplug(double seconds = 0.0) { return {FaultKind::Unplug, 0, 0, seconds}; }

  bool operator==(const FaultPlan&) const = default;
};

ParseResult<FaultPlan> parseFault(std::string_view text);
std::string describeFault(const FaultPlan& fault);
std::string faultSyntaxHelp();

}  // namespace vna
