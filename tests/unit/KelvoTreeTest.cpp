// The tree calls of the platform: only regular files are read, and a replacement appears
// whole or not at all, with the old file kept as its backup when asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "platform/Tree.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvo {
namespace {

using test::TempDir;

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(KelvoTreeTest, ReplacementAppearsWholeOrNotAtAll) {
  struct Case {
    bool exists;            // the target stands before
    bool commit;            // else discarded
    std::u16string backup;  // not empty: the old target kept under this name
    std::vector<std::string> names;
    std::string content;  // of t.txt afterwards
    platform::CommitStep failsAt = platform::CommitStep::Done;
  };
  const Case cases[] = {
      {false, true, u"", {"t.txt"}, "new"},
      {false, false, u"", {}, ""},
      {true, true, u"", {"t.txt"}, "new"},
      {true, false, u"", {"t.txt"}, "old"},
      {true, true, u"t.txt.orig", {"t.txt", "t.txt.orig"}, "new"},
      {true, false, u"t.txt.orig", {"t.txt"}, "old"},
      // A backup that cannot be kept leaves the target as it was, with the system's code.
      {true, true, u"missing/t.txt.orig", {"t.txt"}, "old", platform::CommitStep::KeepBackup},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.exists) TempDir::Write("t.txt", "old");
    platform::ReplacementFile file;
    ASSERT_TRUE(file.Create(u"t.txt"));
    ASSERT_TRUE(file.Write("new", 3));
    if (c.commit) {
      platform::CommitSettings settings;
      settings.backup = c.backup;
      const platform::Committed committed = file.Commit(settings);
      EXPECT_EQ(committed.step, c.failsAt) << platform::ToUtf8(committed.result.Describe());
      EXPECT_EQ(committed.result.Succeeded(), c.failsAt == platform::CommitStep::Done);
      EXPECT_EQ(committed.result.systemCode != 0, c.failsAt != platform::CommitStep::Done);
    } else {
      file.Discard();
    }
    EXPECT_EQ(Names(), c.names);
    if (!c.names.empty()) {
      EXPECT_EQ(TempDir::Read("t.txt"), c.content);
    }
    if (c.names.size() > 1) {
      EXPECT_EQ(TempDir::Read("t.txt.orig"), "old");
    }
  }
}

TEST(KelvoTreeTest, ReplacementTakesTheSourcesMode) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX modes";
#else
  TempDir dir;
  TempDir::Write("t.txt", "old");
  ASSERT_EQ(::chmod("t.txt", 0640), 0);
  platform::SourceFile source;
  ASSERT_TRUE(source.Open(u"t.txt", false));
  platform::ReplacementFile file;
  ASSERT_TRUE(file.Create(u"t.txt"));
  ASSERT_TRUE(file.Write("new", 3));
  platform::CommitSettings settings;
  settings.like = &source;
  const platform::Committed committed = file.Commit(settings);
  ASSERT_TRUE(committed.result) << platform::ToUtf8(committed.result.Describe());
  struct stat info {};
  ASSERT_EQ(::stat("t.txt", &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(TempDir::Read("t.txt"), "new");
#endif
}

TEST(KelvoTreeTest, OnlyRegularFilesAreOpened) {
  TempDir dir;
  TempDir::Write("plain.txt", "x");
  std::filesystem::create_directory("dir");
  struct Case {
    std::u16string path;
    bool follow;
    bool opens;
    int error;  // when it does not open: kNotRegularError, or any system error (1)
  };
  std::vector<Case> cases = {
      {u"plain.txt", false, true, 0},
      {u"dir", false, false, platform::kNotRegularError},
      {u"missing.txt", false, false, 1},
  };
#ifndef _WIN32
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  std::filesystem::create_symlink("plain.txt", "link.txt");
  // A FIFO would block an open for reading until a writer came: it is never opened.
  cases.push_back({u"fifo", false, false, platform::kNotRegularError});
  cases.push_back({u"link.txt", false, false, platform::kNotRegularError});
  cases.push_back({u"link.txt", true, true, 0});
#endif
  for (const Case& c : cases) {
    platform::SourceFile file;
    const platform::Result opened = file.Open(c.path, c.follow);
    const int error = opened.systemCode;
    EXPECT_EQ(opened.Succeeded(), c.opens);
    if (!c.opens && c.error == platform::kNotRegularError) {
      EXPECT_EQ(error, platform::kNotRegularError);
    } else if (!c.opens) {
      EXPECT_NE(error, 0);
      EXPECT_NE(error, platform::kNotRegularError);
    }
  }
}

}  // namespace
}  // namespace kelvo
