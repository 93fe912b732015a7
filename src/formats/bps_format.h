#pragma once

#include <cstddef>
#include <cstdint>

namespace tbp::bps {

// The footer holds three CRC32s: source, target, and the patch itself.
constexpr std::size_t kFooterSize = 12;
constexpr std::size_t kMinimumFileSize = 16;
constexpr std::uint64_t kMaxTargetSize = 0x4000000;  // 64 MB: larger is no ROM patch

enum Command : std::uint64_t { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };

}  // namespace tbp::bps
