// A working directory whose "configu" names the serial port an analyzer
// under test is to open.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "files/settings_file.h"
#include "tests/e2e/e2e_harness.h"

namespace vna::e2e {

inline ProgramRun::Prepare settingsForPort(int port) {
  return [port](const std::string& workDir) {
    ASSERT_TRUE(writePortNumber(std::filesystem::path(workDir) / kSettingsFileName, static_cast<std::int16_t>(port)));
  };
}

}  // namespace vna::e2e
