#include "simulator/control_commands.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>

#include "simulator/command_text.h"
#include "simulator/device_syntax.h"

namespace vna {
namespace {

ControlReply failure(std::string why) {
  return {false, std::move(why), false};
}

ControlReply done(std::string what) {
  return {true, std::move(what), false};
}

std::optional<bool> onOff(std::string_view word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

// A command that sets one number, checked against its range.
ControlReply setNumber(std::string_view name, std::string_view argument, double low, double high, double& target) {
  const auto value = parseSiValue(argument);
  if (!value || *value < low || *value > high)
    return failure(std::string(name) + " needs a value from " + formatSiValue(low) + " to " + formatSiValue(high));
  target = *value;
  return done(std::string(name) + " " + formatSiValue(*value));
}

ControlReply setSwitch(std::string_view name, std::string_view argument, const std::function<void(bool)>& set) {
  const auto on = onOff(argument);
  if (!on) return failure(std::string(name) + " needs on or off");
  set(*on);
  return done(std::string(name) + (*on ? " on" : " off"));
}

ControlReply setDevice(std::string_view argument, InstrumentModel& model) {
  const ParseResult<Device> parsed = parseDevice(argument);
  if (!parsed.value) return failure(parsed.error);
  model.setDevice(*parsed.value);
  return done("device " + describeDevice(*parsed.value));
}

ControlReply setFault(std::string_view argument, InstrumentModel& model, double now) {
  const ParseResult<FaultPlan> parsed = parseFault(argument);
  if (!parsed.value) return failure(parsed.error);
  model.setFault(*parsed.value, now);
  return done("fault " + describeFault(*parsed.value));
}

constexpr std::array<std::string_view, 8> kSettings{"noise", "ar-gain",     "ar-phase", "level",
                                                    "clock", "compression", "errors",   "log"};

bool isSetting(std::string_view command) {
  return std::find(kSettings.begin(), kSettings.end(), command) != kSettings.end();
}

ControlReply setting(std::string_view command, std::string_view argument, InstrumentModel& model) {
  InstrumentSettings& s = model.settings();
  if (command == "noise") return setNumber(command, argument, 0.0, 1.0e7, s.noiseCounts);
  if (command == "ar-gain") return setNumber(command, argument, 0.01, 100.0, s.arGain);
  if (command == "ar-phase") return setNumber(command, argument, -360.0, 360.0, s.arPhaseDegrees);
  if (command == "level") return setNumber(command, argument, -100.0, 20.0, s.referenceLevelDbm);
  if (command == "clock") return setNumber(command, argument, 1.0e6, 1.0e9, s.clockHz);
  if (command == "compression") return setSwitch(command, argument, [&s](bool on) { s.compression = on; });
  if (command == "errors")
    return setSwitch(command, argument,
                     [&s](bool on) { s.pathErrors = on ? PathErrors::Realistic : PathErrors::None; });
  if (command == "log") return setSwitch(command, argument, [&model](bool on) { model.setLogging(on); });
  return failure("unknown command \"" + std::string(command) + "\" (try help)");
}

}  // namespace

ControlReply applyControlLine(std::string_view line, InstrumentModel& model, double now) {
  const auto words = splitWords(line);
  if (words.empty() || words[0].front() == '#') return done("");
  const std::string_view command = words[0];
  const std::size_t restStart = line.find(command) + command.size();
  const std::string_view rest = line.substr(restStart);
  if (command == "quit" || command == "exit") return {true, "", true};
  if (command == "help") return done(controlHelp());
  if (command == "status") return done(describeStatus(model, now));
  if (command == "device") return setDevice(rest, model);
  if (command == "fault") return setFault(rest, model, now);
  if (!isSetting(command)) return failure("unknown command \"" + std::string(command) + "\" (try help)");
  if (words.size() != 2) return failure("usage: " + std::string(command) + " VALUE (try help)");
  return setting(command, words[1], model);
}

std::string controlHelp() {
  return "Commands, one per line:\n"
         "  device SPEC          what is connected, SPEC one of:\n" +
         deviceSyntaxHelp() + "  fault SPEC           misbehave, SPEC one of:\n" + faultSyntaxHelp() +
         "  noise COUNTS         converter noise, rms 24-bit counts per sample\n"
         "  ar-gain G            input A's gain relative to input R\n"
         "  ar-phase DEGREES     input A's phase relative to input R\n"
         "  level DBM            level at input R\n"
         "  clock HZ             the generators' reference clock\n"
         "  compression on|off   detector compression\n"
         "  errors on|off        bridge and transmission path errors\n"
         "  log on|off           log every exchange on standard error\n"
         "  status               device, fault and frequency\n"
         "  quit                 end the simulator\n"
         "Values take SI prefixes: 100p, 4.7k, 10n, 1.5M.\n";
}

std::string describeStatus(const InstrumentModel& model, double now) {
  const std::string fault = model.present(now) ? describeFault(model.fault()) : "unplug";
  return formatted("device %s; fault %s; generators at %.3f Hz; %d resets, %d acquisitions",
                   describeDevice(model.device()).c_str(), fault.c_str(), model.activeFrequency(), model.resets(),
                   model.acquisitions());
}

}  // namespace vna
