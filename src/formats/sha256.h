#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tbp {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The compression routines: the portable one runs everywhere; the SHA extensions one is used
// when the processor reports the SHA instructions. Both must give identical digests.
enum class Sha256Engine { Portable, ShaExtensions };

// True when this processor can run the SHA extensions engine.
bool sha256ExtensionsAvailable();

// SHA-256 (FIPS 180-4) with the fastest engine available.
Sha256Digest sha256(const std::uint8_t* data, std::size_t length);

// SHA-256 with a chosen engine; ShaExtensions falls back to Portable where it is unavailable.
Sha256Digest sha256With(Sha256Engine engine, const std::uint8_t* data, std::size_t length);

namespace detail {
using Sha256State = std::array<std::uint32_t, 8>;
// The 64 round constants K of FIPS 180-4.
extern const std::uint32_t kSha256RoundConstants[64];
// Each compresses `blocks` consecutive 64-byte blocks into state.
void sha256CompressPortable(Sha256State& state, const std::uint8_t* data, std::size_t blocks);
void sha256CompressExtensions(Sha256State& state, const std::uint8_t* data, std::size_t blocks);
}  // namespace detail

}  // namespace tbp
