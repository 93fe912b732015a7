#include <gtest/gtest.h>

#include "formats/bytes.h"

TEST(Bytes, IsAByteVector) {
  tbp::Bytes bytes{1, 2, 3};
  EXPECT_EQ(bytes.size(), 3u);
}
