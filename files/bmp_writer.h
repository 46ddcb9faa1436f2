// Screen copies as uncompressed 8-bit Windows bitmaps: the 1024 x 768 page
// of palette indices with the 256-entry palette in force, always 787510
// bytes, readable by any image program. Written without an image library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "files/atomic_file.h"
#include "platform/framebuffer.h"

namespace vna {

inline constexpr std::size_t kBmpPixelCount = static_cast<std::size_t>(kScreenWidth) * kScreenHeight;
inline constexpr std::size_t kBmpHeadersSize = 14 + 40;  // file header + information header
inline constexpr std::size_t kBmpPaletteSize = 256 * 4;
inline constexpr std::size_t kBmpPixelOffset = kBmpHeadersSize + kBmpPaletteSize;  // 1078
inline constexpr std::size_t kBmpFileSize = kBmpPixelOffset + kBmpPixelCount;      // 787510

using Palette = std::array<Rgb, 256>;

// `pixels` holds the page top row first, as the screen has it; the file
// stores the bottom row first.
std::vector<std::uint8_t> bmpContent(std::span<const std::uint8_t, kBmpPixelCount> pixels, const Palette& palette);

// The file of one page of the framebuffer with its current palette.
std::vector<std::uint8_t> bmpOfPage(const Framebuffer& framebuffer, int page);

// Replaces `file` only once the whole picture is written (see atomic_file.h).
SaveResult saveBmp(const std::filesystem::path& file, const Framebuffer& framebuffer, int page);

}  // namespace vna
