#pragma once

#include "formats/bytes.h"

namespace tbp {

// What a player hears around the end of an MSU-1 track, as 44100 Hz stereo 16-bit frames
// (the track's own frame bytes): the last `seconds` before the end, then, for a track that
// loops, the jump to its loop point and `seconds` after it (or up to the end of the track).
// A track that does not loop gives its last `seconds` only. Throws for bytes that are not a
// track ("not an MSU-1 track").
Bytes msuSeam(const Bytes& track, bool loops, double seconds);

}  // namespace tbp
