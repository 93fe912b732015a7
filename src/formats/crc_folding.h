#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Reflected CRCs (CRC-32, CRC-16/ARC) folded sixteen bytes at a time with the processor's
// carry-less multiply: the long middle of a buffer is reduced to one 16-byte value that has the
// same CRC as everything it stands for, and the table-driven code finishes that value and the
// tail. Four blocks fold side by side, so a buffer of megabytes costs a fraction of the tables.
namespace tbp::detail {

// The multipliers for one polynomial: x^e mod P for the distances folded over, each as a
// 64-bit lane in the reflected order of the data (bit j holds the coefficient of x^(63-j)).
struct CrcFoldConstants {
  std::uint64_t fourHigh, fourLow;  // folding over 512 bits
  std::uint64_t oneHigh, oneLow;    // folding over 128 bits
};

// The constants of the CRC of this width whose polynomial, without its top term, is
// `polynomial` in the usual (not reflected) notation, e.g. 0x04C11DB7 for CRC-32.
CrcFoldConstants crcFoldConstants(unsigned width, std::uint64_t polynomial);

// True when this processor has the carry-less multiply.
bool crcFoldingAvailable();

// The shortest buffer worth folding.
inline constexpr std::size_t kCrcFoldMinimum = 256;

// Folds data (at least kCrcFoldMinimum bytes), whose CRC register starts at `initial` (in
// reflected order, as the table code keeps it), into `folded`: the CRC of the 16 bytes of
// `folded`, from a register of 0, followed by data[consumed..], is the CRC of all of data.
// Returns `consumed`, a multiple of 16.
std::size_t foldCrc(const std::uint8_t* data, std::size_t length, std::uint32_t initial,
                    const CrcFoldConstants& constants, std::array<std::uint8_t, 16>& folded);

}  // namespace tbp::detail
