// Guarded opens and locks: what each guard refuses under a name, the mode of private files,
// bounded whole-file reads, and the removal of a run's files when it is interrupted.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/Platform.h"
#include "support/FileRead.h"

namespace kelvo {
namespace {

using platform::Guard;
using platform::Refusal;
using test::TempDir;

// What stands under the name "f" before it is opened.
enum class Standing { Regular, WritableByAll, Link, Dangling, Fifo };

void Make(Standing standing) {
  switch (standing) {
    case Standing::Regular:
    case Standing::WritableByAll:
      TempDir::Write("f", "bytes");
      chmod("f", standing == Standing::Regular ? 0644 : 0666);
      break;
    case Standing::Link:
      TempDir::Write("target", "bytes");
      symlink("target", "f");
      break;
    case Standing::Dangling:
      symlink("nowhere", "f");
      break;
    case Standing::Fifo:
      mkfifo("f", 0644);
      break;
  }
}

TEST(FileGuardTest, EachGuardRefusesWhatMustNotBeUsed) {
  struct Case {
    Standing standing;
    Guard guard;
    Refusal read;   // opening "f" for reading
    Refusal write;  // creating "f" in place
  };
  const Case cases[] = {
      {Standing::Regular, Guard::Working, Refusal::None, Refusal::None},
      {Standing::Link, Guard::Working, Refusal::Link, Refusal::Link},
      {Standing::Dangling, Guard::Working, Refusal::Link, Refusal::Link},
      {Standing::Fifo, Guard::Working, Refusal::NotRegular, Refusal::NotRegular},
      {Standing::Fifo, Guard::Private, Refusal::NotRegular, Refusal::NotRegular},
      {Standing::Regular, Guard::Steering, Refusal::None, Refusal::None},
      {Standing::WritableByAll, Guard::Steering, Refusal::WritableByAll, Refusal::WritableByAll},
      {Standing::Fifo, Guard::Steering, Refusal::NotRegular, Refusal::NotRegular},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.standing) * 10 + static_cast<int>(c.guard));
    TempDir directory;
    Make(c.standing);
    platform::InputFile in;
    const platform::Result opened = in.Open(u"f", platform::ReadMode::Raw, c.guard);
    EXPECT_EQ(opened.Succeeded(), c.read == Refusal::None);
    EXPECT_EQ(opened.refused, c.read);
    in.Close();
    platform::OutputFile out;
    const platform::Result created = out.Create(u"f", platform::Placement::Truncate, c.guard);
    EXPECT_EQ(created.Succeeded(), c.write == Refusal::None);
    EXPECT_EQ(created.refused, c.write);
    out.Discard();
    // A lock on a working file refuses what creating it refuses, and says why.
    if (c.guard != Guard::Steering) {
      platform::FileLock lock;
      const platform::FileLock::Acquired acquired = lock.Acquire(u"f", 0, c.guard);
      EXPECT_EQ(acquired.outcome == platform::FileLock::Outcome::Refused, c.write != Refusal::None);
      EXPECT_EQ(acquired.result.refused, c.write);
      EXPECT_EQ(acquired.result.failed,
                c.write == Refusal::None ? platform::Step::None : platform::Step::Lock);
    }
    // Nothing was written through a link.
    if (c.standing == Standing::Link) {
      EXPECT_EQ(TempDir::Read("target"), "bytes");
    }
    EXPECT_FALSE(std::filesystem::exists("nowhere"));
  }
}

TEST(FileGuardTest, PrivateFilesAreMadeAndKeptForTheUserAlone) {
  for (const bool existed : {false, true}) {
    TempDir directory;
    if (existed) {
      TempDir::Write("f", "old text");
      chmod("f", 0644);
    }
    platform::FileLock lock;
    ASSERT_EQ(lock.Acquire(u"f", 1000, Guard::Private).outcome, platform::FileLock::Outcome::Held);
    EXPECT_EQ(lock.Made(), !existed);
    platform::OutputFile out;
    ASSERT_TRUE(out.Create(u"f", platform::Placement::Truncate, Guard::Private));
    ASSERT_TRUE(out.Write("new", 3));
    ASSERT_TRUE(out.Close());
    struct stat info {};
    ASSERT_EQ(stat("f", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(TempDir::Read("f"), "new");
  }
}

TEST(FileGuardTest, BoundedReadsNeverTakeMoreThanTheLimit) {
  TempDir directory;
  TempDir::Write("small", std::string(100, 'x'));
  struct Case {
    const char16_t* name;
    std::int64_t limit;
    bool read;
  };
  const Case cases[] = {
      {u"small", 100, true},
      {u"small", 99, false},
      {u"/dev/zero", 1 << 20, false},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes;
    const platform::Result read =
        ReadWhole(c.name, bytes, platform::ReadMode::Raw, {.limit = c.limit});
    EXPECT_EQ(read.Succeeded(), c.read);
    EXPECT_EQ(read.refused, c.read ? Refusal::None : Refusal::TooLarge);
  }
}

TEST(FileGuardTest, AnInterruptionRemovesTheFilesOfTheRun) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir directory;
    TempDir::Write("made", "partial");
    TempDir::Write("kept", "whole");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      platform::RemoveOnInterruption(u"made");
      platform::RemoveOnInterruption(u"kept");
      platform::KeepOnInterruption(u"kept");
      raise(signal);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_FALSE(std::filesystem::exists("made"));
    EXPECT_TRUE(std::filesystem::exists("kept"));
  }
}

}  // namespace
}  // namespace kelvo
#endif
