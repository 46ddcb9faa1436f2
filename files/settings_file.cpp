#include "files/settings_file.h"

#include <bit>
#include <cmath>
#include <fstream>
#include <system_error>

#include "files/atomic_file.h"

namespace vna {
namespace {

using SettingsBytes = std::array<std::uint8_t, kSettingsFileSize>;

// Byte offsets of the fields (one-based positions 1, 3, 7, 11, 15, 19, 23).
constexpr std::size_t kPortNumberAt = 0;
constexpr std::size_t kArGainAt = 2;
constexpr std::size_t kArPhaseAt = 6;
constexpr std::size_t kRefRAt = 10;
constexpr std::size_t kClockHzAt = 14;
constexpr std::size_t kRefLAt = 18;
constexpr std::size_t kRefCAt = 22;

void putLe16(SettingsBytes& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(SettingsBytes& out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

void putFloat(SettingsBytes& out, std::size_t at, float v) { putLe32(out, at, std::bit_cast<std::uint32_t>(v)); }

std::uint16_t getLe16(std::span<const std::uint8_t, kSettingsFileSize> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

std::uint32_t getLe32(std::span<const std::uint8_t, kSettingsFileSize> in, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return v;
}

float getFloat(std::span<const std::uint8_t, kSettingsFileSize> in, std::size_t at) {
  return std::bit_cast<float>(getLe32(in, at));
}

// The file's bytes when it holds exactly 26 and they can be read.
std::optional<SettingsBytes> readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::array<char, kSettingsFileSize + 1> buffer{};
  in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  if (in.bad() || in.gcount() != static_cast<std::streamsize>(kSettingsFileSize)) return std::nullopt;
  SettingsBytes bytes{};
  for (std::size_t i = 0; i < kSettingsFileSize; ++i) bytes[i] = static_cast<std::uint8_t>(buffer[i]);
  return bytes;
}

// Reads the current 26 bytes (the defaults when the file is not 26 bytes),
// lets `change` put the writer's own fields, and replaces the file.
template <typename Change>
bool updateFields(const std::filesystem::path& file, Change change) {
  SettingsBytes bytes = readBytes(file).value_or(encodeSettings(SettingsFile{}));
  change(bytes);
  return saveAtomically(file, bytes).ok();
}

float finiteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

}  // namespace

std::array<std::uint8_t, kSettingsFileSize> encodeSettings(const SettingsFile& s) {
  SettingsBytes out{};
  putLe16(out, kPortNumberAt, static_cast<std::uint16_t>(s.portNumber));  // device number of /dev/ttyUSBn
  putFloat(out, kArGainAt, s.arGain);                                      // A/R gain
  putFloat(out, kArPhaseAt, s.arPhase);                                    // A/R phase, degrees
  putFloat(out, kRefRAt, s.refR);                                          // reference load R, ohms
  putLe32(out, kClockHzAt, static_cast<std::uint32_t>(s.clockHz));         // instrument clock, Hz
  putFloat(out, kRefLAt, s.refL);                                          // reference load L, henries
  putFloat(out, kRefCAt, s.refC);                                          // reference load C, farads
  return out;
}

SettingsFile decodeSettings(std::span<const std::uint8_t, kSettingsFileSize> in) {
  SettingsFile s;
  s.portNumber = static_cast<std::int16_t>(getLe16(in, kPortNumberAt));
  s.arGain = getFloat(in, kArGainAt);
  s.arPhase = getFloat(in, kArPhaseAt);
  s.refR = getFloat(in, kRefRAt);
  s.clockHz = static_cast<std::int32_t>(getLe32(in, kClockHzAt));
  s.refL = getFloat(in, kRefLAt);
  s.refC = getFloat(in, kRefCAt);
  return s;
}

std::optional<SettingsFile> readSettings(const std::filesystem::path& file) {
  const std::optional<SettingsBytes> bytes = readBytes(file);
  if (!bytes) return std::nullopt;
  return decodeSettings(*bytes);
}

SettingsFile loadSettings(const std::filesystem::path& file) {
  if (const std::optional<SettingsFile> held = readSettings(file)) return *held;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  // A file of the right size that cannot be read is not ours to replace.
  if (!ec && size == kSettingsFileSize) return SettingsFile{};
  // A failure leaves the defaults in memory only; the next edit tries again.
  (void)saveAtomically(file, encodeSettings(SettingsFile{}));
  return SettingsFile{};
}

bool writePortNumber(const std::filesystem::path& file, std::int16_t portNumber) {
  return updateFields(file, [&](SettingsBytes& bytes) {
    putLe16(bytes, kPortNumberAt, static_cast<std::uint16_t>(portNumber));
  });
}

bool writeArAdjustment(const std::filesystem::path& file, float arGain, float arPhase, std::int32_t clockHz) {
  return updateFields(file, [&](SettingsBytes& bytes) {
    putFloat(bytes, kArGainAt, arGain);
    putFloat(bytes, kArPhaseAt, arPhase);
    putLe32(bytes, kClockHzAt, static_cast<std::uint32_t>(clockHz));
  });
}

bool writeReferenceLoad(const std::filesystem::path& file, float refR, float refL, float refC) {
  return updateFields(file, [&](SettingsBytes& bytes) {
    putFloat(bytes, kRefRAt, refR);
    putFloat(bytes, kRefLAt, refL);
    putFloat(bytes, kRefCAt, refC);
  });
}

SettingsFile usableSettings(const SettingsFile& read) {
  const SettingsFile defaults;
  SettingsFile s = read;
  // Input A is divided by the gain: 0 would make every point not a number.
  s.arGain = read.arGain > 0 ? finiteOr(read.arGain, defaults.arGain) : defaults.arGain;
  s.arPhase = finiteOr(read.arPhase, defaults.arPhase);
  s.refR = finiteOr(read.refR, defaults.refR);
  s.refL = finiteOr(read.refL, defaults.refL);
  s.refC = finiteOr(read.refC, defaults.refC);
  // The tuning words divide by the clock: 0 or a negative clock has no meaning.
  if (read.clockHz <= 0) s.clockHz = defaults.clockHz;
  return s;
}

}  // namespace vna
