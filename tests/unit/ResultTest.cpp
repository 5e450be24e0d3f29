#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TempDir.h"
#include "platform/Platform.h"
#include "platform/Result.h"

namespace kelvo::platform {
namespace {

// What a failure says to a person: the step, the path and, for a failed system call, the
// system's own words.
TEST(ResultTest, DescribesTheFailure) {
  struct Case {
    Result result;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {Result::Ok(), u""},
      {Result::Failed(Step::Load, u"t.bin"), u"cannot load 't.bin'"},
      {Result::Failed(Step::Open, u"x.txt", ENOENT),
       u"cannot open 'x.txt': " + FromAnsi(SystemReason(ENOENT))},
      {Result::Refused(Step::Create, u"f", Refusal::Link), u"cannot create 'f': a symbolic link"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result.Describe(), c.expected) << ToAnsi(c.expected);
  }
  EXPECT_FALSE(SystemReason(ENOENT).empty());
}

#ifndef _WIN32
// A failed call of the platform tells which step failed, on which path, and the system's own
// code taken at the failing call, or what the guard refused.
TEST(ResultTest, FailedCallsCarryTheStepThePathAndTheSystemsCode) {
  struct Case {
    const char* name;
    std::function<Result()> call;
    Step step;
    std::u16string detail;
    int systemCode;
    Refusal refused;
  };
  const std::vector<Case> cases = {
      {"open a missing file",
       [] {
         InputFile file;
         return file.Open(u"missing.txt", ReadMode::Raw);
       },
       Step::Open, u"missing.txt", ENOENT, Refusal::None},
      {"open a directory",
       [] {
         InputFile file;
         return file.Open(u"folder", ReadMode::Raw);
       },
       Step::Open, u"folder", EISDIR, Refusal::None},
      {"read a file never opened",
       [] {
         InputFile file;
         char byte = 0;
         std::int64_t got = 0;
         return file.Read(&byte, 1, got);
       },
       Step::Read, u"", EBADF, Refusal::None},
      {"create in a missing directory",
       [] {
         OutputFile file;
         return file.Create(u"nowhere/out.txt");
       },
       Step::Create, u"nowhere/out.txt", ENOENT, Refusal::None},
      {"replace in a missing directory",
       [] {
         OutputFile file;
         return file.Create(u"nowhere/out.txt", Placement::Replace);
       },
       Step::Create, u"nowhere/out.txt", ENOENT, Refusal::None},
      {"make a file that exists",
       [] {
         OutputFile file;
         return file.CreateNew(u"taken");
       },
       Step::Create, u"taken", EEXIST, Refusal::None},
      {"a FIFO where a working file belongs",
       [] { return CanOpen(u"fifo", ReadMode::Text, Guard::Working); }, Step::Open, u"fifo", 0,
       Refusal::NotRegular},
      {"a link where a working file belongs",
       [] {
         OutputFile file;
         return file.Create(u"link", Placement::Truncate, Guard::Working);
       },
       Step::Create, u"link", 0, Refusal::Link},
      {"overwrite through a link", [] { return OverwriteFile(u"link", "1", 1); }, Step::Open,
       u"link", 0, Refusal::Link},
      {"write past the size a file may have",
       [] {
         OutputFile file;
         if (!file.Create(u"big.txt")) return Result::Ok();
         const test::FileSizeLimit limit(4);
         static_cast<void>(file.Write("12345678", 8));
         return file.Close();
       },
       Step::Write, u"big.txt", EFBIG, Refusal::None},
      {"remove a missing file", [] { return RemoveFile(u"missing.txt"); }, Step::Remove,
       u"missing.txt", ENOENT, Refusal::None},
      {"rename a missing file", [] { return ReplaceFile(u"missing.txt", u"to.txt"); }, Step::Rename,
       u"to.txt", ENOENT, Refusal::None},
      {"renew the time of a missing file", [] { return RenewModificationTime(u"missing.txt"); },
       Step::Stamp, u"missing.txt", ENOENT, Refusal::None},
  };
  test::TempDir directory;
  test::TempDir::Write("taken", "x");
  test::TempDir::Write("target", "x");
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  ASSERT_EQ(mkdir("folder", 0700), 0);
  ASSERT_EQ(symlink("target", "link"), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result result = c.call();
    EXPECT_EQ(result.failed, c.step);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(result.systemCode, c.systemCode);
    EXPECT_EQ(result.refused, c.refused);
    EXPECT_EQ(result.NameTaken(), c.systemCode == EEXIST);
    EXPECT_NE(result.Describe().find(c.detail), std::u16string::npos);
  }
  EXPECT_EQ(test::TempDir::Read("target"), "x");
}
#endif

}  // namespace
}  // namespace kelvo::platform
