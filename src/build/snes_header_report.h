#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/bytes.h"
#include "port/port_image.h"

namespace tbp {

// Where a cartridge keeps its internal header: the three layouts header checkers look at.
enum class SnesMapping { LoRom, HiRom, ExHiRom };
std::string mappingName(SnesMapping mapping);  // "LoROM", "HiROM", "ExHiROM"

// One place a header could be, and how well its fields fit that layout.
struct HeaderCandidate {
  SnesMapping mapping = SnesMapping::LoRom;
  std::size_t offset = 0;  // of the header, in the image without copier header
  int score = 0;
};

// Everything about an SNES ROM's internal header, for any SNES ROM, port or not.
struct SnesHeaderReport {
  bool copierHeader = false;  // 512 bytes in front of a whole number of kilobytes
  std::size_t imageSize = 0;  // without the copier header
  std::vector<HeaderCandidate> candidates;  // those inside the image, in layout order
  bool found = false;                       // some candidate exists
  HeaderCandidate chosen;                   // the best score; the earlier layout on a tie
  bool plausible = false;  // the chosen header's fields look like a header at all (score 6+)
  SnesHeader header;
  std::string mapMode;    // describeMapMode
  std::string cartridge;  // describeCartridge
  std::string region;     // describeRegion
  std::uint64_t declaredRomKb = 0;  // 2^code KB; 0 when the code names no size
  std::uint64_t declaredRamKb = 0;  // 0 for none
  bool romSizeFits = false;  // the file is no larger than declared and more than half of it
  std::uint16_t rightChecksum = 0;
  std::uint16_t rightComplement = 0;
  bool checksumValid = false;
};

// The report on file as read (a copier header is recognised and skipped).
SnesHeaderReport snesHeaderReport(const Bytes& file);

// A copier adds 512 bytes in front of a ROM. A port file carries them when its size is a whole
// number of 32 KB banks and 512 bytes; the port is read from the bytes after them.
inline constexpr std::size_t kCopierHeaderSize = 512;
inline constexpr bool hasPortCopierHeader(std::size_t fileSize) {
  return fileSize % 0x8000 == kCopierHeaderSize;
}

}  // namespace tbp
