#include "tests/faults/save_kinds.h"

#include <cmath>
#include <complex>
#include <optional>
#include <vector>

#include "analyzer/calibration_file.h"
#include "files/bmp_writer.h"
#include "files/settings_file.h"
#include "files/touchstone_writer.h"
#include "platform/framebuffer.h"

namespace vna::faults {
namespace {

namespace fs = std::filesystem;

constexpr int kPoints = 801;
constexpr std::string_view kNames[] = {"s1p", "s2p-merge", "bmp", "reference-load", "adjustment", "calibration"};

SweepPlan plan801() {
  SweepPlan plan;
  plan.points = kPoints;
  return plan;
}

// A resonance whose depth and place differ between the two versions, so
// that every data line differs.
std::vector<TouchstonePoint> scan(int version) {
  const SweepPlan plan = plan801();
  std::vector<TouchstonePoint> points;
  for (int i = 0; i < kPoints; ++i) {
    const double x = i / double(kPoints) - (version ? 0.3 : 0.6);
    points.push_back({pointFrequency(plan, i), -1.5 - (version ? 30 : 12) / (1 + 400 * x * x),
                      std::atan(20 * x) * 57.29577951308232});
  }
  return points;
}

std::vector<std::complex<double>> standard(int version, double scale) {
  std::vector<std::complex<double>> ratios;
  for (int i = 0; i < kPoints; ++i)
    ratios.push_back(std::polar(scale * (1 - 0.0003 * i), (version ? 0.002 : -0.003) * i + scale));
  return ratios;
}

}  // namespace

struct Saver::Data {
  std::array<std::vector<TouchstonePoint>, 2> points;
  std::array<std::optional<Framebuffer>, 2> screens;
  std::array<Calibration, 2> calibrations;
};

std::string_view kindName(SaveKind kind) { return kNames[static_cast<int>(kind)]; }

bool kindFromName(std::string_view name, SaveKind& kind) {
  for (SaveKind k : kAllSaveKinds)
    if (kindName(k) == name) return kind = k, true;
  return false;
}

std::string targetName(SaveKind kind) {
  switch (kind) {
    case SaveKind::s1p: return "meas.s1p";
    case SaveKind::s2pMerge: return "meas.s2p";
    case SaveKind::bmp: return "shot.bmp";
    case SaveKind::referenceLoad:
    case SaveKind::adjustment: return kSettingsFileName;
    case SaveKind::calibration: return "cal.txt";
  }
  return {};
}

void prepareFolder(SaveKind kind, const fs::path& folder) {
  if (kind == SaveKind::s2pMerge) {
    (void)saveS2p(folder / targetName(kind), FileOrigin::transmissionAnalyzer, ParameterSlot::s11, scan(1));
  } else if (kind == SaveKind::referenceLoad || kind == SaveKind::adjustment) {
    SettingsFile s;
    s.portNumber = 7;
    s.arGain = 1.125f;
    s.arPhase = -2.5f;
    s.refR = 49.5f;
    s.clockHz = 150000123;
    s.refL = 1e-9f;
    s.refC = 2e-12f;
    (void)saveAtomically(folder / kSettingsFileName, encodeSettings(s));
  }
}

Saver::Saver(SaveKind kind) : kind_(kind), data_(new Data) {
  for (int v = 0; v < 2; ++v) {
    data_->points[v] = scan(v);
    Framebuffer& fb = data_->screens[v].emplace();
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x)
        fb.setPixel(0, x, y, static_cast<std::uint8_t>((x / (v ? 8 : 16) + y / 16 + v) % 16));
    fb.setPaletteEntry(7, v ? Rgb{255, 255, 255} : Rgb{192, 192, 192});
    Calibration& c = data_->calibrations[v];
    c.plan = plan801();
    c.open = standard(v, 1.0);
    c.shortCircuit = standard(v, -0.98);
    c.load = standard(v, 0.02);
    c.through = standard(v, 0.5);
  }
}

Saver::~Saver() { delete data_; }

SaveResult Saver::save(const fs::path& folder, int version) const {
  const fs::path file = folder / targetName(kind_);
  const auto v = static_cast<std::size_t>(version);
  switch (kind_) {
    case SaveKind::s1p: return saveS1p(file, data_->points[v]);
    case SaveKind::s2pMerge: return mergeS2pFile(file, ParameterSlot::s21, data_->points[v]);
    case SaveKind::bmp: return saveBmp(file, *data_->screens[v], 0);
    case SaveKind::referenceLoad:
      return writeReferenceLoad(file, version ? 75.0f : 33.0f, version ? 2e-9f : 0.0f, version ? 0.0f : 5e-12f)
                 ? SaveResult::success()
                 : SaveResult::failure("configu could not be written");
    case SaveKind::adjustment:
      return writeArAdjustment(file, version ? 1.02f : 0.97f, version ? 1.5f : -0.75f, version ? 149999000 : 150001000)
                 ? SaveResult::success()
                 : SaveResult::failure("configu could not be written");
    case SaveKind::calibration: return saveCalibration(file, data_->calibrations[v]);
  }
  return SaveResult::failure("no such kind");
}

}  // namespace vna::faults
