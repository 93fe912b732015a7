#include "port/image_delta.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tbp::Bytes;

// An image of n bytes counting up from 0.
Bytes counting(std::size_t n) {
  Bytes image(n);
  for (std::size_t i = 0; i < n; ++i) image[i] = static_cast<std::uint8_t>(i);
  return image;
}

Bytes edited(Bytes image, const std::vector<std::pair<std::size_t, std::uint8_t>>& changes) {
  for (const auto& [offset, value] : changes) image[offset] = value;
  return image;
}

std::size_t storedBytes(const tbp::ImageSide& side) {
  std::size_t total = 0;
  for (const auto& run : side.runs) total += run.bytes.size();
  return total;
}

TEST(ImageDelta, EachSideGivesBackItsImageAndStoresOnlyTheChange) {
  const Bytes base = counting(4096);
  const struct {
    const char* name;
    Bytes after;
    std::size_t runs;
    std::size_t stored;
  } rows[] = {
      {"unchanged", base, 0, 0},
      {"one byte", edited(base, {{100, 0xFF}}), 1, 1},
      {"near bytes join", edited(base, {{100, 0xFF}, {105, 0xFF}}), 1, 6},
      {"far bytes apart", edited(base, {{100, 0xFF}, {2000, 0xFF}}), 2, 2},
      {"first and last", edited(base, {{0, 0xAA}, {4095, 0xAA}}), 2, 2},
      {"grown", [&] { Bytes b = base; b.resize(8192, 0xEE); return b; }(), 1, 4096},
      {"shrunk", Bytes(base.begin(), base.begin() + 1024), 1, 0},
  };
  for (const auto& row : rows) {
    const tbp::ImageDelta delta = tbp::diffImages(base, row.after);
    EXPECT_EQ(delta.after.runs.size(), row.runs) << row.name;
    EXPECT_EQ(storedBytes(delta.after), row.stored) << row.name;
    Bytes image = base;
    tbp::applySide(image, delta.after);
    EXPECT_EQ(image, row.after) << row.name;
    tbp::applySide(image, delta.before);
    EXPECT_EQ(image, base) << row.name;
  }
}

TEST(ImageDelta, MergingSpansBothEditsAndRefusesSizeChanges) {
  const Bytes base = counting(256);
  const Bytes first = edited(base, {{10, 0xF0}, {11, 0xF1}});
  const Bytes second = edited(first, {{11, 0x01}, {200, 0x02}});
  tbp::ImageDelta stroke = tbp::diffImages(base, first);
  ASSERT_TRUE(tbp::mergeDeltas(stroke, tbp::diffImages(first, second)));
  Bytes image = second;
  tbp::applySide(image, stroke.before);
  EXPECT_EQ(image, base);
  tbp::applySide(image, stroke.after);
  EXPECT_EQ(image, second);

  Bytes grown = second;
  grown.push_back(0);
  EXPECT_FALSE(tbp::mergeDeltas(stroke, tbp::diffImages(second, grown)));
}

}  // namespace
