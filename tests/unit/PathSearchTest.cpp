// The search along the program-search variable, with a PATH the test controls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestSystem.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/PathEXE.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

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
  void SetUp() override { SetCurrentProgram(kTamorlek); }

  // An absolute directory inside the temporary directory (created), in ANSI bytes.
  std::string Dir(const std::u16string& relative) {
    const std::string path = Ansi(dir_.path().u16string()) + S + Ansi(relative);
    fs::create_directories(fs::path(platform::FromAnsi(path)));
    return path;
  }
  static void Put(const std::string& directory) { TempDir::Write(directory + S + kName, "table"); }
  static std::string Search(const std::string& path) {
    test::SetEnvironment(test::kSearchVariable, path.c_str());
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
  test::SetEnvironment(test::kSearchVariable, nullptr);
  CommandPath search;
  search.Initialize(true);
  EXPECT_EQ(search.Search(platform::FromAnsi(kName)), u"");
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

TEST_F(PathSearch, EachProgramReportsWithItsNumber) {
  const std::string a = Dir(u"A");
  SetCurrentProgram(kBrenodax);
  EXPECT_EQ(Search(a), "");
  SetCurrentProgram(kQuilvar);
  EXPECT_EQ(Search(a), "");
  EXPECT_EQ(TempDir::ErrorMessages(),
            (std::vector<std::string>{Failed(a + S + kName, 159), Failed(a + S + kName, 114)}));
}

}  // namespace
}  // namespace kelvo
