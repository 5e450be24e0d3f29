#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "cmdline/Numbered.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

using test::TempDir;

class NumberedTermTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentProgram(kTamorlek); }
  void TearDown() override { SetCurrentProgram(kTamorlek); }
  TempDir dir_;
};

TEST(CountTrailingDigitsTest, CountsFromTheEnd) {
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"", 0}, {u"abc", 0}, {u"a12", 2}, {u"123", 3}, {u"1a2", 1}, {u"-r\uFF11", 0},
  };
  for (const auto& [text, count] : cases) {
    EXPECT_EQ(NumberedTerm::CountTrailingDigits(text), count);
  }
}

TEST_F(NumberedTermTest, SplitsWordsAndRanges) {
  enum class Mode { Split, SplitRange };
  struct Case {
    Mode mode;
    std::u16string word;
    bool range;  // the result of FindRange
    std::u16string prefix;
    std::int32_t first, second;
    std::vector<std::string> logs;
  };
  const Case cases[] = {
      {Mode::Split, u"-r2", false, u"-r", 2, -1, {}},
      {Mode::Split, u"-r007", false, u"-r", 7, -1, {}},
      {Mode::Split, u"-P15x", true, u"-P", -1, 15, {"sequence_to_integer() error-784: "}},
      {Mode::Split, u"-I35", false, u"-I", 35, -1, {}},
      {Mode::Split, u"-I3x5", true, u"-I", 5, 3, {}},
      {Mode::SplitRange, u"-I3x5", true, u"-I", 5, 3, {}},
      {Mode::SplitRange, u"-I35", true, u"-I", 2147483646, 35, {}},
      {Mode::SplitRange, u"-~10-20", true, u"-~", 20, 10, {}},
      {Mode::Split, u"-r2147483647", false, u"-r", 2147483647, -1, {}},
      {Mode::Split,
       u"-r2147483648",
       false,
       u"-r",
       -1,
       -1,
       {"sequence_to_integer() error-784: 2147483648"}},
      {Mode::Split,
       u"-r123456789012",
       false,
       u"-r",
       -1,
       -1,
       {"sequence_to_integer() error-784: 123456789012"}},
      {Mode::SplitRange, u"-I3x", true, u"-I", -1, 3, {"sequence_to_integer() error-784: "}},
      // Degenerate words must not reach outside the text.
      {Mode::Split, u"", false, u"", -1, -1, {"sequence_to_integer() error-784: "}},
      {Mode::SplitRange, u"7", true, u"", 2147483646, 7, {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    SCOPED_TRACE(platform::ToAnsi(c.word));
    NumberedTerm term;
    if (c.mode == Mode::Split) {
      term.Split(c.word);
    } else {
      term.SplitRange(c.word, 2147483646);
    }
    EXPECT_EQ(term.FindRange(), c.range);
    EXPECT_EQ(term.Prefix(), c.prefix);
    EXPECT_EQ(term.FirstNumber(), c.first);
    EXPECT_EQ(term.SecondNumber(), c.second);
    EXPECT_EQ(TempDir::ErrorMessages(), c.logs);
  }
}

TEST_F(NumberedTermTest, WithoutFindRangeThePrefixIsTheWordWithoutItsDigits) {
  struct Case {
    std::u16string word, prefix;
    std::int32_t first;
  };
  const Case cases[] = {
      {u"-I3x5", u"-I3x", 5},
      {u"-P15x", u"-P15x", -1},
      {u"-r2a", u"-r2a", -1},
  };
  for (const Case& c : cases) {
    NumberedTerm term;
    term.SplitRange(c.word, 2147483646);
    EXPECT_EQ(term.Prefix(), c.prefix);
    EXPECT_EQ(term.FirstNumber(), c.first);
    EXPECT_EQ(term.SecondNumber(), -1);
  }
}

TEST_F(NumberedTermTest, OverflowIsLoggedWithTheProgramsNumber) {
  const std::pair<const ProgramRecord*, std::string> cases[] = {
      {&kTamorlek, "sequence_to_integer() error-784: 99999999999"},
      {&kBrenodax, "sequence_to_integer() error-158: 99999999999"},
      {&kQuilvar, "sequence_to_integer() error-113: 99999999999"},
  };
  for (const auto& [program, log] : cases) {
    TempDir dir;
    SetCurrentProgram(*program);
    NumberedTerm term;
    EXPECT_EQ(term.sequence_to_integer(u"99999999999"), -1);
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{log});
  }
}

TEST_F(NumberedTermTest, ConvertsOnlyDecimalDigits) {
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"0", 0}, {u"42", 42}, {u"0000000000002", 2}, {u"-1", -1}, {u"1 ", -1}, {u"\uFF11", -1},
  };
  for (const auto& [text, value] : cases) {
    NumberedTerm term;
    EXPECT_EQ(term.sequence_to_integer(text), value) << platform::ToAnsi(text);
  }
  EXPECT_EQ(TempDir::ErrorMessages().size(), 3u);
}

}  // namespace
}  // namespace kelvo
