// The settings file "configu": 26 bytes, little-endian, shared by both
// analyzers. Each program writes only the fields its own screens edit and
// keeps every other byte, so a value set in one program is seen by the other.
//
//   offset size  field
//    0      2    portNumber  int16   n of /dev/ttyUSBn          default 3
//    2      4    arGain      float   A/R gain, linear           default 1.0
//    6      4    arPhase     float   A/R phase, degrees         default 0.0
//   10      4    refR        float   reference load, ohms       default 50.0
//   14      4    clockHz     int32   instrument clock, Hz       default 150000000
//   18      4    refL        float   reference load L, henries  default 0.0
//   22      4    refC        float   reference load C, farads   default 0.0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace vna {

inline constexpr std::size_t kSettingsFileSize = 26;
inline constexpr const char* kSettingsFileName = "configu";
// What the edit screens show when saving their fields failed.
inline constexpr std::string_view kSettingsNotWritten = " Error: the file configu could not be written ";

struct SettingsFile {
  std::int16_t portNumber = 3;
  float arGain = 1.0f;
  float arPhase = 0.0f;
  float refR = 50.0f;
  std::int32_t clockHz = 150000000;
  float refL = 0.0f;
  float refC = 0.0f;

  friend bool operator==(const SettingsFile&, const SettingsFile&) = default;
};

std::array<std::uint8_t, kSettingsFileSize> encodeSettings(const SettingsFile& settings);
SettingsFile decodeSettings(std::span<const std::uint8_t, kSettingsFileSize> bytes);

// The file's fields when it is exactly 26 readable bytes; nothing otherwise.
// Changes nothing on disk (the edit screens read their values through it).
std::optional<SettingsFile> readSettings(const std::filesystem::path& file);

// Start-up load: a file whose length is not 26 bytes (missing, empty, shorter,
// longer) is replaced by a file of defaults. Returns what the file holds (the
// defaults when it had to be replaced or cannot be read).
SettingsFile loadSettings(const std::filesystem::path& file);

// Field writers. Each reads the current 26 bytes (the defaults when the file
// is not 26 bytes), changes only its own fields, and replaces the file through
// a temporary file in the same directory. False when any step failed; the old
// file is then left as it was.
bool writePortNumber(const std::filesystem::path& file, std::int16_t portNumber);
bool writeArAdjustment(const std::filesystem::path& file, float arGain, float arPhase, std::int32_t clockHz);
bool writeReferenceLoad(const std::filesystem::path& file, float refR, float refL, float refC);

// What the program uses in memory: a field whose value would make later
// arithmetic undefined (a clock of 0 Hz or below, a non-finite float) takes
// its default instead. The file itself is left alone.
SettingsFile usableSettings(const SettingsFile& read);

}  // namespace vna
