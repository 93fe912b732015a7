// Game Genie code splitting, decoding and applying on fuzzed code text and a port built from
// the input: NES program banks (some equal, some empty), copies of them at 4 KB places with a
// chosen number of bytes changed (around the 15/16 thresholds), and optionally the NES file
// embedded with its digest. One result per code, in order, with the specified reports; only
// copy bytes and the checksum change, the embedded file never; nothing throws.
#include "port/game_genie.h"

#include <cctype>
#include <map>
#include <regex>
#include <string>

#include "formats/checksums.h"
#include "support/fuzz_contract.h"
#include "support/game_genie_encoder.h"

namespace {

using tbp::Bytes;
using tbp::fuzz::FuzzInput;
using tbp::fuzz::require;

constexpr std::size_t kBank = 16384;
constexpr std::size_t kWindow = 4096;
constexpr std::size_t kImageSizes[] = {0x8000, 0x10000, 0x20000, 0x40000};
// Without a trainer its program starts on a 4 KB boundary, where it would count as a copy.
constexpr std::size_t kNesAt = 0x1FFF0;
constexpr std::size_t kMostCopies = 8;

enum Flags : unsigned {
  kBankBits = 3,     // 0..3 banks of program
  kHeaderless = 4,   // program without an iNES header
  kTrainer = 8,      // a trainer before the program
  kEqualBanks = 16,  // bank 1 repeats bank 0
  kEmptyBank = 32,   // the last bank is all 0xFF
  kEmbedded = 64,    // the NES file embedded with its digest
};

std::uint32_t nextRandom(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

Bytes nesFile(unsigned flags, std::uint32_t seed) {
  const std::size_t banks = flags & kBankBits;
  Bytes program(banks * kBank);
  for (std::uint8_t& b : program) b = static_cast<std::uint8_t>(nextRandom(seed) % 0xF0);
  if ((flags & kEqualBanks) && banks >= 2) {
    std::copy(program.begin(), program.begin() + kBank, program.begin() + kBank);
  }
  if ((flags & kEmptyBank) && banks >= 1) std::fill(program.end() - kBank, program.end(), 0xFF);
  if (flags & kHeaderless) return program;
  Bytes nes = {'N',
               'E',
               'S',
               0x1A,
               static_cast<std::uint8_t>(banks),
               0,
               static_cast<std::uint8_t>(flags & kTrainer ? 4 : 0)};
  nes.resize(16 + (flags & kTrainer ? 512 : 0), 0);
  nes.insert(nes.end(), program.begin(), program.end());
  return nes;
}

// Places copies of the program's banks, each with `changes` bytes altered.
Bytes portImage(FuzzInput& input, const Bytes& nes, unsigned flags, std::uint32_t seed) {
  Bytes image(kImageSizes[input.byte() % std::size(kImageSizes)], 0xFF);
  std::copy_n("ZUVU", 4, image.begin() + 0x7C00);
  const std::size_t programAt = nes.size() % kBank;  // header and trainer
  const std::size_t banks = nes.size() / kBank;
  const std::size_t copies = std::min<std::size_t>(input.byte(), kMostCopies);
  for (std::size_t i = 0; i < copies && banks > 0; ++i) {
    const std::size_t bank = input.byte() % banks;
    const std::size_t windows = (image.size() - kBank) / kWindow + 1;
    const std::size_t at = input.byte() % windows * kWindow;
    const std::size_t changes = input.number(2) % 1100;
    std::copy_n(nes.begin() + programAt + bank * kBank, kBank, image.begin() + at);
    for (std::size_t c = 0; c < changes; ++c) image[at + nextRandom(seed) % kBank] ^= 0x5A;
  }
  if ((flags & kEmbedded) && image.size() >= kNesAt + nes.size()) {
    std::copy(nes.begin(), nes.end(), image.begin() + kNesAt);
    const std::string digest = tbp::sha256Hex(nes.data(), nes.size());
    for (std::size_t i = 0; i < 32; ++i) {
      image[0x7C50 + i] =
          static_cast<std::uint8_t>(std::stoi(digest.substr(2 * i, 2), nullptr, 16));
    }
  }
  return image;
}

void checkSplit(const std::string& text, const std::vector<std::string>& pieces) {
  std::string joined;
  for (const std::string& piece : pieces) {
    require(!piece.empty(), "empty piece");
    joined += piece;
  }
  std::string expected;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c)) && c != ',' && c != ';') expected += c;
  }
  require(joined == expected, "split lost or kept separators");
}

void checkDecoded(const std::string& piece, const tbp::GameGenieCode& code) {
  for (const char c : code.code) {
    require(!std::isspace(static_cast<unsigned char>(c)) && c != '-' &&
                !std::islower(static_cast<unsigned char>(c)),
            "code not normalised");
  }
  if (!code.ok) {
    const bool lengthError = code.error == "a Game Genie code has 6 or 8 letters";
    require(lengthError == (code.code.size() != 6 && code.code.size() != 8), "length error");
    require(lengthError ||
                (code.error.rfind("not a Game Genie letter: ", 0) == 0 && code.error.size() == 26 &&
                 code.code.find(code.error.back()) != std::string::npos),
            "decoding error: " + code.error);
    return;
  }
  require(code.error.empty() && code.address >= 0x8000, "decoded fields of " + piece);
  require((code.compare == -1) == (code.code.size() == 6) && code.compare <= 255, "compare");
  const tbp::GameGenieCode again =
      tbp::decodeGameGenie(tbp::testkit::encodeGameGenie(code.address, code.value, code.compare));
  require(
      again.address == code.address && again.value == code.value && again.compare == code.compare,
      "decoding does not round-trip");
}

void checkReport(const tbp::GameGenieResult& r, bool tooSmall,
                 const std::map<std::string, std::size_t>& earlierCodes) {
  if (tooSmall) return require(r.report == "the NES ROM is too small", "too-small report");
  if (!r.ok) return require(r.report == r.error, "report of a bad code");
  static const std::regex shape(
      R"(\$([0-9A-F]{4})(?: = \$[0-9A-F]{2}(?: \(if \$[0-9A-F]{2}\))?: (\d+) byte\(s\) patched)"
      R"((, some copies skipped \(port code there\))?|: the port changed that spot - not applied)"
      R"(|: nothing matched( \(compare byte\))?)(?: - replaces ([A-Z]+) \(same address: the later )"
      R"(code wins\))?)");
  std::smatch m;
  require(std::regex_match(r.report, m, shape), "report: " + r.report);
  require(std::stoul(m[1].str(), nullptr, 16) == r.address, "report address");
  require(r.patched == 0 || std::stoi(m[2].str()) == r.patched, "patched count");
  require(m[3].matched == (r.patched > 0 && r.skipped > 0), "skipped note");
  require(m[4].matched == (r.patched == 0 && r.skipped == 0 && r.compare >= 0), "compare note");
  if (m[5].matched) {
    require(r.patched > 0 && m[5].str() != r.code && earlierCodes.count(m[5].str()),
            "replaces note: " + r.report);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const unsigned flags = input.byte();
  std::uint32_t seed = input.number(2);
  const Bytes nes = nesFile(flags, seed);
  tbp::PortImage port(portImage(input, nes, flags, seed));
  const std::string text = input.text();
  const std::vector<std::string> pieces = tbp::splitGameGenieCodes(text);
  checkSplit(text, pieces);

  const Bytes before = port.bytes();
  const Bytes embedded = port.embeddedNes();
  const auto results = tbp::applyGameGenie(port, nes, pieces);
  require(results.size() == pieces.size(), "not one result per code");
  const bool tooSmall = (flags & kBankBits) == 0;  // no program after the header, or no data
  std::map<std::string, std::size_t> earlier;
  int patched = 0;
  for (std::size_t i = 0; i < results.size(); ++i) {
    const tbp::GameGenieCode code = tbp::decodeGameGenie(pieces[i]);
    checkDecoded(pieces[i], code);
    require(results[i].code == code.code && results[i].ok == code.ok &&
                results[i].address == code.address && results[i].value == code.value &&
                results[i].compare == code.compare,
            "result fields differ from decoding");
    checkReport(results[i], tooSmall, earlier);
    earlier.emplace(results[i].code, i);
    patched += results[i].patched;
  }
  std::size_t changed = 0;
  const std::uint8_t* after = port.bytes().data();
  for (std::size_t i = 0; i < before.size(); ++i) {
    const bool checksum = i >= 0x7FDC && i < 0x7FE0;
    changed += !checksum && after[i] != before.data()[i] ? 1 : 0;
  }
  require(changed <= static_cast<std::size_t>(patched), "bytes changed beyond the patched ones");
  require(port.embeddedNes() == embedded, "the embedded NES file changed");
  // Codes that cannot apply at all leave the image as it was; applied ones fix the checksum.
  require(pieces.empty() || tooSmall ? port.bytes() == before : port.checksumValid(), "checksum");
  return 0;
}
