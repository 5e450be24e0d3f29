// The built-in surrogate list, the forward code table and its two list loaders.
#include <gtest/gtest.h>

#include <string>

#include "ForwardTableFixture.h"
#include "convert/PastoralUTF16.h"
#include "fields/PutCSV.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

using test::ForwardTableFixture;
using test::TempDir;
using test::Utf16;

class CodeTableTest : public ForwardTableFixture {
 protected:
  // Loads the table and the list; whether both could be loaded.
  platform::Result Load(SurrogateList list = SurrogateList::Replacements) {
    return table_.LoadTableAndList(SearchTable{}, kTamorlek.engine.table, list).table;
  }
  PastoralSceneUTF16 table_{kTamorlek.forward.lists};
};

TEST(PutSurroCsvTest, WritesTheSixtyByteListAndReportsAFailedWrite) {
  TempDir dir;
  TempDir::Write("surro.csv", "old content that is replaced");
  EXPECT_TRUE(PutSurroCSV(802).WriteList(u"surro.csv"));
  const std::string expected = Utf16(u"\xD85F\xDDA0,D85F,DDA0,27DA0,31,414,\x8CE3\r\n", true);
  EXPECT_EQ(expected.size(), 60u);
  EXPECT_EQ(TempDir::Read("surro.csv"), expected);

  EXPECT_FALSE(PutSurroCSV(802).WriteList(u"no-such-dir/surro.csv"));
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{"Rewrite() error-802: no-such-dir/surro.csv"});
}

TEST_F(CodeTableTest, EntersRecordsByKindWithTheLaterRecordWinning) {
  ASSERT_TRUE(Load());
  struct Case {
    char32_t unit;
    int kind, first, second;
  };
  const Case cases[] = {
      {0x41, 0, 0x41, 0},
      {test::kHiragana, 1, 0xA4, 0xA2},
      {test::kHalfwidth, 2, 0xB1, 0},
      {test::kTwice, 1, 0xB0, 0xEC},
      {test::kAbsent, 0, 0, 0},
      {0x0000, 0, 0, 0},
      {0xFFE7, 0, 0, 0},
      {0xFFFF, 0, 0, 0},  // beyond the table
      {0xD85F, 3, 0, 0},
      {0xD842, 0, 0, 0},  // listed / unlisted high surrogate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.unit));
    EXPECT_EQ(table_.Entry(c.unit, 0), c.kind);
    EXPECT_EQ(table_.Entry(c.unit, 1), c.first);
    EXPECT_EQ(table_.Entry(c.unit, 2), c.second);
  }
  EXPECT_EQ(table_.Entry(0x41, 3), 0);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(CodeTableTest, BuiltInAndUserAddedLinesMapPairsToTheirReplacements) {
  // U+20B9F: high D842h, low DF9Fh, row 2, column 925, replaced by U+53F1. A last line
  // without a line feed is not entered.
  std::string list = TempDir::Read("surro.csv");
  list += Utf16(u"\xD842\xDF9F,D842,DF9F,20B9F,2,925,\x53F1\r\n", false);
  list += Utf16(u"\xD844\xDC05,D844,DC05,21005,4,3,\x53F1", false);
  TempDir::Write("surro.csv", list);
  ASSERT_TRUE(Load());
  EXPECT_EQ(table_.SurrogateUnit(0xD85F, 0xDDA0), test::kReplacement);
  EXPECT_EQ(table_.SurrogateUnit(0xD842, 0xDF9F), test::kUserReplacement);
  EXPECT_EQ(table_.SurrogateEntry(0xD842, 0xDF9F, 1), 0xC0);
  EXPECT_EQ(table_.SurrogateUnit(0xD844, 0xDC05), 0);
  EXPECT_EQ(table_.Entry(0xD844, 0), 0);
  std::uint8_t bytes[2] = {0, 0};
  EXPECT_EQ(table_.ReplacementBytes(0xD85F, 0xDDA0, bytes), 2);
  EXPECT_EQ(bytes[0], 0xE7);
  EXPECT_EQ(bytes[1], 0xAA);
  // Positions outside the index and unlisted positions have no replacement.
  EXPECT_EQ(table_.ReplacementBytes(0xD85F, 0xDC00, bytes), 0);
  EXPECT_EQ(table_.ReplacementBytes(0xD85F, 0xDDA1, bytes), 0);
  EXPECT_EQ(table_.SurrogateUnit(0xD83F, 0xDDA0), 0);
  EXPECT_EQ(table_.SurrogateUnit(0xD8C0, 0xDDA0), 0);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(CodeTableTest, ReplacementsWithoutATwoByteCode) {
  // Replacements: "A" (unmapped, written as its own byte), U+FF71 (one-byte code), U+4E01
  // (absent from the table: no replacement), a control and an unmapped U+00E9 (no
  // replacement: its byte would be an EUC-JP lead byte).
  std::string list = Utf16(u"x,D840,DC02,20000,0,0,A\r\n", true);
  list += Utf16(u"x,D840,DC03,20001,0,1,\xFF71\r\n", false);
  list += Utf16(u"x,D840,DC04,20002,0,2,\x4E01\r\n", false);
  list += Utf16(u"x,D840,DC05,20003,0,3,\x0007\r\n", false);
  list += Utf16(u"x,D840,DC06,20004,0,4,\x00E9\r\n", false);
  TempDir::Write("surro.csv", list);
  ASSERT_TRUE(Load());
  std::uint8_t bytes[2] = {0, 0};
  EXPECT_EQ(table_.ReplacementBytes(0xD840, 0xDC02, bytes), 1);
  EXPECT_EQ(bytes[0], 'A');
  EXPECT_EQ(table_.ReplacementBytes(0xD840, 0xDC03, bytes), 1);
  EXPECT_EQ(bytes[0], 0xB1);
  EXPECT_EQ(table_.ReplacementBytes(0xD840, 0xDC04, bytes), 0);
  EXPECT_EQ(table_.ReplacementBytes(0xD840, 0xDC05, bytes), 0);
  EXPECT_EQ(table_.ReplacementBytes(0xD840, 0xDC06, bytes), 0);
}

TEST_F(CodeTableTest, LinesThatDoNotFitAreSkippedAndReported) {
  struct Case {
    const char* why;
    std::u16string line;
    std::vector<std::string> messages;  // after the line's own report, in order
  };
  const std::u16string longLine = u"x,D840,DC02,20000,0,0,\x53F1," + std::u16string(110, u'z');
  const Case cases[] = {
      {"row beyond the index", u"x,D840,DC02,20000,128,0,\x53F1", {}},
      {"negative column", u"x,D840,DC00,20000,0,-2,\x53F1", {}},
      {"column beyond the index", u"x,D840,DC02,20000,0,1024,\x53F1", {}},
      {"row not a number", u"x,D840,DC02,20000,r,0,\x53F1", {"sequence_to_integer() error-791: r"}},
      {"high surrogate below the index", u"x,D83F,DC02,1FC00,0,0,\x53F1", {}},
      {"high surrogate above the index", u"x,D8C0,DC02,40000,0,0,\x53F1", {}},
      {"not a surrogate at all", u"x,0041,DC02,41,0,0,\x53F1", {}},
      {"nine hexadecimal digits", u"x,00000D840,DC02,20000,0,0,\x53F1", {}},
      {"longer than the line buffer", longLine, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TempDir dir;  // a fresh directory for each line
    SetUp();
    TempDir::Write("surro.csv", Utf16(c.line + u"\r\n"));
    PastoralSceneUTF16 table(kTamorlek.forward.lists);
    ASSERT_TRUE(
        table.LoadTableAndList(SearchTable{}, kTamorlek.engine.table, SurrogateList::Replacements)
            .table);
    std::vector<std::string> expected = c.messages;
    ASSERT_FALSE(TempDir::ErrorMessages().empty());
    const std::string last = TempDir::ErrorMessages().back();
    EXPECT_EQ(last.rfind("LoadSurrogateList() error-790: surro.csv line 1: x,", 0), 0u) << last;
    expected.push_back(last);
    EXPECT_EQ(TempDir::ErrorMessages(), expected);
    // Nothing of the line was entered: the "A" of the table keeps its kind, and no high
    // surrogate is marked.
    EXPECT_EQ(table.Entry(0x41, 0), 0);
    for (char32_t high = 0xD800; high < 0xDC00; ++high) ASSERT_EQ(table.Entry(high, 0), 0);
  }
}

TEST_F(CodeTableTest, RefusedLineReportNamesTheLineAndBlankLinesAreRefusedToo) {
  std::string list = TempDir::Read("surro.csv");
  list += Utf16(u"\r\n", false);
  list += Utf16(u"a,D842,DF9F,20B9F,2,9999,\x53F1\r\n", false);
  TempDir::Write("surro.csv", list);
  ASSERT_TRUE(Load());
  EXPECT_EQ(TempDir::ErrorMessages(),
            (std::vector<std::string>{
                "sequence_to_integer() error-791: ", "sequence_to_integer() error-791: ",
                "LoadSurrogateList() error-790: surro.csv line 2: ",
                platform::ToAnsi(u"LoadSurrogateList() error-790: surro.csv line 3: "
                                 u"a,D842,DF9F,20B9F,2,9999,\x53F1")}));
  EXPECT_EQ(table_.SurrogateUnit(0xD85F, 0xDDA0), test::kReplacement);
}

TEST_F(CodeTableTest, MissingSurrogateListLeavesTheBuiltInList) {
  std::filesystem::remove("surro.csv");
  EXPECT_TRUE(Load());
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{"Reset() error-792: surro.csv"});
  EXPECT_EQ(table_.SurrogateUnit(0xD85F, 0xDDA0), test::kReplacement);
}

TEST_F(CodeTableTest, UnderscoreListMapsEveryListedCharacterToTheLowLine) {
  // The line written by the field selection, a second code point, a lower-case line (its
  // run of digits is 27h), one outside the supplementary range, nine digits, and a code
  // point whose low surrogate DC01h lies before the index. An empty line ends the list.
  TempDir::Write("surro.txt",
                 "27DA0,\r\n20B9F\r\n27da0\r\n1F600\r\n000027DA0\r\n20001\r\n\r\n2A6D6\r\n");
  ASSERT_TRUE(Load(SurrogateList::Underscores));
  EXPECT_EQ(table_.SurrogateUnit(0xD85F, 0xDDA0), test::kLowLine);
  EXPECT_EQ(table_.SurrogateUnit(0xD842, 0xDF9F), test::kLowLine);
  EXPECT_EQ(table_.Entry(0xD85F, 0), 3);
  EXPECT_EQ(table_.Entry(0xD869, 0), 0);  // U+2A6D6 comes after the empty line
  EXPECT_EQ(TempDir::ErrorMessages(),
            (std::vector<std::string>{
                "LoadUnderscoreList() error-794: surro.txt line 3: 27da0",
                "LoadUnderscoreList() error-794: surro.txt line 4: 1F600",
                "LoadUnderscoreList() error-794: surro.txt line 5: 000027DA0",
                "LoadUnderscoreList() error-794: surro.txt line 6: 20001",
            }));
}

TEST_F(CodeTableTest, MissingUnderscoreListIsReportedAndTheRunGoesOn) {
  EXPECT_TRUE(Load(SurrogateList::Underscores));
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{"Reset() error-829: surro.txt"});
  EXPECT_EQ(table_.Entry(0xD85F, 0), 0);
}

TEST(HexadecimalReaderTest, ReadsTheLeadingUpperCaseRun) {
  struct Case {
    std::u16string text;
    int length;
    std::int64_t value;
  };
  const Case cases[] = {
      {u"27DA0,", 8, 0x27DA0},
      {u"D85F", 8, 0xD85F},
      {u"27da0", 8, 0x27},
      {u"", 8, 0},
      {u",1", 8, 0},
      {u"FFFFFFFF", 8, 0xFFFFFFFF},
      {u"123456789", 8, 0x12345678},
      {u"ABC", 2, 0xAB},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PastoralSceneUTF16::hexadecimal_sequence_to_integer(c.text, c.length), c.value);
  }
  EXPECT_EQ(PastoralSceneUTF16::HexRunLength(u"123456789,"), 9);
}

}  // namespace
}  // namespace kelvo
