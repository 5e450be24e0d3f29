// Memory for whole files and code tables: every byte asked for is usable, table memory
// reads as zeros, and sizes that cannot be had are refused rather than cut short.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/Platform.h"

namespace kelvo {
namespace {

constexpr std::int64_t kMegabyte = std::int64_t{1} << 20;

TEST(LargeBufferTest, EveryByteAskedForIsUsable) {
  // Both sides of the size where the heap gives way to a mapping of its own.
  const std::int64_t sizes[] = {0, 1, 4095, 4 * kMegabyte - 1, 4 * kMegabyte, 9 * kMegabyte + 3};
  for (const std::int64_t size : sizes) {
    SCOPED_TRACE(size);
    for (const bool tables : {false, true}) {
      platform::LargeBuffer buffer;
      ASSERT_TRUE(tables ? buffer.AllocateTables(size) : buffer.Allocate(size));
      ASSERT_TRUE(buffer);
      std::uint8_t* const data = buffer.Data();
      if (tables) {
        // Fresh table memory is zeroed, to its last byte.
        for (std::int64_t at = 0; at < size; at += 4093) EXPECT_EQ(data[at], 0) << at;
        if (size > 0) {
          EXPECT_EQ(data[size - 1], 0);
        }
      }
      if (size > 0) {
        std::memset(data, 0xA5, static_cast<std::size_t>(size));
        EXPECT_EQ(data[0], 0xA5);
        EXPECT_EQ(data[size - 1], 0xA5);
      }
    }
  }
}

TEST(LargeBufferTest, ReplacingAndReleasing) {
  platform::LargeBuffer buffer;
  EXPECT_FALSE(buffer);
  ASSERT_TRUE(buffer.Allocate(6 * kMegabyte));
  buffer.Data()[6 * kMegabyte - 1] = 1;
  // A new size replaces the old buffer; table memory comes back zeroed, not reused.
  ASSERT_TRUE(buffer.AllocateTables(6 * kMegabyte));
  EXPECT_EQ(buffer.Data()[6 * kMegabyte - 1], 0);
  buffer.Release();
  EXPECT_FALSE(buffer);
  EXPECT_EQ(buffer.Data(), nullptr);
}

TEST(LargeBufferTest, ImpossibleSizesAreRefused) {
  const std::int64_t sizes[] = {-1, INT64_MIN, INT64_MAX};
  for (const std::int64_t size : sizes) {
    SCOPED_TRACE(size);
    platform::LargeBuffer buffer;
    EXPECT_FALSE(buffer.Allocate(size));
    EXPECT_FALSE(buffer);
    EXPECT_FALSE(buffer.AllocateTables(size));
    EXPECT_FALSE(buffer);
  }
}

}  // namespace
}  // namespace kelvo
