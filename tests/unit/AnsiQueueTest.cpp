// The byte-string ring: capacity, filler, and the failures that end the program.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "drivers/ProgramRecord.h"
#include "support/AnsiQueue.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::TempDir;

int ExitCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Halt& halt) {
    return halt.exitCode;
  }
  return -1000;  // did not stop
}

TEST(AnsiQueue, FillerIsSkippedAndUnwrittenItemStops) {
  TempDir dir;
  auto queue = std::make_unique<AnsiStringQueue>();
  queue->Initialize("", " ", 1);
  EXPECT_EQ(queue->queue_size(), 1);
  EXPECT_EQ(queue->Count(), 0);
  EXPECT_EQ(queue->q(-1), " ");  // the filler sits just before item 0
  EXPECT_EQ(queue->Push("first"), 0);
  EXPECT_EQ(queue->Count(), 1);
  EXPECT_EQ(queue->q(0), "first");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST(AnsiQueue, EmptyTextIsAnEntry) {
  TempDir dir;
  AnsiStringQueue queue;
  queue.Initialize("", " ", 1);
  EXPECT_EQ(queue.Push(""), 0);
  EXPECT_EQ(queue.Count(), 1);
  EXPECT_EQ(queue.q(0), "");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST(AnsiQueue, HoldsAtMost3070EntriesFillerIncluded) {
  TempDir dir;
  AnsiStringQueue queue;
  queue.Initialize("", " ", 1);
  for (int i = 1; i < 3070; ++i) ASSERT_EQ(queue.Push(std::to_string(i)), 0) << i;
  EXPECT_EQ(queue.queue_size(), 3070);
  EXPECT_EQ(queue.Push("lost"), AnsiStringQueue::kFull);
  EXPECT_EQ(queue.queue_size(), 3070);
  EXPECT_EQ(queue.Count(), 3069);
  EXPECT_EQ(queue.q(0), "1");
  EXPECT_EQ(queue.q(3068), "3069");
}

struct ProgramCase {
  const ProgramRecord* program;
  const char* unoccupied;  // message of q on the first unwritten slot after one filler
  const char* negative;    // message of Count below zero
};

const ProgramCase kPrograms[] = {
    {&kTamorlek, "q() error-766: occupied[ 1 ] = False",
     "queue_size - offset error-765: count < 0"},
    {&kBrenodax, "q() error-130: occupied[ 1 ] = False",
     "queue_size - offset error-129: count < 0"},
    {&kQuilvar, "q() error-85: occupied[ 1 ] = False", "Error: count < 0"},
};

TEST(AnsiQueue, UnwrittenSlotStopsWithTheProgramsMessage) {
  for (const ProgramCase& c : kPrograms) {
    SetCurrentProgram(*c.program);
    TempDir dir;
    AnsiStringQueue queue;
    queue.Initialize("", " ", 1);
    EXPECT_EQ(ExitCodeOf([&] { queue.q(0); }), 1);
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.unoccupied});
  }
}

TEST(AnsiQueue, NegativeCountStopsWithTheProgramsMessage) {
  for (const ProgramCase& c : kPrograms) {
    SetCurrentProgram(*c.program);
    TempDir dir;
    AnsiStringQueue queue;
    // More filler than the ring holds: the surplus is dropped but still counted as offset.
    queue.Initialize("", " ", 3071);
    EXPECT_EQ(queue.queue_size(), 3070);
    EXPECT_EQ(ExitCodeOf([&] { queue.Count(); }), 1);
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.negative});
  }
}

TEST(AnsiQueue, AnyIndexStaysInsideTheRing) {
  SetCurrentProgram(kTamorlek);
  TempDir dir;
  AnsiStringQueue queue;
  queue.Initialize("", " ", 1);
  EXPECT_EQ(ExitCodeOf([&] { queue.q(-2); }), 1);
  EXPECT_EQ(ExitCodeOf([&] { queue.q(2147483647); }), 1);
  const auto messages = TempDir::ErrorMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "q() error-766: occupied[ 3070 ] = False");
}

}  // namespace
}  // namespace kelvo
