// Running a whole program on the headless backend with a scripted user.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/impedance_analyzer.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "platform/serial_port.h"

namespace vna::testing {

// A fresh working directory per test, removed afterwards.
class WorkDirectory {
 public:
  WorkDirectory();
  ~WorkDirectory();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path settings() const { return path_ / "configu"; }

 private:
  std::filesystem::path path_;
};

// A port that is not there: the real serial port on a device path that does
// not exist.
inline ChannelFactory noInstrument() {
  return [](int) -> std::unique_ptr<SerialChannel> {
    return std::make_unique<SerialPort>("/nonexistent/ttyUSB3");
  };
}

// Panel cells from column 101 to 128 of a row, as shown.
std::string panelRow(const Screen& screen, int row);

// Pixel coordinates of the middle of a text cell.
inline int cellX(int column) { return (column - 1) * 8 + 4; }
inline int cellY(int row) { return (row - 1) * 16 + 8; }

}  // namespace vna::testing
