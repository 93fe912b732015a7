#include "support/nes_builder.h"

#include <array>
#include <stdexcept>

#include "support/random.h"

namespace tbp::testkit {
namespace {

// A few common 6502 instructions with their lengths, so generated banks read as code.
struct Instruction {
  std::uint8_t opcode;
  int length;
};
constexpr std::array<Instruction, 24> kInstructions{{
    {0xA9, 2}, {0xAD, 3}, {0x8D, 3}, {0x85, 2}, {0xA5, 2}, {0xA2, 2}, {0xA0, 2}, {0xE8, 1},
    {0x88, 1}, {0x20, 3}, {0xD0, 2}, {0xF0, 2}, {0xC9, 2}, {0x29, 2}, {0x09, 2}, {0x18, 1},
    {0x69, 2}, {0xAA, 1}, {0x48, 1}, {0x68, 1}, {0xEE, 3}, {0x4A, 1}, {0x0A, 1}, {0xBD, 3},
}};

// Start of the reset routine, the NMI handler and the IRQ handler in the last bank ($C000 up).
constexpr std::size_t kResetAt = 0x0000;
constexpr std::size_t kNmiAt = 0x0100;
constexpr std::size_t kIrqAt = 0x01F0;
constexpr std::size_t kVectorsAt = 0x3FFA;
// Real banks end in a short run of unused 0xFF bytes before the vectors.
constexpr std::size_t kPaddingBytes = 0xC0;

void validate(const NesRomOptions& o) {
  if (o.prgBanks < 1 || o.prgBanks > 255) throw std::invalid_argument("prgBanks must be 1..255");
  if (o.chrBanks < 0 || o.chrBanks > 255) throw std::invalid_argument("chrBanks must be 0..255");
  const unsigned limit = o.header == NesHeaderKind::Nes20       ? 4095u
                         : o.header == NesHeaderKind::RipperTag ? 15u
                                                                : 255u;
  if (o.mapper > limit) throw std::invalid_argument("mapper does not fit this header kind");
  if (o.ripperTag.size() > 9) throw std::invalid_argument("a ripper tag has at most 9 bytes");
}

// An absolute operand: work RAM, PPU/APU registers or the program itself.
void writeAbsolute(Random& random, tbp::Bytes& out, std::size_t at) {
  const std::uint32_t pick = random.below(4);
  const std::uint16_t address = pick == 0 ? static_cast<std::uint16_t>(0x2000 + random.below(8))
                                : pick == 1
                                    ? static_cast<std::uint16_t>(0x0200 + random.below(0x600))
                                    : static_cast<std::uint16_t>(0x8000 + random.below(0x8000));
  out[at] = static_cast<std::uint8_t>(address & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(address >> 8);
}

// Fills [begin, end) with routines of random instructions, each ending in RTS, followed by a
// data table of small values, the way real banks mix code and data.
void writeCode(Random& random, tbp::Bytes& out, std::size_t begin, std::size_t end) {
  const std::size_t tableStart = end - (end - begin) / 5;
  std::size_t at = begin;
  while (at + 4 <= tableStart) {
    const Instruction& ins = kInstructions[random.below(kInstructions.size())];
    out[at] = ins.opcode;
    if (ins.length == 2) out[at + 1] = static_cast<std::uint8_t>(random.next());
    if (ins.length == 3) writeAbsolute(random, out, at + 1);
    at += static_cast<std::size_t>(ins.length);
    if (random.below(12) == 0) out[at++] = 0x60;  // RTS
  }
  for (; at < end; ++at) out[at] = static_cast<std::uint8_t>(random.below(0x40));
}

void writeWord(tbp::Bytes& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// The fixed bank: reset and interrupt handlers at its start, vectors at its end.
void writeFixedBank(tbp::Bytes& bank) {
  constexpr std::array<std::uint8_t, 12> reset{0x78, 0xD8, 0xA2, 0xFF, 0x9A, 0xE8,
                                               0x8E, 0x00, 0x20, 0x4C, 0x09, 0xC0};
  constexpr std::array<std::uint8_t, 8> nmi{0x48, 0x8A, 0x48, 0xE6, 0x10, 0x68, 0xAA, 0x68};
  for (std::size_t i = 0; i < reset.size(); ++i) bank[kResetAt + i] = reset[i];
  for (std::size_t i = 0; i < nmi.size(); ++i) bank[kNmiAt + i] = nmi[i];
  bank[kNmiAt + nmi.size()] = 0x40;  // RTI
  bank[kIrqAt] = 0x40;               // RTI
  for (std::size_t i = kVectorsAt - kPaddingBytes; i < kVectorsAt; ++i) bank[i] = 0xFF;
  writeWord(bank, kVectorsAt, static_cast<std::uint16_t>(0xC000 + kNmiAt));
  writeWord(bank, kVectorsAt + 2, static_cast<std::uint16_t>(0xC000 + kResetAt));
  writeWord(bank, kVectorsAt + 4, static_cast<std::uint16_t>(0xC000 + kIrqAt));
}

}  // namespace

tbp::Bytes makeInesHeader(const NesRomOptions& o) {
  validate(o);
  if (o.header == NesHeaderKind::Headerless) return {};
  tbp::Bytes h{0x4E, 0x45, 0x53, 0x1A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  h[4] = static_cast<std::uint8_t>(o.prgBanks);
  h[5] = static_cast<std::uint8_t>(o.chrBanks);
  h[6] =
      static_cast<std::uint8_t>((o.mapper & 0x0F) << 4 | (o.verticalMirroring ? 1 : 0) |
                                (o.battery ? 2 : 0) | (o.header == NesHeaderKind::Trainer ? 4 : 0));
  if (o.header == NesHeaderKind::RipperTag) {
    for (std::size_t i = 0; i < o.ripperTag.size(); ++i)
      h[7 + i] = static_cast<std::uint8_t>(o.ripperTag[i]);
    return h;
  }
  h[7] = static_cast<std::uint8_t>(o.mapper & 0xF0);
  if (o.header == NesHeaderKind::Nes20) {
    h[7] |= 0x08;
    h[8] = static_cast<std::uint8_t>((o.mapper >> 8) & 0x0F);
  }
  return h;
}

tbp::Bytes makeNesProgram(const NesRomOptions& o) {
  validate(o);
  tbp::Bytes program(static_cast<std::size_t>(o.prgBanks) * kPrgBankSize, 0);
  for (int b = 0; b < o.prgBanks; ++b) {
    Random random(o.seed, 0x5000u + static_cast<std::uint32_t>(b));
    tbp::Bytes bank(kPrgBankSize, 0);
    const bool last = b == o.prgBanks - 1;
    writeCode(random, bank, last ? 0x200 : 0, last ? kVectorsAt - kPaddingBytes : kPrgBankSize);
    if (last) writeFixedBank(bank);
    std::copy(bank.begin(), bank.end(), program.begin() + static_cast<long>(b * kPrgBankSize));
  }
  return program;
}

tbp::Bytes makeNesGraphics(const NesRomOptions& o) {
  validate(o);
  tbp::Bytes chr(static_cast<std::size_t>(o.chrBanks) * kChrBankSize, 0);
  Random random(o.seed, 0xC000u);
  // Tiles of 16 bytes (two bit planes); about one tile in eight is blank, as in real games.
  for (std::size_t tile = 0; tile < chr.size(); tile += 16) {
    if (random.below(8) == 0) continue;
    const std::uint8_t shape = static_cast<std::uint8_t>(random.next());
    for (std::size_t row = 0; row < 8; ++row) {
      chr[tile + row] = static_cast<std::uint8_t>(shape ^ random.below(0x100));
      chr[tile + 8 + row] = static_cast<std::uint8_t>(chr[tile + row] & random.below(0x100));
    }
  }
  return chr;
}

tbp::Bytes makeNesRom(const NesRomOptions& o) {
  tbp::Bytes file = makeInesHeader(o);
  if (o.header == NesHeaderKind::Trainer) {
    Random random(o.seed, 0x7000u);
    for (std::size_t i = 0; i < kTrainerSize; ++i)
      file.push_back(static_cast<std::uint8_t>(random.next()));
  }
  const tbp::Bytes program = makeNesProgram(o);
  const tbp::Bytes graphics = makeNesGraphics(o);
  file.insert(file.end(), program.begin(), program.end());
  file.insert(file.end(), graphics.begin(), graphics.end());
  return file;
}

}  // namespace tbp::testkit
