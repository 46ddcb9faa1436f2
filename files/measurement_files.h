// Saving what an analyzer measured: the Save As dialog with the program's
// file kinds, and the copy of the screen it may ask for.
#pragma once

#include <filesystem>
#include <functional>

#include "display/click_latch.h"
#include "display/program_hooks.h"
#include "files/save_as_dialog.h"
#include "files/touchstone_writer.h"
#include "measurement/measurement_state.h"
#include "platform/screen.h"

namespace vna {

class MeasurementFiles : public MeasurementOutput {
 public:
  // `pointDbAngle` gives the saved value of point i as the file holds it.
  MeasurementFiles(const SaveAsTable& saveAs, MeasurementState& state, std::filesystem::path directory,
                   std::function<TouchstonePoint(int i)> pointDbAngle)
      : saveAs_(saveAs), state_(state), directory_(std::move(directory)), pointDbAngle_(std::move(pointDbAngle)) {}

  // The Save As dialog with the program's file kinds; true when the user
  // asked for a copy of the screen, which copyScreen then makes once the
  // caller has redrawn its screen.
  bool saveMeasure(Screen& screen, ClickLatch& latch) override;
  // Writes the shown page as the BMP the dialog named; false (after saying
  // why on the screen) when it could not be written.
  bool copyScreen(Screen& screen) override;

 private:
  const SaveAsTable& saveAs_;
  MeasurementState& state_;
  std::filesystem::path directory_;
  std::function<TouchstonePoint(int)> pointDbAngle_;
  std::filesystem::path copyFile_;
};

}  // namespace vna
