#include "files/measurement_files.h"

#include "display/layout.h"
#include "files/bmp_writer.h"
#include "files/save_as_dialog.h"

namespace vna {

bool MeasurementFiles::saveMeasure(Screen& screen, ClickLatch& latch) {
  SaveAsRequest request;
  request.table = &saveAs_;
  request.directory = directory_;
  request.points = [this] {
    std::vector<TouchstonePoint> points;
    for (int i = 0; i < state_.plan.points; ++i) points.push_back(pointDbAngle_(i));
    return points;
  };
  const SaveAsResult result = saveAsDialog(screen, latch, request);
  state_.fileName = result.name;
  copyFile_ = result.bmpRequested() ? result.file : std::filesystem::path();
  return result.bmpRequested();
}

bool MeasurementFiles::copyScreen(Screen& screen) {
  const SaveResult saved = saveBmp(copyFile_, screen.framebuffer(), kVisiblePage);
  if (saved.ok()) return true;
  showSaveFailure(screen, saved.reason(), saved.detail());
  return false;
}

}  // namespace vna
