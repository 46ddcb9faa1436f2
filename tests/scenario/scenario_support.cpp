#include "scenario_support.h"

#include <atomic>
#include <unistd.h>

namespace vna::testing {

WorkDirectory::WorkDirectory() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vna-scenario-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

WorkDirectory::~WorkDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string panelRow(const Screen& screen, int row) { return screen.textAt(row, 101, 28); }

}  // namespace vna::testing
