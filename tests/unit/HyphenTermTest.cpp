#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "cmdline/HyphenTerm.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

using test::TempDir;
using Words = std::vector<std::u16string>;

std::string Narrow(const std::u16string& text) {
  return platform::ToAnsi(text);
}

// The flags that are on, one letter each, in a fixed order: 0 a b d G L s t u V w y z Z.
std::string FlagLetters(const HyphenTerms& terms) {
  std::string letters;
  using enum OptionEffect;
  const std::pair<OptionEffect, char> flags[] = {
      {WithCR, '0'},           {AcquireTable, 'a'}, {ViaBinaryTmp, 'b'},
      {DefaultTableOnly, 'd'}, {GuideWanted, 'G'},  {LineFeedMode, 'L'},
      {RemoveControls, 's'},   {SameTime, 't'},     {UnderscoreSurrogates, 'u'},
      {VersionWanted, 'V'},    {ShowTable, 'w'},    {KeepBinaryTmp, 'y'},
      {NoDefaultOutput, 'z'},  {WideFields, 'Z'},
  };
  for (const auto& [flag, letter] : flags) {
    if (terms.On(flag)) letters.push_back(letter);
  }
  return letters;
}

class HyphenTermTest : public ::testing::Test {
 protected:
  // Scans the words as the given program, with an optional settings file.
  static HyphenTerms Scan(const ProgramRecord& program, const Words& words,
                          std::optional<std::string> settings = std::nullopt) {
    if (settings) TempDir::Write(Narrow(program.options.settingsFile), *settings);
    HyphenTerms terms(words, program.options);
    EXPECT_TRUE(terms.SetUpTerms());
    terms.ScanTerms();
    return terms;
  }

  TempDir dir_;
};

TEST_F(HyphenTermTest, DefaultsAndTheMissingSettingsFile) {
  HyphenTerms terms = Scan(kBrenodax, {u"in.txt"});
  EXPECT_EQ(FlagLetters(terms), "0");
  EXPECT_EQ(terms.InputName(), u"in.txt");
  EXPECT_EQ(terms.OutputName(), u"brenodax.txt");
  EXPECT_EQ(terms.FieldLimit(), 255);
  EXPECT_EQ(terms.FieldNumber(), 255);
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{"Reset() error-156: set_brenodax.txt"});
}

TEST_F(HyphenTermTest, ExpandsCommandLineArguments) {
  struct Case {
    const ProgramRecord* program;
    std::u16string argument;
    Words words;  // appended after "-0"
  };
  const Case cases[] = {
      {&kTamorlek, u"", {u""}},
      {&kTamorlek, u"ab", {u"ab"}},
      {&kTamorlek, u"-x", {u"-x"}},
      {&kTamorlek, u"-CRLF", {u"-0"}},
      {&kTamorlek, u"--help", {u"-G"}},
      {&kTamorlek, u"-VC", {u"-G"}},
      {&kTamorlek, u"-LF", {u"-0-", u"-L"}},
      {&kBrenodax, u"--out", {u"-o-", u"-z"}},
      {&kQuilvar, u"--out", {u"-o-", u"-z"}},
      // A long word the program does not list stays whole (the forward program has no
      // "--out"); one-letter words written together are still split.
      {&kTamorlek, u"--out", {u"--out"}},
      {&kQuilvar, u"--verbose", {u"--verbose"}},
      {&kBrenodax, u"--LF", {u"--LF"}},
      {&kBrenodax, u"-verbose", {u"-v", u"-e", u"-r", u"-b", u"-o", u"-s", u"-e"}},
      {&kTamorlek, u"-lf", {u"-l", u"-f"}},
      {&kTamorlek, u"plain.txt", {u"plain.txt"}},
      {&kTamorlek, u"-r25", {u"-r25"}},
      {&kTamorlek, u"-b-x", {u"-b-x"}},
      {&kTamorlek, u"-J\\t", {u"-J\\t"}},
      {&kTamorlek, u"-a\u00e9b", {u"-a\u00e9b"}},
      {&kTamorlek, u"-jab", {u"-jab"}},
      {&kTamorlek, u"-qab", {u"-qab"}},
      {&kTamorlek, u"-abst", {u"-a", u"-b", u"-s", u"-t"}},
      {&kTamorlek, u"-bx-", {u"-b", u"-x", u"--"}},
      {&kTamorlek, u"-J,", {u"-J", u"-,"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.argument));
    HyphenTerms terms = Scan(*c.program, {u"in", c.argument});
    Words expected{u"-0", u"in"};
    expected.insert(expected.end(), c.words.begin(), c.words.end());
    EXPECT_EQ(terms.WordList(), expected);
  }
}

TEST_F(HyphenTermTest, SetsAndClearsFlags) {
  struct Case {
    const ProgramRecord* program;
    Words words;
    std::string flags;
  };
  const Case cases[] = {
      {&kTamorlek, {u"-abst"}, "0abst"},
      {&kTamorlek, {u"-abst", u"-b-"}, "0ast"},
      {&kTamorlek, {u"-bx-"}, "0b"},
      {&kTamorlek, {u"-LF"}, "L"},
      {&kTamorlek, {u"-L"}, "0L"},
      {&kTamorlek, {u"-LF", u"-CRLF"}, "0L"},
      {&kTamorlek, {u"-0-"}, ""},
      {&kTamorlek, {u"-G"}, "0G"},
      {&kTamorlek, {u"--help"}, "0G"},
      {&kTamorlek, {u"-VC"}, "0G"},
      {&kTamorlek, {u"-V"}, "0V"},
      {&kTamorlek, {u"-d", u"-w", u"-y", u"-z"}, "0dwyz"},
      {&kTamorlek, {u"-uZ"}, "0uZ"},
      {&kBrenodax, {u"-uZ"}, "0"},
      {&kQuilvar, {u"-u", u"-Z"}, "0"},
      {&kBrenodax, {u"--out"}, "0z"},
      {&kTamorlek, {u"--out"}, "0"},
      {&kTamorlek, {u"-x", u"-", u"-?", u"-b-x"}, "0"},
      {&kTamorlek, {u"-B", u"-g"}, "0"},
      {&kTamorlek, {u"-s", u"-s--"}, "0"},
      {&kQuilvar, {u"--b", u"--s", u"--LF", u"--verbose", u"--yes"}, "0"},
      {&kQuilvar, {u"-verbose"}, "0bs"},
  };
  for (const Case& c : cases) {
    Words words = c.words;
    words.insert(words.begin(), u"in");
    HyphenTerms terms = Scan(*c.program, words);
    EXPECT_EQ(FlagLetters(terms), c.flags) << Narrow(c.words[0]);
  }
}

TEST_F(HyphenTermTest, TakesPlainWordsAsNames) {
  struct Case {
    const ProgramRecord* program;
    Words words;
    std::u16string input, oValue, output;
  };
  const Case cases[] = {
      {&kTamorlek, {u"-o", u"out", u"in"}, u"in", u"out", u"tamorlek.txt"},
      {&kTamorlek, {u"in", u"-o", u"out"}, u"in", u"out", u"tamorlek.txt"},
      {&kTamorlek, {u"a", u"b", u"c"}, u"a", u"", u"c"},
      {&kTamorlek, {u"-z", u"in"}, u"in", u"", u""},
      {&kTamorlek, {u"-z", u"in", u"out"}, u"in", u"", u"out"},
      {&kBrenodax, {u"--out", u"in"}, u"in", u"", u""},
      {&kQuilvar, {u"-o", u"x", u"--out", u"in"}, u"in", u"", u""},
      {&kTamorlek, {u"-o", u"x", u"-o-", u"in"}, u"in", u"", u"tamorlek.txt"},
      // "-_" takes the next plain word, which no name becomes; "-o" comes first.
      {&kTamorlek, {u"-_", u"list", u"in"}, u"in", u"", u"tamorlek.txt"},
      {&kTamorlek, {u"-_", u"-o", u"out", u"list", u"in"}, u"in", u"out", u"tamorlek.txt"},
      {&kTamorlek, {u"-_", u"-_-", u"in", u"out"}, u"in", u"", u"out"},
      {&kTamorlek, {u"-x", u"-", u"in"}, u"in", u"", u"tamorlek.txt"},
      {&kQuilvar, {u"-s"}, u"", u"", u"quilvar.txt"},
      {&kQuilvar, {u"--verbose", u"in", u"out"}, u"in", u"", u"out"},
      {&kTamorlek, {u"--output", u"in", u"--overwrite", u"out"}, u"in", u"", u"out"},
      // A single hyphen before letters still applies each letter: "-o" takes the input.
      {&kQuilvar, {u"-verbose", u"in", u"out"}, u"out", u"in", u"quilvar.txt"},
  };
  for (const Case& c : cases) {
    HyphenTerms terms = Scan(*c.program, c.words);
    EXPECT_EQ(terms.InputName(), c.input);
    EXPECT_EQ(terms.NamedOutput(), c.oValue);
    EXPECT_EQ(terms.OutputName(), c.output);
  }
}

TEST_F(HyphenTermTest, ReadsNumberedWords) {
  struct Case {
    const ProgramRecord* program;
    Words words;
    std::int32_t fieldLimit, fieldNumber;
    std::vector<std::string> logs;  // beyond the missing settings file
  };
  const Case cases[] = {
      {&kTamorlek, {u"-r2"}, 255, 2, {}},
      {&kTamorlek, {u"-r007"}, 255, 7, {}},
      {&kTamorlek, {u"-r2a"}, 255, 255, {}},
      {&kTamorlek, {u"-Z"}, 3071, 3071, {}},
      {&kTamorlek, {u"-r255", u"-Z"}, 3071, 255, {}},
      {&kBrenodax, {u"-r2", u"-Z"}, 255, 255, {}},
      {&kBrenodax, {u"-r99999999999"}, 255, 255, {}},
      {&kTamorlek, {u"-r99999999999"}, 255, 255, {"sequence_to_integer() error-784: 99999999999"}},
      {&kTamorlek, {u"-P15", u"-P15x", u"-P2147483647"}, 255, 255, {}},
      {&kTamorlek, {u"-P2147483648"}, 255, 255, {"sequence_to_integer() error-784: 2147483648"}},
      {&kBrenodax,
       {u"-P999999999999"},
       255,
       255,
       {"sequence_to_integer() error-158: 999999999999"}},
      {&kQuilvar,
       {u"-r2", u"-}99999999999"},
       255,
       255,
       {"sequence_to_integer() error-113: 99999999999"}},
      {&kQuilvar, {u"-{99999999999"}, 255, 255, {"sequence_to_integer() error-113: 99999999999"}},
      {&kTamorlek, {u"-}7", u"-{8", u"-I3x5", u"-I35", u"-~4-9"}, 255, 255, {}},
      {&kTamorlek,
       {u"-I99999999999x5", u"-~4-99999999999"},
       255,
       255,
       {"sequence_to_integer() error-784: 99999999999",
        "sequence_to_integer() error-784: 99999999999"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Words words{u"in"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    HyphenTerms terms = Scan(*c.program, words);
    SCOPED_TRACE(Narrow(c.words[0]));
    EXPECT_EQ(terms.FieldLimit(), c.fieldLimit);
    EXPECT_EQ(terms.FieldNumber(), c.fieldNumber);
    EXPECT_EQ(FlagLetters(terms), c.fieldLimit == 3071 ? "0Z" : "0");
    std::vector<std::string> logs = TempDir::ErrorMessages();
    // Every scan logs the missing settings file first.
    std::vector<std::string> rest;
    for (const std::string& log : logs) {
      if (log.rfind("Reset()", 0) != 0) rest.push_back(log);
    }
    EXPECT_EQ(rest, c.logs);
  }
}

TEST_F(HyphenTermTest, ConsumesWordsThatChangeNothing) {
  // Values after a letter that nothing reads: each word is taken and is no name, no flag.
  const Words cases[] = {
      {u"-J\\t"}, {u"-J\\x41"}, {u"-J,"}, {u"-Q1"},         {u"-jABC"},
      {u"-q'"},   {u"-e0101"},  {u"-E1"}, {u"-_", u"list"}, {u"-_", u"list", u"-_-"},
  };
  for (const Words& words : cases) {
    TempDir dir;
    Words all{u"in"};
    all.insert(all.end(), words.begin(), words.end());
    HyphenTerms terms = Scan(kTamorlek, all);
    SCOPED_TRACE(Narrow(words[0]));
    EXPECT_EQ(FlagLetters(terms), "0");
    EXPECT_EQ(terms.InputName(), u"in");
    EXPECT_EQ(terms.NamedOutput(), u"");
    EXPECT_EQ(terms.OutputName(), u"tamorlek.txt");
    EXPECT_EQ(TempDir::ErrorMessages().size(), 1u);
  }
}

TEST_F(HyphenTermTest, ReadsTheSettingsFile) {
  struct Case {
    std::string file;
    Words words;
    std::string flags;
    std::u16string input;
  };
  const std::string many = [] {
    std::string lines = "table\r\n";
    for (int i = 1; i <= 63; ++i) lines += "-y\r\n";
    return lines + "-s\r\n-b\r\n";
  }();
  const Case cases[] = {
      {"C:\\t.bin\r\n-b\tcomment\r\n", {u"in"}, "0b", u"in"},
      {"t\r\n-LF\r\n", {u"in"}, "0", u"in"},
      {"t\r\n-ab\r\n", {u"in"}, "0", u"in"},
      {"t\r\nfile.txt\r\n", {u"-V"}, "0V", u"file.txt"},
      {"t\r\n-b\r\n", {u"in", u"-b-"}, "0", u"in"},
      {"t\r\n-b\r\n\r\n-s\r\n", {u"in"}, "0b", u"in"},
      {"t\r\n-b\r\n\tonly a comment\r\n-s\r\n", {u"in"}, "0b", u"in"},
      {"t\n-b\n-s", {u"in"}, "0bs", u"in"},
      {"t\r-b\r-s\r\n", {u"in"}, "0bs", u"in"},
      {"", {u"in"}, "0", u"in"},
      {"only\r\n", {u"in"}, "0", u"in"},
      {"-b\r\n", {u"in"}, "0", u"in"},
      {"\r\n-w\r\n", {u"in"}, "0w", u"in"},
      {many, {u"in"}, "0sy", u"in"},
      // A UTF-8 byte-order mark makes the file UTF-8.
      {"\xEF\xBB\xBFt\r\n-b\r\n", {u"in"}, "0b", u"in"},
      {"\xEF\xBB\xBF"
       "C:\\\xE8\xA1\xA8\\t.bin\r\n\xE8\xA1\xA8.txt\r\n",
       {u"-V"},
       "0V",
       u"\u8868.txt"},
      {"\xEF\xBB\xBF", {u"in"}, "0", u"in"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    HyphenTerms terms = Scan(kTamorlek, c.words, c.file);
    SCOPED_TRACE(c.file.substr(0, 40));
    EXPECT_EQ(FlagLetters(terms), c.flags);
    EXPECT_EQ(terms.InputName(), c.input);
    EXPECT_TRUE(TempDir::ErrorLogs().empty());
  }
}

TEST_F(HyphenTermTest, CutsLongSettingsLinesAndKeepsOnly64) {
  const std::string longLine(300, 'a');
  HyphenTerms terms = Scan(kBrenodax, {u"-s"}, "t\r\n" + longLine + "\tx\r\n");
  EXPECT_EQ(terms.InputName(), std::u16string(256, u'a'));

  std::string lines = "t\r\n";
  for (int i = 1; i <= 200; ++i) lines += "w" + std::to_string(i) + "\r\n";
  terms = Scan(kBrenodax, {u"-s"}, lines);
  ASSERT_EQ(terms.SetFileWords().size(), 65u);
  EXPECT_EQ(terms.SetFileWords()[64], u"w64");
  // 64 settings words and the command-line word after "-0".
  EXPECT_EQ(terms.WordList().size(), 66u);
  EXPECT_EQ(terms.OutputName(), u"w64");
}

TEST_F(HyphenTermTest, SettingsFileIsReadInItsProgramsName) {
  TempDir::Write("set_tamorlek.txt", "t\r\n-b\r\n");
  HyphenTerms terms = Scan(kQuilvar, {u"in"});
  EXPECT_EQ(FlagLetters(terms), "0");
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{"Reset() error-111: set_quilvar.txt"});
}

TEST_F(HyphenTermTest, NothingToScanWithoutFirstArgument) {
  for (const Words& words : {Words{}, Words{u""}}) {
    TempDir dir;
    HyphenTerms terms(words, kTamorlek.options);
    EXPECT_FALSE(terms.SetUpTerms());
    EXPECT_EQ(TempDir::ErrorMessages(),
              std::vector<std::string>{
                  "ParamStr() error-783: ParamStr(1) = EMPTY\r\ntamorlek --help\r\n"});
  }
}

TEST_F(HyphenTermTest, ManyShortArgumentsAllCount) {
  // More words than the 64 per argument character the list was first sized for.
  Words words(100, u"");
  words[0] = u"in";
  words.push_back(u"-s");
  HyphenTerms terms = Scan(kTamorlek, words);
  EXPECT_EQ(FlagLetters(terms), "0s");
  EXPECT_EQ(terms.WordList().size(), 102u);
}

}  // namespace
}  // namespace kelvo
