#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "TestSystem.h"
#include "platform/Platform.h"
#include "support/ErrorLog.h"
#include "support/ErrorText.h"
#include "support/TimeName.h"

namespace kelvo {
namespace {

using test::TempDir;

std::u16string fixedTime;
std::u16string FixedClock() {
  return fixedTime;
}

ErrorLogSettings Settings() {
  return {.numbers = {.serialParse = 812,
                      .serialReset = 813,
                      .serialAdvance = 814,
                      .lockTimeout = 832,
                      .workingFile = 855},
          .clock = &FixedClock};
}

// Each test runs in a directory of its own, reporting through a log of its own.
class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override { fixedTime = u"2026/12/06 14:05:09"; }
  TempDir dir_;
  ErrorLog log_{Settings()};
  InstalledErrorLog installed_{log_};
};

TEST(TimeFieldsTest, CutsMinutesAndSecondsFromTheTime) {
  struct Case {
    std::u16string time, minutes, seconds;
  };
  const Case cases[] = {
      {u"2026/12/06 14:05:09", u"05", u"09"},
      {u"2026/12/06 14:5:9", u"5", u"9"},
      {u"2026/12/06 1405", u"", u""},
      {u"14:05", u"05", u"_"},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    std::u16string minutes, seconds;
    TimeNames::TimeFields(c.time, minutes, seconds);
    EXPECT_EQ(minutes, c.minutes);
    EXPECT_EQ(seconds, c.seconds);
  }
}

TEST_F(ErrorLogTest, NumbersMessagesFromSerialFileAcrossRuns) {
  ReportError(u"Reset() error-782: set_tamorlek.txt");
  EXPECT_EQ(TempDir::Read("serial.txt"), "1");
  EXPECT_EQ(TempDir::Read("err1-05-09.txt"), "Reset() error-782: set_tamorlek.txt");
  ReportError(u"item() error-774: ");
  EXPECT_EQ(TempDir::Read("err2-05-09.txt"), "item() error-774: ");
  // A later run (a log of its own) continues the series from serial.txt.
  ErrorLog later(Settings());
  const InstalledErrorLog laterRun(later);
  ReportError(u"third");
  EXPECT_EQ(TempDir::Read("err3-05-09.txt"), "third");
  EXPECT_FALSE(TempDir::Exists("error.txt"));
}

TEST_F(ErrorLogTest, NamesTheLogFromSerialFileAndClock) {
  using Files = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    Files before;
    std::u16string time;
    Files after;  // once "m" is reported
  };
  const Case cases[] = {
      {"a broken serial.txt is reported and the numbering goes on",
       {{"serial.txt", "abc\r\n7\r\n"}},
       u"2026/12/06 14:05:09",
       {{"error.txt", "sequence_to_integer() error-812: abc"},
        {"serial.txt", "0"},
        {"err0-05-09.txt", "m"}}},
      {"only the first line of serial.txt counts",
       {{"serial.txt", "41\r\n99\r\n"}},
       u"2026/12/06 14:05:09",
       {{"err42-05-09.txt", "m"}}},
      {"a time without a colon gives empty fields", {}, u"no time", {{"err1--.txt", "m"}}},
      // A restarted numbering meets the files of an earlier series.
      {"an earlier log is never overwritten",
       {{"err1-05-09.txt", "earlier"}, {"err2-05-09.txt", "earlier too"}},
       u"2026/12/06 14:05:09",
       {{"err1-05-09.txt", "earlier"},
        {"err2-05-09.txt", "earlier too"},
        {"err3-05-09.txt", "m"},
        {"serial.txt", "3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir own;
    for (const auto& [name, bytes] : c.before) TempDir::Write(name, bytes);
    fixedTime = c.time;
    ErrorLog log(Settings());
    log.Report(u"m");
    for (const auto& [name, bytes] : c.after) EXPECT_EQ(TempDir::Read(name), bytes) << name;
  }
}

// A log waiting in vain for serial.txt marks its own run alone as failed.
TEST_F(ErrorLogTest, ALockThatTimesOutMarksOnlyItsOwnLog) {
  TimeNames holder(log_);
  holder.Prepare(u"err", u".txt");
  ErrorLogSettings impatient = Settings();
  impatient.lockWaitMilliseconds = 0;
  ErrorLog other(impatient);
  other.Report(u"m");
  EXPECT_EQ(TempDir::Read("error.txt"), "Lock() error-832: serial.txt");
  EXPECT_EQ(TempDir::Read("err1-05-09.txt"), "m");
  EXPECT_FALSE(other.MayEndInSuccess());
  EXPECT_TRUE(log_.MayEndInSuccess());
}

TEST_F(ErrorLogTest, TwoNamesInOneSecondDiffer) {
  TimeNames names(log_);
  names.Prepare(u"err", u".txt");
  std::u16string first = names.NextName(true);
  std::u16string again = names.NextName(false);
  EXPECT_EQ(first, u"err1-05-09.txt");
  EXPECT_EQ(again, u"err2-05-09.txt");
}

TEST_F(ErrorLogTest, UnwritableDirectoryFallsBackToStandardError) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows cannot remove the current directory, and every other directory "
                  "takes new files from the administrator the tests run as";
#endif
  // A current directory that has been removed refuses every new file, even to root.
  const std::filesystem::path gone = dir_.path() / "gone";
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);
  testing::internal::CaptureStderr();
  ReportError(u"Reset() error-782: set_tamorlek.txt");
  std::string err = testing::internal::GetCapturedStderr();
  std::filesystem::current_path(dir_.path());
  EXPECT_NE(err.find("Reset() error-782: set_tamorlek.txt"), std::string::npos);
}

TEST_F(ErrorLogTest, ConcurrentProcessesLoseNoMessage) {
  constexpr int kProcesses = 8;
  constexpr int kMessages = 20;
  // The copies of this program started below run only this test, which then writes its
  // messages into the directory named by the variable.
  if (const char* shared = std::getenv("KELVO_LOG_WRITER")) {
    std::filesystem::current_path(shared);
    for (int m = 0; m < kMessages; ++m) ReportError(u"message");
    return;
  }
  test::SetEnvironment("KELVO_LOG_WRITER", dir_.path().string().c_str());
  const int finished = test::RunCopiesOfThisProgram(
      kProcesses, {"--gtest_filter=ErrorLogTest.ConcurrentProcessesLoseNoMessage"});
  test::SetEnvironment("KELVO_LOG_WRITER", nullptr);
  EXPECT_EQ(finished, kProcesses);
  EXPECT_EQ(TempDir::ErrorLogs().size(), static_cast<std::size_t>(kProcesses * kMessages));
  // serial.txt is rewritten in place, never emptied, so no process ever read a broken number.
  EXPECT_FALSE(TempDir::Exists("error.txt")) << TempDir::Read("error.txt");
}

}  // namespace
}  // namespace kelvo
