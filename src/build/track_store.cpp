#include "build/track_store.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "build/temporary_file.h"

namespace tbp {
namespace {

// Every offset comes from the track's own layout; one outside it is a fault of the caller.
void checkRange(const Bytes& track, std::uint64_t offset, std::size_t size) {
  if (offset > track.size() || size > track.size() - offset)
    throw std::logic_error("track range outside the track");
}

}  // namespace

void MemoryTrackStore::expectFrames(std::uint64_t count) {
  // A little extra for an estimated length costs nothing; without the memory, the track
  // grows as it goes.
  try {
    track_.reserve(track_.size() + 4 * (count + count / 32));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

void MemoryTrackStore::append(const std::uint8_t* data, std::size_t size) {
  track_.insert(track_.end(), data, data + size);
}

void MemoryTrackStore::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  checkRange(track_, offset, size);
  if (size > 0) std::memcpy(out, track_.data() + offset, size);
}

void MemoryTrackStore::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  checkRange(track_, offset, size);
  if (size > 0) std::memmove(track_.data() + offset, data, size);
}

void MemoryTrackStore::truncate(std::uint64_t size) {
  if (size < track_.size()) track_.resize(static_cast<std::size_t>(size));
}

void FileTrackStore::append(const std::uint8_t* data, std::size_t size) { file_.write(data, size); }

void FileTrackStore::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  file_.readAt(offset, out, size);
}

void FileTrackStore::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  file_.writeAt(offset, data, size);
}

void FileTrackStore::truncate(std::uint64_t size) { file_.truncate(size); }

}  // namespace tbp
