// The search along the program-search variable, with a PATH the test controls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/Platform.h"
#include "tables/PathEXE.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TempDir;

constexpr CommandPathNumbers kNumbers{
    .candidate = 801,
    .queue = {.count = 765, .unoccupied = 766},
    .list = {.readLow = 774, .readHigh = 775, .storeLow = 776, .storeHigh = 777}};

const std::string kName = "kelvo-path-probe.bin";

class PathSearch : public ::testing::Test {
 protected:
  // An absolute directory inside the temporary directory (created).
  std::string Dir(const std::string& relative) {
    fs::path path = dir_.path() / relative;
    fs::create_directories(path);
    return path.string();
  }
  static void Put(const std::string& directory) {
    TempDir::Write((fs::path(directory) / kName).string(), "table");
  }
  std::string Search(const std::string& path) {
    path_.Set(path);
    CommandPath search(kNumbers);
    search.Initialize();
    return platform::ToAnsi(search.Search(platform::FromAnsi(kName)));
  }
  static std::string Failed(const std::string& candidate) {
    return "Reset() error-801: " + candidate;
  }

  TempDir dir_;
  ScopedVariable path_{"PATH", std::nullopt};
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
  CommandPath search(kNumbers);
  search.Initialize();
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

}  // namespace
}  // namespace kelvo
