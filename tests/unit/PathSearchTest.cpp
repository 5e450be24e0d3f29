// The search along the program-search variable, with a PATH the test controls.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "tables/PathEXE.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kName = "kelvo-path-probe.bin";

class PathSearch : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentProgram(kTamorlek); }

  // An absolute directory inside the temporary directory (created).
  std::string Dir(const std::string& relative) {
    fs::path path = dir_.path() / relative;
    fs::create_directories(path);
    return path.string();
  }
  static void Put(const std::string& directory) {
    TempDir::Write((fs::path(directory) / kName).string(), "table");
  }
  static std::string Search(const std::string& path) {
    setenv("PATH", path.c_str(), 1);
    CommandPath search;
    search.Initialize(true);
    return platform::ToAnsi(search.Search(platform::FromAnsi(kName)));
  }
  static std::string Failed(const std::string& candidate, int number = 801) {
    return "Reset() error-" + std::to_string(number) + ": " + candidate;
  }

  TempDir dir_;
};

TEST_F(PathSearch, TrailingSeparatorIsCleanedAndOrderKept) {
  const std::string a = Dir("A"), b = Dir("B");
  Put(b);
  EXPECT_EQ(Search(a + "/:" + b), b + "/" + kName);
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{Failed(a + "/" + kName)});
}

TEST_F(PathSearch, FirstDirectoryHoldingTheFileWins) {
  const std::string a = Dir("A"), b = Dir("B");
  Put(a);
  Put(b);
  EXPECT_EQ(Search(a + ":" + b), a + "/" + kName);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(PathSearch, NothingFoundReportsEveryCandidate) {
  const std::string a = Dir("A"), b = Dir("B");
  // An empty entry stands for the root; a trailing separator adds nothing.
  EXPECT_EQ(Search(a + "::" + b + ":"), "");
  EXPECT_EQ(TempDir::ErrorMessages(),
            (std::vector<std::string>{Failed(a + "/" + kName), Failed("/" + kName),
                                      Failed(b + "/" + kName)}));
}

TEST_F(PathSearch, QuotesStayAndSeparatorInsideThemVanishes) {
  const std::string a = Dir("A");
  EXPECT_EQ(Search("\"" + a + ":x\""), "");
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{Failed("\"" + a + "x\"/" + kName)});
}

TEST_F(PathSearch, OnlyThe256FirstEntriesAreTried) {
  std::string path;
  for (int i = 0; i < 256; ++i) path += dir_.path().string() + "/none" + std::to_string(i) + ":";
  const std::string late = Dir("late");
  Put(late);
  EXPECT_EQ(Search(path + late), "");
  const auto messages = TempDir::ErrorMessages();
  ASSERT_EQ(messages.size(), 256u);
  EXPECT_EQ(messages.back(), Failed(dir_.path().string() + "/none255/" + kName));
}

TEST_F(PathSearch, MissingVariableGivesNothingAndNoReport) {
  unsetenv("PATH");
  CommandPath search;
  search.Initialize(true);
  EXPECT_EQ(search.Search(platform::FromAnsi(kName)), u"");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(PathSearch, NonAsciiDirectoriesAreSearchedWhole) {
  // The last byte of this name's encoding is one a Shift_JIS reader would take for a lead
  // byte; the separator after it must still split.
  const std::string japanese = Dir("\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\x82");
  const std::string b = Dir("B");
  Put(b);
  EXPECT_EQ(Search(japanese + ":" + b), b + "/" + kName);
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{Failed(japanese + "/" + kName)});

  Put(japanese);
  EXPECT_EQ(Search(japanese + ":" + b), japanese + "/" + kName);
}

TEST_F(PathSearch, LongCandidateIsNeverCut) {
  const std::string deep = Dir(std::string(200, 'd') + "/" + std::string(200, 'e'));
  Put(deep);
  const std::string found = Search(Dir("A") + ":" + deep);
  EXPECT_EQ(found, deep + "/" + kName);
  EXPECT_GT(found.size(), 400u);
}

TEST_F(PathSearch, EachProgramReportsWithItsNumber) {
  const std::string a = Dir("A");
  SetCurrentProgram(kBrenodax);
  EXPECT_EQ(Search(a), "");
  SetCurrentProgram(kQuilvar);
  EXPECT_EQ(Search(a), "");
  EXPECT_EQ(TempDir::ErrorMessages(),
            (std::vector<std::string>{Failed(a + "/" + kName, 159), Failed(a + "/" + kName, 114)}));
}

}  // namespace
}  // namespace kelvo
