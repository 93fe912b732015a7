#include "build/block_pipeline.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tbp::detail {
namespace {
constexpr std::size_t kBlocksInFlight = 3;  // filling, waiting and being consumed
}  // namespace

BlockPipeline::BlockPipeline(Consumer consume, std::size_t blockSamples)
    : consume_(std::move(consume)), blockSamples_(blockSamples) {}

BlockPipeline::~BlockPipeline() { stop(true); }

float* BlockPipeline::room(std::size_t samples) {
  if (!consumer_.joinable() && !inline_) {
    try {
      consumer_ = std::thread([this] { consumeBlocks(); });
    } catch (const std::system_error&) {
      inline_ = true;
    }
  }
  if (filling_.size > 0 && samples > blockSamples_ - std::min(blockSamples_, filling_.size)) {
    handOff();
  }
  const std::size_t old = filling_.size;
  filling_.size += samples;
  if (filling_.size > filling_.samples.size()) filling_.samples.resize(filling_.size);
  return filling_.samples.data() + old;
}

void BlockPipeline::finish() {
  if (filling_.size > 0) handOff();
  stop(false);
  if (failure_) std::rethrow_exception(failure_);
}

// Queues the filled block and takes an empty one, waiting while every block is in use.
void BlockPipeline::handOff() {
  if (inline_) {
    consume(filling_);
    filling_.size = 0;
    return;
  }
  std::unique_lock lock(mutex_);
  waiting_.push_back(std::move(filling_));
  ++inUse_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return inUse_ < kBlocksInFlight; });
  if (spare_.empty()) {
    filling_ = {};
  } else {
    filling_ = std::move(spare_.back());
    spare_.pop_back();
  }
}

void BlockPipeline::stop(bool dropWaiting) {
  if (!consumer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    if (dropWaiting) waiting_.clear();
    stopping_ = true;
  }
  changed_.notify_all();
  consumer_.join();
}

// The consumer's thread: the blocks in order, until the pipeline stops and none waits.
void BlockPipeline::consumeBlocks() {
  for (;;) {
    Block block;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;
      block = std::move(waiting_.front());
      waiting_.pop_front();
    }
    consume(block);
    {
      const std::lock_guard lock(mutex_);
      block.size = 0;
      spare_.push_back(std::move(block));
      --inUse_;
    }
    changed_.notify_all();
  }
}

void BlockPipeline::consume(const Block& block) {
  if (failure_) return;  // the rest is of no use after a failure
  try {
    consume_(block.samples.data(), block.size);
  } catch (...) {
    failure_ = std::current_exception();
  }
}

}  // namespace tbp::detail
