// NES Game Genie codes: decoding, and writing them into the port's copies of the NES program.
#include "port/game_genie.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace tbp {

namespace {

constexpr std::size_t bankSize = 16384;
constexpr std::size_t windowStep = 4096;
constexpr std::size_t sampleStep = 16;
constexpr std::size_t sampleCount = bankSize / sampleStep;  // 1024
constexpr std::size_t sampleMisses = sampleCount / 16;      // 15/16 must agree
constexpr std::size_t byteMisses = bankSize / 16;
constexpr std::size_t inesHeaderSize = 16;
constexpr std::size_t trainerSize = 512;
constexpr char alphabet[] = "APZLGITYEOXUKSVN";

// The NES program inside an NES file (header and trainer skipped), or the data whole when it
// carries no iNES header.
struct ProgramView {
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
};

ProgramView nesProgram(const Bytes& nes) {
  const bool headed = nes.size() >= inesHeaderSize && nes[0] == 'N' && nes[1] == 'E' &&
                      nes[2] == 'S' && nes[3] == 0x1A;
  if (!headed) {
    return {nes.data(), nes.size()};
  }
  const std::size_t skip = inesHeaderSize + ((nes[6] & 0x04) != 0 ? trainerSize : 0);
  if (skip >= nes.size()) {
    return {};
  }
  const std::size_t declared = static_cast<std::size_t>(nes[4]) * bankSize;
  return {nes.data() + skip, std::min(nes.size() - skip, declared)};
}

bool bankIsEmpty(const std::uint8_t* bank) {
  std::size_t blank = 0;
  for (std::size_t i = 0; i < bankSize; i += sampleStep) {
    blank += bank[i] == 0xFF ? 1 : 0;
  }
  return blank >= sampleCount - sampleMisses;
}

// True when a and b differ at no more than `allowed` of the bank positions 0, step, 2 * step...
bool mostlyEqual(const std::uint8_t* a, const std::uint8_t* b, std::size_t step,
                 std::size_t allowed) {
  std::size_t misses = 0;
  for (std::size_t i = 0; i < bankSize; i += step) {
    if (a[i] != b[i] && ++misses > allowed) {
      return false;
    }
  }
  return true;
}

// 4 KB-aligned windows of the image holding a copy of the bank, in ascending order. Windows
// overlapping [excludeFrom, excludeTo) (the embedded NES file) are left out.
std::vector<std::size_t> findCopies(const Bytes& image, const std::uint8_t* bank,
                                    std::size_t excludeFrom, std::size_t excludeTo) {
  std::vector<std::size_t> copies;
  if (bankIsEmpty(bank) || image.size() < bankSize) {
    return copies;
  }
  for (std::size_t w = 0; w <= image.size() - bankSize; w += windowStep) {
    const bool overlaps = w < excludeTo && excludeFrom < w + bankSize;
    if (!overlaps && mostlyEqual(image.data() + w, bank, sampleStep, sampleMisses) &&
        mostlyEqual(image.data() + w, bank, 1, byteMisses)) {
      copies.push_back(w);
    }
  }
  return copies;
}

std::string hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool eligibleBank(std::uint16_t address, std::size_t bank, std::size_t bankCount,
                  std::size_t programLength) {
  const bool last = bank + 1 == bankCount;
  if (address >= 0xC000) {
    return last;
  }
  return !last || programLength < 2 * bankSize;
}

std::string reportFor(const GameGenieResult& r) {
  const std::string address = hex("$%04X", r.address);
  const bool compared = r.compare >= 0;
  if (r.patched > 0) {
    return address + " = " + hex("$%02X", r.value) +
           (compared ? hex(" (if $%02X)", static_cast<unsigned>(r.compare)) : "") + ": " +
           std::to_string(r.patched) + " byte(s) patched" +
           (r.skipped > 0 ? ", some copies skipped (port code there)" : "");
  }
  if (r.skipped > 0) {
    return address + ": the port changed that spot - not applied";
  }
  return address + ": nothing matched" + (compared ? " (compare byte)" : "");
}

// The codes that wrote one image position, reduced to what the replaces note needs: the first
// writer, and the first writer whose code text differs from the first one's. The earliest
// writer with a text other than some code c is then the first writer, or, when the first
// writer has c's text, the first one that differs; a list of every writer would make a long
// run of repeated codes quadratic.
struct Writers {
  std::size_t first = 0;
  std::optional<std::size_t> firstOther;
};

// The state of one run: the image before any code, the bank copies, and who wrote where.
struct GenieRun {
  Bytes snapshot;
  ProgramView program;
  std::size_t bankCount = 0;
  std::vector<std::vector<std::size_t>> copies;      // per bank
  std::unordered_map<std::size_t, Writers> writers;  // image position -> who wrote there
};

// Writes one decoded code; returns the index of the first earlier code (with another text)
// that had written one of the same positions.
std::optional<std::size_t> applyCode(GenieRun& run, Bytes& image,
                                     const std::vector<GameGenieResult>& done,
                                     GameGenieResult& result) {
  std::optional<std::size_t> replaced;
  const std::size_t off = result.address & 0x3FFF;
  for (std::size_t b = 0; b < run.bankCount; ++b) {
    if (!eligibleBank(result.address, b, run.bankCount, run.program.length)) {
      continue;
    }
    const std::uint8_t nesByte = run.program.data[b * bankSize + off];
    if (result.compare >= 0 && result.compare != nesByte) {
      continue;
    }
    for (const std::size_t copy : run.copies[b]) {
      const std::size_t at = copy + off;
      if (run.snapshot[at] != nesByte) {
        ++result.skipped;
        continue;
      }
      image[at] = result.value;
      ++result.patched;
      const auto [entry, firstWrite] = run.writers.try_emplace(at, Writers{done.size(), {}});
      if (firstWrite) {
        continue;
      }
      Writers& writers = entry->second;
      // Equal banks share their copies, so the code itself may be the first writer here.
      const bool sameAsFirst =
          writers.first == done.size() || done[writers.first].code == result.code;
      const std::optional<std::size_t> earlier =
          sameAsFirst ? writers.firstOther : std::optional<std::size_t>(writers.first);
      if (earlier && (!replaced || *earlier < *replaced)) {
        replaced = earlier;
      }
      if (!sameAsFirst && !writers.firstOther) {
        writers.firstOther = done.size();
      }
    }
  }
  return replaced;
}

// The decoded code, with nothing applied yet.
GameGenieResult startResult(const std::string& text) {
  GameGenieResult result;
  static_cast<GameGenieCode&>(result) = decodeGameGenie(text);
  return result;
}

}  // namespace

std::vector<std::string> splitGameGenieCodes(const std::string& text) {
  std::vector<std::string> codes;
  std::string piece;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';') {
      if (!piece.empty()) codes.push_back(std::move(piece));
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  if (!piece.empty()) codes.push_back(std::move(piece));
  return codes;
}

GameGenieCode decodeGameGenie(const std::string& text) {
  GameGenieCode result;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c)) && c != '-') {
      result.code.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  if (result.code.size() != 6 && result.code.size() != 8) {
    result.error = "a Game Genie code has 6 or 8 letters";
    return result;
  }
  unsigned k[8] = {};
  for (std::size_t i = 0; i < result.code.size(); ++i) {
    const char* found = std::find(alphabet, alphabet + 16, result.code[i]);
    if (found == alphabet + 16) {
      result.error = std::string("not a Game Genie letter: ") + result.code[i];
      return result;
    }
    k[i] = static_cast<unsigned>(found - alphabet);
  }
  const bool eight = result.code.size() == 8;
  result.address =
      static_cast<std::uint16_t>(0x8000 | (k[3] & 7) << 12 | (k[5] & 7) << 8 | (k[4] & 8) << 8 |
                                 (k[2] & 7) << 4 | (k[1] & 8) << 4 | (k[4] & 7) | (k[3] & 8));
  result.value = static_cast<std::uint8_t>((k[1] & 7) << 4 | (k[0] & 8) << 4 | (k[0] & 7) |
                                           ((eight ? k[7] : k[5]) & 8));
  if (eight) {
    result.compare = static_cast<int>((k[7] & 7) << 4 | (k[6] & 8) << 4 | (k[6] & 7) | (k[5] & 8));
  }
  result.ok = true;
  return result;
}

std::vector<GameGenieResult> applyGameGenie(PortImage& image, const Bytes& nes,
                                            const std::vector<std::string>& codes) {
  std::vector<GameGenieResult> results;
  GenieRun run;
  run.program = nesProgram(nes);
  if (run.program.length == 0) {
    for (const std::string& text : codes) {
      GameGenieResult r = startResult(text);
      r.report = "the NES ROM is too small";
      results.push_back(std::move(r));
    }
    return results;
  }
  run.bankCount = run.program.length / bankSize;
  run.snapshot = image.bytes();
  const std::int64_t embedded = image.findEmbeddedNes();
  const std::size_t excludeFrom = embedded < 0 ? 0 : static_cast<std::size_t>(embedded);
  const std::size_t excludeTo = embedded < 0 ? 0 : excludeFrom + image.embeddedNesSize();
  for (std::size_t b = 0; b < run.bankCount; ++b) {
    run.copies.push_back(
        findCopies(run.snapshot, run.program.data + b * bankSize, excludeFrom, excludeTo));
  }
  for (const std::string& text : codes) {
    GameGenieResult r = startResult(text);
    if (!r.ok) {
      r.report = r.error;
    } else {
      const std::optional<std::size_t> replaced = applyCode(run, image.bytes(), results, r);
      r.report = reportFor(r);
      if (replaced) {
        r.report +=
            " - replaces " + results[*replaced].code + " (same address: the later code wins)";
      }
    }
    results.push_back(std::move(r));
  }
  if (!codes.empty()) {
    image.fixChecksum();
  }
  return results;
}

}  // namespace tbp
