#pragma once

#include <cstdint>
#include <string>

#include "formats/bytes.h"

namespace tbp::testkit {

// The header variants NES dumps come with.
enum class NesHeaderKind {
  Ines,       // classic iNES: mapper in bytes 6 and 7, bytes 8-15 zero
  Nes20,      // NES 2.0: byte 7 bits 2-3 = 10b, mapper bits 8-11 in byte 8
  RipperTag,  // old iNES header with a ripping tool's text over bytes 7-15
  Trainer,    // iNES with the trainer flag and a 512-byte trainer before the program
  Headerless  // program and graphics only, no 16-byte header
};

struct NesRomOptions {
  int prgBanks = 2;     // 16 KB program banks, 1..255
  int chrBanks = 1;     // 8 KB graphics banks, 0..255
  unsigned mapper = 0;  // Ines/Trainer: 0..255, Nes20: 0..4095, RipperTag: 0..15
  NesHeaderKind header = NesHeaderKind::Ines;
  std::uint32_t seed = 1;  // program and graphics bytes are a pure function of the seed
  bool verticalMirroring = true;
  bool battery = false;
  std::string ripperTag = "DiskDude!";  // written into bytes 7-15 for RipperTag, at most 9 bytes
};

// Offsets inside a built NES file, so tests can address its parts.
inline constexpr std::size_t kInesHeaderSize = 16;
inline constexpr std::size_t kTrainerSize = 512;
inline constexpr std::size_t kPrgBankSize = 16384;
inline constexpr std::size_t kChrBankSize = 8192;

// An NES ROM file with deterministic program banks that look like 6502 code (with the reset,
// NMI and IRQ vectors at the end of the last bank) and graphics banks of tile data.
// Throws std::invalid_argument for counts or a mapper the chosen header cannot hold.
tbp::Bytes makeNesRom(const NesRomOptions& options = {});

// The 16-byte header makeNesRom writes for these options (empty for Headerless).
tbp::Bytes makeInesHeader(const NesRomOptions& options);

// The program banks and graphics banks alone (the file without header and trainer).
tbp::Bytes makeNesProgram(const NesRomOptions& options);
tbp::Bytes makeNesGraphics(const NesRomOptions& options);

}  // namespace tbp::testkit
