#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TempDir.h"
#include "TestSystem.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/TimeName.h"

namespace kelvo {
namespace {

using test::TempDir;

std::u16string fixedTime;
std::u16string FixedClock() {
  return fixedTime;
}

class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TimeNames::SetSerialNumberForTest(0);
    fixedTime = u"2026/12/06 14:05:09";
    TimeNames::SetClockForTest(&FixedClock);
  }
  void TearDown() override { TimeNames::SetClockForTest(nullptr); }
  TempDir dir_;
  ScopedLogNumbers numbers_{{.serialParse = 812,
                             .serialReset = 813,
                             .serialAdvance = 814,
                             .lockTimeout = 832,
                             .workingFile = 855}};
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
  // A later run (fresh process state) continues the series from serial.txt.
  TimeNames::SetSerialNumberForTest(0);
  ReportError(u"third");
  EXPECT_EQ(TempDir::Read("err3-05-09.txt"), "third");
  EXPECT_FALSE(TempDir::Exists("error.txt"));
}

TEST_F(ErrorLogTest, BrokenSerialFileIsReportedAndNumberingGoesOn) {
  TempDir::Write("serial.txt", "abc\r\n7\r\n");
  ReportError(u"m");
  EXPECT_EQ(TempDir::Read("error.txt"), "sequence_to_integer() error-812: abc");
  EXPECT_EQ(TempDir::Read("serial.txt"), "0");
  EXPECT_EQ(TempDir::Read("err0-05-09.txt"), "m");
}

TEST_F(ErrorLogTest, OnlyTheFirstLineOfSerialCounts) {
  TempDir::Write("serial.txt", "41\r\n99\r\n");
  ReportError(u"x");
  EXPECT_EQ(TempDir::Read("err42-05-09.txt"), "x");
}

TEST_F(ErrorLogTest, TimeWithoutColonGivesEmptyFields) {
  fixedTime = u"no time";
  ReportError(u"x");
  EXPECT_EQ(TempDir::Read("err1--.txt"), "x");
}

TEST_F(ErrorLogTest, NeverOverwritesAnEarlierLog) {
  // A restarted numbering meets the files of an earlier series.
  TempDir::Write("err1-05-09.txt", "earlier");
  TempDir::Write("err2-05-09.txt", "earlier too");
  ReportError(u"new");
  EXPECT_EQ(TempDir::Read("err1-05-09.txt"), "earlier");
  EXPECT_EQ(TempDir::Read("err2-05-09.txt"), "earlier too");
  EXPECT_EQ(TempDir::Read("err3-05-09.txt"), "new");
  EXPECT_EQ(TempDir::Read("serial.txt"), "3");
}

TEST_F(ErrorLogTest, TwoNamesInOneSecondDiffer) {
  TimeNames names;
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
