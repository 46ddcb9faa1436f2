#include "simulator/fault_plan.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vna {
namespace {

// What follows the name of a fault.
enum class Arguments { Nothing, Replies, CountAndReplies, SecondsAndReplies, OptionalSeconds };

struct FaultSyntax {
  std::string_view name;
  FaultKind kind;
  Arguments arguments;
  std::string_view usage;
  std::string_view meaning;
};

constexpr std::array<FaultSyntax, 7> kFaults{{
    {"none", FaultKind::None, Arguments::Nothing, "none", "the instrument behaves again"},
    {"silence", FaultKind::Silence, Arguments::Replies, "silence [N]", "no answer to acquisitions"},
    {"short-reply", FaultKind::ShortReply, Arguments::Replies, "short-reply [N]", "replies one byte short"},
    {"garbage", FaultKind::Garbage, Arguments::Replies, "garbage [N]", "replies of random bytes"},
    {"extra-bytes", FaultKind::ExtraBytes, Arguments::CountAndReplies, "extra-bytes COUNT [N]",
     "COUNT random bytes before each reply"},
    {"stall", FaultKind::Stall, Arguments::SecondsAndReplies, "stall SECONDS [N]",
     "replies pause half way for SECONDS"},
    {"unplug", FaultKind::Unplug, Arguments::OptionalSeconds, "unplug [SECONDS]",
     "the port vanishes (until \"none\" without SECONDS)"},
}};

std::optional<int> positiveCount(std::string_view word) {
  const auto n = parseWholeNumber(word);
  if (!n || *n < 1 || *n > 1000000) return std::nullopt;
  return static_cast<int>(*n);
}

std::optional<double> duration(std::string_view word) {
  const auto s = parseSiValue(word);
  if (!s || *s < 0.0 || *s > 86400.0) return std::nullopt;
  return *s;
}

ParseResult<FaultPlan> fill(const FaultSyntax& f, const std::vector<std::string_view>& words) {
  const std::string usage = "usage: fault " + std::string(f.usage);
  FaultPlan plan;
  plan.kind = f.kind;
  std::size_t next = 1;
  const auto take = [&]() -> std::optional<std::string_view> {
    if (next >= words.size()) return std::nullopt;
    return words[next++];
  };
  if (f.arguments == Arguments::CountAndReplies) {
    const auto word = take();
    const auto count = word ? positiveCount(*word) : std::nullopt;
    if (!count) return ParseResult<FaultPlan>::failure(usage);
    plan.extraBytes = *count;
  }
  if (f.arguments == Arguments::SecondsAndReplies || f.arguments == Arguments::OptionalSeconds) {
    const auto word = take();
    const auto seconds = word ? duration(*word) : std::optional<double>(0.0);
    if (!seconds || (f.arguments == Arguments::SecondsAndReplies && !word))
      return ParseResult<FaultPlan>::failure(usage);
    plan.seconds = *seconds;
  }
  if (f.arguments != Arguments::Nothing && f.arguments != Arguments::OptionalSeconds && next < words.size()) {
    const auto replies = positiveCount(words[next++]);
    if (!replies) return ParseResult<FaultPlan>::failure(usage);
    plan.replies = *replies;
  }
  if (next != words.size()) return ParseResult<FaultPlan>::failure(usage);
  return {plan, {}};
}

}  // namespace

ParseResult<FaultPlan> parseFault(std::string_view text) {
  const auto words = splitWords(text);
  if (words.empty()) return ParseResult<FaultPlan>::failure("no fault given");
  for (const FaultSyntax& f : kFaults)
    if (f.name == words[0]) return fill(f, words);
  return ParseResult<FaultPlan>::failure("unknown fault \"" + std::string(words[0]) + "\"");
}

std::string describeFault(const FaultPlan& fault) {
  std::string text = "none";
  for (const FaultSyntax& f : kFaults)
    if (f.kind == fault.kind) text = std::string(f.name);
  char number[32];
  if (fault.kind == FaultKind::ExtraBytes) text += " " + std::to_string(fault.extraBytes);
  if (fault.kind == FaultKind::Stall || (fault.kind == FaultKind::Unplug && fault.seconds > 0.0)) {
    std::snprintf(number, sizeof number, " %g", fault.seconds);
    text += number;
  }
  if (fault.replies > 0 && fault.kind != FaultKind::None && fault.kind != FaultKind::Unplug)
    text += " " + std::to_string(fault.replies);
  return text;
}

std::string faultSyntaxHelp() {
  std::string text;
  for (const FaultSyntax& f : kFaults) {
    std::string line = "      " + std::string(f.usage);
    line.resize(std::max<std::size_t>(line.size() + 2, 38), ' ');
    text += line + std::string(f.meaning) + "\n";
  }
  return text;
}

}  // namespace vna
