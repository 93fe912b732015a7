#include "build/block_pipeline.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

// The hand-over between decoding and converting threads: every sample arrives once and in
// order, failures come back to the producer, and an abandoned pipeline stops cleanly.
namespace {

using tbp::detail::BlockPipeline;

struct Consumed {
  std::vector<float> samples;
  std::vector<std::size_t> blockSizes;
  bool onOtherThread = false;
};

// Produces `total` samples numbered 0, 1, 2, ... in requests of the given sizes, in turn.
void produce(BlockPipeline& pipeline, std::size_t total, const std::vector<std::size_t>& sizes) {
  std::size_t next = 0;
  for (std::size_t request = 0; next < total; ++request) {
    const std::size_t count = std::min(sizes[request % sizes.size()], total - next);
    float* room = pipeline.room(count);
    for (std::size_t i = 0; i < count; ++i) room[i] = static_cast<float>(next++);
  }
}

TEST(BlockPipeline, EverySampleArrivesInOrder) {
  struct Row {
    std::size_t blockSamples;
    std::size_t total;
    std::vector<std::size_t> sizes;
  };
  const Row rows[] = {
      {1000, 100000, {1, 999, 37, 1000, 2}},
      {1000, 5000, {3000}},  // requests larger than a block
      {64, 64, {64}},
      {500, 10, {4}},
  };
  const auto producer = std::this_thread::get_id();
  for (const Row& row : rows) {
    Consumed consumed;
    BlockPipeline pipeline(
        [&](const float* samples, std::size_t count) {
          consumed.samples.insert(consumed.samples.end(), samples, samples + count);
          consumed.blockSizes.push_back(count);
          consumed.onOtherThread = std::this_thread::get_id() != producer;
        },
        row.blockSamples);
    produce(pipeline, row.total, row.sizes);
    pipeline.finish();
    ASSERT_EQ(consumed.samples.size(), row.total) << row.blockSamples;
    for (std::size_t i = 0; i < row.total; ++i) ASSERT_EQ(consumed.samples[i], i);
    // A block holds at most its size, or one larger request.
    const std::size_t largest =
        std::max(row.blockSamples, *std::max_element(row.sizes.begin(), row.sizes.end()));
    for (std::size_t size : consumed.blockSizes) EXPECT_LE(size, largest);
    EXPECT_TRUE(consumed.onOtherThread);
  }
}

TEST(BlockPipeline, ConsumerFailureReachesTheProducer) {
  int calls = 0;
  BlockPipeline pipeline(
      [&](const float*, std::size_t) {
        if (++calls == 2) throw std::runtime_error("disk full");
      },
      100);
  produce(pipeline, 10000, {50});
  try {
    pipeline.finish();
    FAIL() << "the failure was lost";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "disk full");
  }
  EXPECT_EQ(calls, 2);  // nothing is consumed after the failure
}

TEST(BlockPipeline, AbandonedPipelineStops) {
  std::vector<float> consumed;
  {
    BlockPipeline pipeline(
        [&](const float* samples, std::size_t count) {
          consumed.insert(consumed.end(), samples, samples + count);
        },
        256);
    produce(pipeline, 50000, {100});
  }  // no finish(): as when decoding fails part-way
  ASSERT_LE(consumed.size(), 50000u);
  for (std::size_t i = 0; i < consumed.size(); ++i) ASSERT_EQ(consumed[i], i);
}

}  // namespace
