// The byte-string ring: capacity, filler, and the reports of what cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "support/AnsiQueue.h"

namespace kelvo {
namespace {

using test::TempDir;

constexpr QueueNumbers kNumbers{.count = 765, .unoccupied = 766};

TEST(AnsiQueue, FillerIsSkippedAndEmptyTextIsAnEntry) {
  TempDir dir;
  AnsiStringQueue queue(kNumbers);
  queue.Initialize("", " ", 1);
  EXPECT_EQ(queue.queue_size(), 1);
  EXPECT_EQ(queue.Count().count, 0);
  EXPECT_EQ(queue.q(-1).text, " ");  // the filler sits just before item 0
  EXPECT_EQ(queue.Push("first"), Pushed::Appended);
  EXPECT_EQ(queue.Push(""), Pushed::Appended);
  EXPECT_EQ(queue.Count().count, 2);
  EXPECT_EQ(queue.q(0).text, "first");
  EXPECT_EQ(queue.q(1).text, "");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST(AnsiQueue, HoldsAtMost3070EntriesFillerIncluded) {
  TempDir dir;
  AnsiStringQueue queue(kNumbers);
  queue.Initialize("", " ", 1);
  for (int i = 1; i < 3070; ++i) ASSERT_EQ(queue.Push(std::to_string(i)), Pushed::Appended) << i;
  EXPECT_EQ(queue.queue_size(), 3070);
  EXPECT_EQ(queue.Push("lost"), Pushed::Full);
  EXPECT_EQ(queue.queue_size(), 3070);
  EXPECT_EQ(queue.Count().count, 3069);
  EXPECT_EQ(queue.q(0).text, "1");
  EXPECT_EQ(queue.q(3068).text, "3069");
}

// An unwritten slot, or more filler than the ring holds, is reported and read as nothing;
// any index stays inside the ring.
TEST(AnsiQueue, WhatCannotBeReadIsReported) {
  struct Case {
    const char* what;
    QueueNumbers numbers;
    int filler;
    int item;  // read q(item) when filler fits, else Count()
    const char* message;
  };
  const Case cases[] = {
      {"unwritten slot", kNumbers, 1, 0, "q() error-766: occupied[ 1 ] = False"},
      {"index below the ring", kNumbers, 1, -2, "q() error-766: occupied[ 3070 ] = False"},
      {"index far beyond the ring", kNumbers, 1, 2147483647,
       "q() error-766: occupied[ 910 ] = False"},
      {"more filler than the ring holds", kNumbers, 3071, 0,
       "queue_size - offset error-765: count < 0"},
      {"the same without a number", {.count = 0, .unoccupied = 85}, 3071, 0, "Error: count < 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    AnsiStringQueue queue(c.numbers);
    // Surplus filler is dropped but still counted as offset.
    queue.Initialize("", " ", c.filler);
    if (c.filler == 1) {
      const QueueItem item = queue.q(c.item);
      EXPECT_FALSE(item.result);
      EXPECT_EQ(item.text, "");
    } else {
      EXPECT_EQ(queue.queue_size(), 3070);
      const QueueCount counted = queue.Count();
      EXPECT_FALSE(counted.result);
      EXPECT_EQ(counted.count, 0);
    }
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.message});
  }
}

}  // namespace
}  // namespace kelvo
