#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tbp {

// Every ROM, patch, file body and glyph passes through the program as one of these.
using Bytes = std::vector<std::uint8_t>;

// Sizes as ROM and file sizes are counted: binary kilobytes and megabytes.
inline constexpr std::size_t kKilobyte = 1024;
inline constexpr std::size_t kMegabyte = 1024 * 1024;

}  // namespace tbp
