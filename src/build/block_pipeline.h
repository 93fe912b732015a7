#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tbp::detail {

// Hands samples from a producer to a consumer that runs on a second thread, in blocks, so
// that producing (decoding) and consuming (resampling) overlap. The consumer sees every
// sample once and in order, a block at a time; an exception it throws ends the consuming and
// comes back from finish(). Where no thread can be started, the consumer runs on the
// producer's thread, block by block.
class BlockPipeline {
 public:
  using Consumer = std::function<void(const float* samples, std::size_t count)>;

  BlockPipeline(Consumer consume, std::size_t blockSamples);
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;
  // Without finish(), the samples not yet consumed are dropped and the consumer stops.
  ~BlockPipeline();

  // Room for `samples` more, to be filled before the next call.
  float* room(std::size_t samples);

  // Hands on the last samples and waits until all are consumed.
  void finish();

 private:
  struct Block {
    std::vector<float> samples;  // only grows, so that it is cleared once
    std::size_t size = 0;        // the samples in use
  };

  void handOff();
  void consumeBlocks();
  void consume(const Block& block);
  void stop(bool dropWaiting);

  Consumer consume_;
  std::size_t blockSamples_;
  Block filling_;               // the producer's side
  std::exception_ptr failure_;  // the consumer's side until it is joined

  std::mutex mutex_;  // guards what follows
  std::condition_variable changed_;
  std::deque<Block> waiting_;
  std::vector<Block> spare_;
  std::size_t inUse_ = 0;  // blocks waiting or being consumed
  bool stopping_ = false;

  std::thread consumer_;
  bool inline_ = false;
};

}  // namespace tbp::detail
