#pragma once

#include <cstddef>
#include <cstdint>

#include "build/msu_track_builder.h"
#include "formats/bytes.h"

namespace tbp {

class TemporaryFile;

// Where a track is made: its frames are appended in blocks as the conversion makes them, then
// the shaping passes over them in place (reading a block, writing it back, perhaps nearer the
// start) and cuts the end. In memory for the window's previews and the tests, in the safe
// writer's temporary file for a save, so that a saved track is never held whole.
class TrackStore : public TrackFrameSink {
 public:
  // Appends raw bytes (the header, then frames).
  virtual void append(const std::uint8_t* data, std::size_t size) = 0;
  // Copies exactly `size` stored bytes from `offset`.
  virtual void readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) = 0;
  // Overwrites stored bytes from `offset`.
  virtual void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
  // Drops everything from `size` on.
  virtual void truncate(std::uint64_t size) = 0;

  void frames(const std::uint8_t* data, std::size_t count) override { append(data, 4 * count); }
};

// A track in memory: the given bytes, which grow at the end.
class MemoryTrackStore : public TrackStore {
 public:
  explicit MemoryTrackStore(Bytes& track) : track_(track) {}
  void expectFrames(std::uint64_t count) override;
  void append(const std::uint8_t* data, std::size_t size) override;
  void readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
  void truncate(std::uint64_t size) override;

 private:
  Bytes& track_;
};

// A track in a temporary file, on its way to replace its target.
class FileTrackStore : public TrackStore {
 public:
  explicit FileTrackStore(TemporaryFile& file) : file_(file) {}
  void append(const std::uint8_t* data, std::size_t size) override;
  void readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
  void truncate(std::uint64_t size) override;

 private:
  TemporaryFile& file_;
};

}  // namespace tbp
