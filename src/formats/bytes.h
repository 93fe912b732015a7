#pragma once

#include <cstdint>
#include <vector>

namespace tbp {

// Every ROM, patch, file body and glyph passes through the program as one of these.
using Bytes = std::vector<std::uint8_t>;

}  // namespace tbp
