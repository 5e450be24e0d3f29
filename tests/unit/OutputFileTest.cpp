// Output files: whatever was there before, a closed output holds exactly the bytes written,
// including when nothing was written; serial-style rewrites in place end the same way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

using test::TempDir;

class OutputFileTest : public ::testing::Test {
 protected:
  TempDir directory_;
};

std::string Pattern(std::size_t size, char first) {
  std::string text(size, first);
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(first + i % 23);
  return text;
}

TEST_F(OutputFileTest, ClosedFileHoldsExactlyTheBytesWritten) {
  const std::size_t before[] = {0, 1, 7, 100000, 3000000};
  const std::size_t after[] = {0, 5, 100000};
  for (const bool existed : {false, true}) {
    for (const std::size_t old : before) {
      if (!existed && old > 0) continue;
      for (const std::size_t size : after) {
        SCOPED_TRACE(std::to_string(existed) + "/" + std::to_string(old) + "/" +
                     std::to_string(size));
        std::filesystem::remove("out.bin");
        if (existed) TempDir::Write("out.bin", Pattern(old, 'a'));
        const std::string bytes = Pattern(size, 'A');
        platform::OutputFile file;
        ASSERT_TRUE(file.Create(u"out.bin"));
        // Written in two pieces, as the converters write block by block.
        ASSERT_TRUE(file.Write(bytes.data(), static_cast<std::int64_t>(size / 2)));
        ASSERT_TRUE(
            file.Write(bytes.data() + size / 2, static_cast<std::int64_t>(size - size / 2)));
        ASSERT_TRUE(file.Close());
        EXPECT_EQ(TempDir::Read("out.bin"), bytes);
      }
    }
  }
}

TEST_F(OutputFileTest, FileLeftWithoutCloseEndsAfterTheBytesWritten) {
  // A run that stops half-way leaves its output to the destructor.
  TempDir::Write("out.bin", Pattern(50000, 'a'));
  {
    platform::OutputFile file;
    ASSERT_TRUE(file.Create(u"out.bin"));
    ASSERT_TRUE(file.Write("xyz", 3));
  }
  EXPECT_EQ(TempDir::Read("out.bin"), "xyz");
}

TEST_F(OutputFileTest, OverwriteFileReplacesTheWholeContent) {
  const std::string contents[] = {"", "7", "123456789012", "41"};
  for (const std::string& text : contents) {
    SCOPED_TRACE(text);
    const platform::Result written =
        platform::OverwriteFile(u"serial.txt", text.data(), static_cast<std::int64_t>(text.size()));
    ASSERT_TRUE(written) << platform::ToAnsi(written.Describe());
    EXPECT_EQ(TempDir::Read("serial.txt"), text);
  }
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

using test::TempDir;

// A replacement takes the old file's place only when it is complete; whatever goes wrong
// before, the old file stays as it was and no temporary file is left.
TEST_F(OutputFileTest, ReplacementIsAllOrNothing) {
  enum class End { Close, Discard, Destroy, FailedWrite };
  struct Case {
    const char* what;
    bool existed;
    End end;
    std::string expected;  // the file's content afterwards; "-" for no file
  };
  const Case cases[] = {
      {"closed over an old file", true, End::Close, "new text"},
      {"closed as a new file", false, End::Close, "new text"},
      {"discarded", true, End::Discard, "old text"},
      {"left to the destructor", true, End::Destroy, "old text"},
      {"never created", false, End::Discard, "-"},
#ifndef _WIN32
      {"a write fails", true, End::FailedWrite, "old text"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove("out.bin");
    if (c.existed) TempDir::Write("out.bin", "old text");
    {
      platform::OutputFile file;
      ASSERT_TRUE(file.Create(u"out.bin", platform::Placement::Replace));
      ASSERT_TRUE(file.Write("new ", 4));
      if (c.end == End::FailedWrite) {
#ifndef _WIN32
        test::FileSizeLimit limit(4);
        EXPECT_FALSE(file.Write("text", 4));
#endif
        EXPECT_FALSE(file.Close());
      } else {
        ASSERT_TRUE(file.Write("text", 4));
        if (c.end == End::Close) {
          EXPECT_TRUE(file.Close());
        } else if (c.end == End::Discard) {
          file.Discard();
        }
      }
    }
    EXPECT_EQ(TempDir::Exists("out.bin") ? TempDir::Read("out.bin") : "-", c.expected);
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      EXPECT_EQ(entry.path().filename().string(), "out.bin");
    }
  }
}

TEST_F(OutputFileTest, SamePlaceSeesThroughSpellingsOfOnePath) {
  TempDir::Write("here.txt", "x");
  std::filesystem::create_directory("sub");
  struct Case {
    std::u16string first, second;
    bool same;
  };
  const Case cases[] = {
      {u"here.txt", u"./here.txt", true},
      {u"here.txt", u"sub/../here.txt", true},
      {u"missing", u"./missing", true},
      {u"missing", u"sub/../missing", true},
      {u"here.txt", u"missing", false},
      {u"sub/missing", u"missing", false},
      {u"", u"", false},
      {u"here.txt", u"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::SamePlace(c.first, c.second), c.same)
        << platform::ToAnsi(c.first) << " / " << platform::ToAnsi(c.second);
  }
}

TEST_F(OutputFileTest, LockWaitsForItsHolderAndFollowsTheName) {
  platform::FileLock first;
  ASSERT_EQ(first.Acquire(u"shared.tmp", 0).outcome, platform::FileLock::Outcome::Held);
  EXPECT_TRUE(TempDir::Exists("shared.tmp"));
  platform::FileLock second;
  const platform::FileLock::Acquired busy = second.Acquire(u"shared.tmp", 50);
  EXPECT_EQ(busy.outcome, platform::FileLock::Outcome::Busy);
  EXPECT_EQ(busy.result.Describe(), u"cannot lock 'shared.tmp'");
  // The holder removes the file and lets go: the next run locks the file that then has
  // the name, not the removed one.
  ASSERT_TRUE(platform::RemoveFile(u"shared.tmp"));
  first.Release();
  EXPECT_EQ(second.Acquire(u"shared.tmp", 50).outcome, platform::FileLock::Outcome::Held);
  EXPECT_TRUE(TempDir::Exists("shared.tmp"));
  const platform::FileLock::Acquired unavailable = first.Acquire(u"missing-dir/shared.tmp", 50);
  EXPECT_EQ(unavailable.outcome, platform::FileLock::Outcome::Unavailable);
  EXPECT_EQ(unavailable.result.failed, platform::Step::Lock);
  EXPECT_NE(unavailable.result.systemCode, 0);
}

}  // namespace
}  // namespace kelvo
