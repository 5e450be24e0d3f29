// The search along the program-search variable, with a PATH the test controls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestSystem.h"
#include "platform/Platform.h"
#include "tables/PathEXE.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TempDir;

constexpr CommandPathNumbers kNumbers{
    .candidate = 801,
    .refused = 853,
    .queue = {.count = 765, .unoccupied = 766},
    .list = {.readLow = 774, .readHigh = 775, .storeLow = 776, .storeHigh = 777}};
const std::string kName = "kelvo-path-probe.bin";
// The platform's directory separator and list separator, and text in its "ANSI" code page,
// the bytes the search variable and the messages use.
const std::string S = platform::ToAnsi(std::u16string(1, platform::DirectorySeparator()));
const std::string L = platform::ToAnsi(std::u16string(1, platform::PathListSeparator()));
std::string Ansi(const std::u16string& text) {
  return platform::ToAnsi(text);
}

class PathSearch : public ::testing::Test {
 protected:
  // An absolute directory inside the temporary directory (created), in ANSI bytes.
  std::string Dir(const std::u16string& relative) {
    const std::string path = Ansi(dir_.path().u16string()) + S + Ansi(relative);
    fs::create_directories(fs::path(platform::FromAnsi(path)));
    return path;
  }
  static void Put(const std::string& directory) { TempDir::Write(directory + S + kName, "table"); }
  std::string Search(const std::string& path) {
    path_.Set(path);
    CommandPath search(kNumbers);
    search.Initialize();
    return platform::ToAnsi(search.Search(platform::FromAnsi(kName)).value_or(u""));
  }
  static std::string Failed(const std::string& candidate) {
    return "Reset() error-801: " + candidate;
  }

  TempDir dir_;
  ScopedVariable path_{test::kSearchVariable, std::nullopt};
};

TEST_F(PathSearch, TrailingSeparatorIsCleanedAndOrderKept) {
  const std::string a = Dir(u"A"), b = Dir(u"B");
  Put(b);
  EXPECT_EQ(Search(a + S + L + b), b + S + kName);
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{Failed(a + S + kName)});
}

TEST_F(PathSearch, FirstDirectoryHoldingTheFileWins) {
  const std::string a = Dir(u"A"), b = Dir(u"B");
  Put(a);
  Put(b);
  EXPECT_EQ(Search(a + L + b), a + S + kName);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(PathSearch, NothingFoundReportsEveryCandidate) {
  const std::string a = Dir(u"A"), b = Dir(u"B");
  // An empty entry stands for the root; a trailing separator adds nothing.
  EXPECT_EQ(Search(a + L + L + b + L), "");
  EXPECT_EQ(
      TempDir::ErrorMessages(),
      (std::vector<std::string>{Failed(a + S + kName), Failed(S + kName), Failed(b + S + kName)}));
}

TEST_F(PathSearch, QuotesStayAndSeparatorInsideThemVanishes) {
  const std::string a = Dir(u"A");
  EXPECT_EQ(Search("\"" + a + L + "x\""), "");
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{Failed("\"" + a + "x\"" + S + kName)});
}

TEST_F(PathSearch, OnlyThe256FirstEntriesAreTried) {
  const std::string base = Ansi(dir_.path().u16string()) + S;
  std::string path;
  for (int i = 0; i < 256; ++i) path += base + "none" + std::to_string(i) + L;
  const std::string late = Dir(u"late");
  Put(late);
  EXPECT_EQ(Search(path + late), "");
  const auto messages = TempDir::ErrorMessages();
  ASSERT_EQ(messages.size(), 256u);
  EXPECT_EQ(messages.back(), Failed(base + "none255" + S + kName));
}

TEST_F(PathSearch, MissingVariableGivesNothingAndNoReport) {
  CommandPath search(kNumbers);
  search.Initialize();
  EXPECT_EQ(search.Search(platform::FromAnsi(kName)), std::nullopt);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(PathSearch, NonAsciiDirectoriesAreSearchedWhole) {
  // In UTF-8 the last byte of the first name is one a Shift_JIS reader would take for a lead
  // byte; in Shift_JIS the last character of the second ends in the byte of the directory
  // separator. The list separator after either must still split, and nothing of the name
  // may be taken for a trailing separator.
  for (const std::u16string name : {u"\u65E5\u672C\u3042", u"\u65E5\u672C\u8868"}) {
    SCOPED_TRACE(Ansi(name));
    TempDir dir;
    const std::string japanese = Dir(name);
    const std::string b = Dir(u"B");
    Put(b);
    EXPECT_EQ(Search(japanese + L + b), b + S + kName);
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{Failed(japanese + S + kName)});

    Put(japanese);
    EXPECT_EQ(Search(japanese + L + b), japanese + S + kName);
  }
}

TEST_F(PathSearch, LongCandidateIsNeverCut) {
  const std::string deep =
      Dir(std::u16string(200, u'd') + platform::DirectorySeparator() + std::u16string(200, u'e'));
  Put(deep);
  const std::string found = Search(Dir(u"A") + L + deep);
  EXPECT_EQ(found, deep + S + kName);
  EXPECT_GT(found.size(), 400u);
}

}  // namespace
}  // namespace kelvo
