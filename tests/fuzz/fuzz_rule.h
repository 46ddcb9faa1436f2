// A harness's rule broke: say which (and in which case, where a harness checks
// several), then stop the run with __builtin_trap so that libFuzzer keeps the
// input and a replayed crash file names the rule.
#pragma once

#include <cstdio>
#include <string>

[[noreturn]] inline void brokenRule(const char* harness, const std::string& where, const char* rule) {
  std::fprintf(stderr, "%s: %s%s%s\n", harness, where.c_str(), where.empty() ? "" : ": ", rule);
  __builtin_trap();
}
