#pragma once

#include <cstddef>
#include <vector>

#include "formats/bytes.h"

namespace tbp {

// The bytes one edit changed in an image: for each changed run its offset and its content on
// one side of the edit. An undo step keeps two of these (before and after) instead of two whole
// images, so a step costs about as much memory as it changed.
struct ByteRun {
  std::size_t offset = 0;
  Bytes bytes;
};

struct ImageSide {
  std::size_t size = 0;       // the image's whole size on this side
  std::vector<ByteRun> runs;  // in ascending offset order, never overlapping
};

struct ImageDelta {
  ImageSide before;
  ImageSide after;
  bool empty() const { return before.size == after.size && before.runs.empty(); }
};

// The runs where before and after differ. Runs closer than a few bytes are joined, so that an
// edit of scattered bytes (a value and its checksum) costs a few runs, not one per byte. When
// the sizes differ, the tail beyond the shorter image is one more run on each side.
ImageDelta diffImages(const Bytes& before, const Bytes& after);

// Gives image the size and the bytes of that side of a delta taken from it.
void applySide(Bytes& image, const ImageSide& side);

// Folds a later delta into an earlier one of the same image: the result goes from the earlier
// delta's before to the later delta's after. Both must keep the image's size; returns false
// (and changes nothing) when one does not.
bool mergeDeltas(ImageDelta& earlier, const ImageDelta& later);

}  // namespace tbp
