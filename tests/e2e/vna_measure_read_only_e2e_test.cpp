// vna-measure calibrating in a folder its user cannot write: the real
// program as a user who is not root, against the real simulator. The folder
// is found unwritable before the sweep: the message says why, the exit
// status is 5, the instrument measured nothing, and the folder is as it was
// (the existing calibration file byte for byte, no new one, no temporary
// file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/faults/read_only_folder.h"

namespace vna::e2e {
namespace {

namespace fs = std::filesystem;
using faults::ReadOnlyFolder;
using faults::runUnprivileged;

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(VnaMeasureReadOnlyFolder, ACalibrationThatCannotBeSavedSaysWhyWithStatus5AndChangesNothing) {
  const std::string missing = missingTools({"Xvfb", "setpriv"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh installs it)";
  if (::geteuid() != 0) GTEST_SKIP() << "linking /dev/ttyUSB<n> to the simulator needs root";
  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  SimulatedInstrument instrument(display, "open");
  ASSERT_TRUE(instrument.ready()) << instrument.error();
  // On a real instrument the user is in the group of the port; here the
  // simulator's terminal belongs to root, so it is opened to everyone.
  const fs::path terminal = fs::canonical("/dev/ttyUSB" + std::to_string(instrument.port()));
  ASSERT_EQ(::chmod(terminal.c_str(), 0666), 0) << terminal;
  const std::vector<std::string> plan = {"--port", std::to_string(instrument.port()), "--from", "1k", "--to", "10M",
                                         "--points", "51", "--log", "--quiet"};
  const auto with = [&plan](std::vector<std::string> args) {
    args.insert(args.end(), plan.begin(), plan.end());
    return args;
  };

  // The open measured where the user could still write.
  char scratch[] = "/tmp/vna-calibration-XXXXXX";
  ASSERT_NE(::mkdtemp(scratch), nullptr);
  ::chmod(scratch, 0777);
  const faults::CommandOutcome open =
      runUnprivileged(programPath("vna-measure"), with({"calibrate", "open", "--cal", "cal.txt"}), scratch);
  const std::string withOpen = bytesOf(fs::path(scratch) / "cal.txt");
  fs::remove_all(scratch);
  ASSERT_EQ(open.status, 0) << open.output;
  ASSERT_NE(withOpen.find("standard open"), std::string::npos);

  ReadOnlyFolder folder({{"cal.txt", withOpen}});
  ASSERT_TRUE(instrument.connect("short"));
  const std::optional<long> before = instrument.acquisitions();
  const faults::CommandOutcome shortStandard =
      runUnprivileged(programPath("vna-measure"), with({"calibrate", "short", "--cal", "cal.txt"}), folder.path());
  EXPECT_EQ(shortStandard.status, 5) << shortStandard.output;
  EXPECT_NE(shortStandard.output.find("the current folder is not writable (Permission denied)"), std::string::npos)
      << shortStandard.output;

  // A calibration file begun there fails the same way and leaves no file.
  ASSERT_TRUE(instrument.connect("open"));
  const faults::CommandOutcome fresh =
      runUnprivileged(programPath("vna-measure"), with({"calibrate", "open", "--cal", "new.txt"}), folder.path());
  EXPECT_EQ(fresh.status, 5) << fresh.output;
  EXPECT_EQ(fresh.output, shortStandard.output);
  EXPECT_EQ(instrument.acquisitions(), before);
  EXPECT_EQ(folder.changes(), "");
}

}  // namespace
}  // namespace vna::e2e
