#pragma once

#include <string>

#include "formats/bytes.h"

namespace tbp {

// The whole file at path (UTF-8). Throws "cannot open " + path or "read failed: " + path.
Bytes readFile(const std::string& path);

// Replaces the file at path with data through a ".tmp" sibling and a rename, so that an
// existing file is never left half-written. Throws with the path the caller gave.
void writeFileSafely(const std::string& path, const Bytes& data);

}  // namespace tbp
