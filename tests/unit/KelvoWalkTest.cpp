// kelvo's pure pieces: name patterns, mirror places, file lists, JSON strings, and the
// options that decide a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelvo/Glob.h"
#include "kelvo/Options.h"
#include "kelvo/Report.h"
#include "kelvo/Walk.h"

namespace kelvo {
namespace {

TEST(KelvoGlobTest, MatchesLikeTheShell) {
  struct Case {
    std::u16string pattern, text;
    bool match;
  };
  const Case cases[] = {
      {u"*.txt", u"a.txt", true},
      {u"*.txt", u"a.txt.orig", false},
      {u"*.txt", u"d/a.txt", false},  // one star stays inside a name
      {u"d/*.txt", u"d/a.txt", true},
      {u"d/**", u"d/e/f/a.txt", true},
      {u"**/a.txt", u"d/e/a.txt", true},
      {u"*a*b*c", u"xaybzc", true},
      {u"*a*b*c", u"xaybzcd", false},
      {u"a?c", u"abc", true},
      {u"a?c", u"a/c", false},
      {u"[a-c]x", u"bx", true},
      {u"[!a-c]x", u"bx", false},
      {u"[!a-c]x", u"dx", true},
      {u"[]]", u"]", true},
      {u"[ab", u"[ab", true},  // no closing bracket: an ordinary character
      {u"\\*", u"*", true},
      {u"\\*", u"a", false},
      {u"", u"", true},
      {u"*", u"", true},
      {u"日本*.csv", u"日本語.csv", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(walk::GlobMatch(c.pattern, c.text), c.match);
  }
  EXPECT_TRUE(walk::PathMatches(u"*.md", u"d/e/a.md"));  // a pattern without '/': the last name
  EXPECT_FALSE(walk::PathMatches(u"e/*.md", u"d/e/a.md"));
}

TEST(KelvoWalkTest, MirrorPlaces) {
  struct Case {
    std::u16string path, root, listed;
  };
  const Case cases[] = {
      {u"src", u"src", u"src"},
      {u"src/", u"src", u"src"},
      {u"./a/b.txt", u"b.txt", u"a/b.txt"},
      {u"/abs/d", u"d", u"abs/d"},
      {u"../up/x.txt", u"x.txt", u"up/x.txt"},  // never above the output directory
      {u".", u"", u""},
      {u"..", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(walk::MirrorRoot(c.path), c.root);
    EXPECT_EQ(walk::MirrorPath(c.path), c.listed);
  }
}

TEST(KelvoWalkTest, SplitsFileLists) {
  using List = std::vector<std::string>;
  EXPECT_EQ(walk::SplitList("a\nb c\r\n\nd", false), (List{"a", "b c", "d"}));
  EXPECT_EQ(walk::SplitList(std::string_view("a\nb\0c\r\0\0", 9), true), (List{"a\nb", "c\r"}));
  EXPECT_EQ(walk::SplitList("", false), List{});
}

TEST(KelvoReportTest, JsonStrings) {
  EXPECT_EQ(app::JsonString(u"a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
  EXPECT_EQ(app::JsonString(u"日\U00020BB7"), "\"日\U00020BB7\"");
  // A name byte that was not UTF-8 stands as a lone surrogate: escaped, still valid JSON.
  EXPECT_EQ(app::JsonString(std::u16string(1, char16_t{0xDC80})), "\"\\udc80\"");
}

TEST(KelvoOptionsTest, DecidesTheRun) {
  struct Case {
    std::vector<std::u16string> arguments;
    int exitCode;  // -1: a run
  };
  const Case cases[] = {
      {{u"-t", u"UTF8", u"a"}, -1},
      {{u"--detect", u"a"}, -1},
      {{u"a"}, 2},                    // no target
      {{u"-t", u"utf-8"}, 2},         // no path
      {{u"-t", u"latin1", u"a"}, 2},  // no encoding of ours
      {{u"-t", u"utf-8", u"-f", u"cp932", u"a"}, -1},
      {{u"-t", u"utf-8", u"--backup", u"a"}, 2},  // a backup needs --in-place
      {{u"-t", u"utf-8", u"--in-place", u"-o", u"o", u"a"}, 2},
      {{u"-t", u"utf-8", u"--progress=sometimes", u"a"}, 2},
      {{u"--help"}, 0},
      {{u"--version"}, 0},
      {{u"/?"}, 0},
  };
  for (const Case& c : cases) {
    const app::CommandLine line = app::ParseCommandLine(c.arguments, 2, true);
    EXPECT_EQ(line.run ? -1 : line.exitCode, c.exitCode) << line.err;
  }
  const auto backup =
      app::ParseCommandLine({u"-t", u"utf-8", u"--in-place", u"--backup", u"a"}, 2, false);
  EXPECT_EQ(backup.settings.backup, u".orig");
  EXPECT_EQ(backup.settings.paths, std::vector<std::u16string>{u"a"});  // the path is no suffix
  const auto suffix =
      app::ParseCommandLine({u"-t", u"utf-8", u"--in-place", u"--backup=.b", u"a"}, 2, false);
  EXPECT_EQ(suffix.settings.backup, u".b");
  EXPECT_EQ(app::ParseCommandLine({u"-t", u"utf-8", u"a"}, 3, false).settings.jobs, 3u);
}

}  // namespace
}  // namespace kelvo
