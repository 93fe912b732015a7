#pragma once

#include <string>

namespace tbp::test {

// Encodes a code from its fields (the inverse of the decoding rule), so tests can aim codes at
// chosen addresses.
inline std::string encode(unsigned address, unsigned value, int compare = -1) {
  unsigned k[8] = {};
  k[3] = ((address >> 12) & 7) | (address & 8);
  k[5] = (address >> 8) & 7;
  k[4] = ((address >> 8) & 8) | (address & 7);
  k[2] = (address >> 4) & 7;
  k[1] = ((address >> 4) & 8) | ((value >> 4) & 7);
  k[0] = ((value >> 4) & 8) | (value & 7);
  std::size_t letters = 6;
  if (compare < 0) {
    k[5] |= value & 8;
  } else {
    const auto c = static_cast<unsigned>(compare);
    letters = 8;
    k[2] |= 8;
    k[7] = (value & 8) | ((c >> 4) & 7);
    k[6] = ((c >> 4) & 8) | (c & 7);
    k[5] |= c & 8;
  }
  const char alphabet[] = "APZLGITYEOXUKSVN";
  std::string code;
  for (std::size_t i = 0; i < letters; ++i) code.push_back(alphabet[k[i]]);
  return code;
}

}  // namespace tbp::test
