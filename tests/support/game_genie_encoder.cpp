#include "support/game_genie_encoder.h"

#include <stdexcept>

namespace tbp::testkit {

// Each letter carries four bits; the bit scatter is the device's own, so the encoder is the
// decoder's formulas read backwards.
std::string encodeGameGenie(std::uint16_t address, std::uint8_t value, int compare) {
  if (address < 0x8000) throw std::invalid_argument("Game Genie addresses start at 0x8000");
  if (compare > 255) throw std::invalid_argument("a compare byte is 0..255");
  static constexpr char kLetters[] = "APZLGITYEOXUKSVN";
  const bool eight = compare >= 0;
  const unsigned a = address;
  const unsigned v = value;
  const unsigned c = eight ? static_cast<unsigned>(compare) : 0;
  unsigned k[8] = {};
  k[0] = (v & 7) | ((v >> 4) & 8);
  k[1] = ((v >> 4) & 7) | ((a >> 4) & 8);
  k[2] = ((a >> 4) & 7) | (eight ? 8 : 0);  // the length bit
  k[3] = ((a >> 12) & 7) | (a & 8);
  k[4] = (a & 7) | ((a >> 8) & 8);
  k[5] = ((a >> 8) & 7) | ((eight ? c : v) & 8);
  k[6] = (c & 7) | ((c >> 4) & 8);
  k[7] = ((c >> 4) & 7) | (v & 8);
  std::string code;
  for (int i = 0; i < (eight ? 8 : 6); ++i) code += kLetters[k[i]];
  return code;
}

}  // namespace tbp::testkit
