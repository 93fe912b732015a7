#pragma once

#include <string>

#include "formats/bytes.h"

namespace tbp {

// Why a file is not a port, in one line: an NES ROM, another SNES game named by its internal
// title, or something else.
std::string notAPortVerdict(const Bytes& image);

// The text of the "Not a port" box: the verdict, then the file's size and digests.
std::string notAPortReport(const Bytes& image);

}  // namespace tbp
