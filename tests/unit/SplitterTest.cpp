// The two field splitters and their field lists.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "drivers/ProgramRecord.h"
#include "fields/Divide.h"
#include "fields/DivideSJIS.h"
#include "fields/FieldsArray.h"
#include "fields/FieldsArrayMany.h"

namespace kelvo {
namespace {

using test::TempDir;

struct WideCase {
  const char* name;
  std::u16string line;
  bool drop;
  int limit;
  std::u16string selection;
  int expectedCount;
  std::vector<std::u16string> expectedFields;
};

// Test output names a case instead of dumping its bytes.
void PrintTo(const WideCase& c, std::ostream* out) {
  *out << c.name;
}

class WideSplit : public ::testing::TestWithParam<WideCase> {};

TEST_P(WideSplit, Fields) {
  TempDir dir;
  const WideCase& c = GetParam();
  FieldsList list;
  Dividing splitter;
  splitter.ConfigureQuoting(34, 44, c.drop);
  splitter.Prepare(&list, c.limit, c.selection);
  EXPECT_EQ(splitter.DivideAll(c.line.data(), static_cast<int>(c.line.size())), c.expectedCount);
  for (std::size_t i = 0; i < c.expectedFields.size(); ++i) {
    EXPECT_EQ(list.item(static_cast<int>(i)), c.expectedFields[i]) << "field " << i;
  }
  EXPECT_EQ(list.item(static_cast<int>(c.expectedFields.size())), u"");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

const std::u16string kAll = u"1111111";

INSTANTIATE_TEST_SUITE_P(
    Lines, WideSplit,
    ::testing::Values(
        WideCase{"Plain", u"a,b,c", true, 7, kAll, 3, {u"a", u"b", u"c"}},
        WideCase{"TrailingSeparator", u"a,b,", true, 7, kAll, 2, {u"a", u"b"}},
        WideCase{"EmptyMiddle", u"a,,b", true, 7, kAll, 3, {u"a", u"", u"b"}},
        WideCase{"EmptyLine", u"", true, 7, kAll, 0, {}},
        WideCase{"KeptInQuotes", u"\"x,y\",z", false, 7, kAll, 2, {u"\"x,y\"", u"z"}},
        WideCase{"DroppedInQuotes", u"\"x,y\",z", true, 7, kAll, 2, {u"\"xy\"", u"z"}},
        WideCase{"UnterminatedQuote", u"a,\"b,c,d", false, 7, kAll, 2, {u"a", u"\"b,c,d"}},
        WideCase{"LimitStopsReading", u"a,b,c", true, 2, kAll, 2, {u"a", u"b"}},
        WideCase{
            "ZeroUnitEndsField", std::u16string(u"ab\0c,d", 6), true, 7, kAll, 2, {u"ab", u"d"}},
        // An unselected field still counts but is not kept: list indexes count kept
        // fields only.
        WideCase{"Selection", u"a,b,c,d", true, 7, u"1011111", 4, {u"a", u"c", u"d"}},
        WideCase{"UnselectedLastNotCounted", u"a,b", true, 7, u"1011111", 1, {u"a"}},
        WideCase{
            "SurrogatesAreUnits", u"\xD842\xDFB7,x", true, 7, kAll, 2, {u"\xD842\xDFB7", u"x"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WideSplitter, FieldLongerThanBufferIsCutNotOverrun) {
  TempDir dir;
  std::u16string line(Dividing::kFieldBufferSize + 100, u'x');
  line += u",y";
  FieldsList list;
  Dividing splitter;
  splitter.ConfigureQuoting(34, 44, false);
  splitter.Prepare(&list, 7, kAll);
  EXPECT_EQ(splitter.DivideAll(line.data(), static_cast<int>(line.size())), 2);
  EXPECT_EQ(list.item(0).size(), Dividing::kFieldBufferSize);
  EXPECT_EQ(list.item(1), u"y");
}

struct IndexCase {
  int index;
  bool store;
  const char* message;
};

TEST(WideFieldsList, BadIndexIsReportedAndIgnored) {
  const IndexCase cases[] = {
      {-1, false, "item() error-770: i < 0"},
      {3071, false, "item() error-771: >= MAXIMUM_FIELD_COUNT"},
      {-1, true, "item() error-772: i < 0"},
      {3071, true, "item() error-773: >= MAXIMUM_FIELD_COUNT"},
  };
  for (const IndexCase& c : cases) {
    TempDir dir;
    FieldsList list;
    if (c.store) {
      list.item(u"x", c.index);
      EXPECT_EQ(list.item(0), u"");
      EXPECT_EQ(list.item(3070), u"");
    } else {
      EXPECT_EQ(list.item(c.index), u"");
    }
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.message}) << c.index;
  }
}

TEST(WideFieldsList, LastValidIndexHoldsText) {
  TempDir dir;
  FieldsList list;
  list.item(u"end", 3070);
  EXPECT_EQ(list.item(3070), u"end");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

// The byte splitter, configured the way the program search configures it, or with an
// explicit quote, separator and drop flag.
std::string CharacterTable() {
  std::string table;
  for (int k = 1; k <= 126; ++k) table.push_back(static_cast<char>(k));
  return table;
}

struct ByteCase {
  const char* name;
  std::string line;
  int separator;
  bool drop;
  int limit;
  bool doubleByte;
  int expectedCount;
  std::vector<std::string> expectedFields;
};

void PrintTo(const ByteCase& c, std::ostream* out) {
  *out << c.name;
}

class ByteSplit : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ByteSplit, Fields) {
  TempDir dir;
  const ByteCase& c = GetParam();
  FieldsListMany list;
  DividingSJIS splitter;
  splitter.ConfigureQuoting(CharacterTable(), 34, c.separator, c.drop);
  splitter.SetDoubleByte(c.doubleByte);
  splitter.Prepare(&list, c.limit);
  EXPECT_EQ(splitter.DivideConverting(c.line.data(), 1, static_cast<int>(c.line.size())),
            c.expectedCount);
  for (std::size_t i = 0; i < c.expectedFields.size(); ++i) {
    EXPECT_EQ(list.item(static_cast<int>(i)), c.expectedFields[i]) << "field " << i;
  }
  EXPECT_EQ(list.item(static_cast<int>(c.expectedFields.size())), "");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

constexpr int kSemicolon = 59;
constexpr int kComma = 44;
constexpr int kBackslash = 92;

INSTANTIATE_TEST_SUITE_P(
    Lines, ByteSplit,
    ::testing::Values(
        ByteCase{"Plain", "a;b;c", kSemicolon, true, 256, true, 3, {"a", "b", "c"}},
        ByteCase{"TrailingSeparator", "a;b;", kSemicolon, true, 256, true, 2, {"a", "b"}},
        ByteCase{"EmptyMiddle", "a;;b", kSemicolon, true, 256, true, 3, {"a", "", "b"}},
        ByteCase{"EmptyLine", "", kSemicolon, true, 256, true, 0, {}},
        ByteCase{"KeptInQuotes", "\"x,y\",z", kComma, false, 256, true, 2, {"\"x,y\"", "z"}},
        ByteCase{"DroppedInQuotes", "\"x,y\",z", kComma, true, 256, true, 2, {"\"xy\"", "z"}},
        ByteCase{"UnterminatedQuote", "a;\"b;c", kSemicolon, true, 256, true, 2, {"a", "\"bc"}},
        ByteCase{"LimitStopsReading", "a;b;c", kSemicolon, true, 2, true, 2, {"a", "b"}},
        ByteCase{"ZeroByteEndsField",
                 std::string("ab\0c;d", 6),
                 kSemicolon,
                 true,
                 256,
                 true,
                 2,
                 {"ab", "d"}},
        // Second bytes that look like a backslash, a separator or a quote.
        ByteCase{
            "SecondByteBackslash", "\x95\x5C;x", kSemicolon, true, 256, true, 2, {"\x95\x5C", "x"}},
        ByteCase{"SecondByteIsSeparator",
                 "\x95\x5C\\x",
                 kBackslash,
                 true,
                 256,
                 true,
                 2,
                 {"\x95\x5C", "x"}},
        ByteCase{
            "SecondByteSemicolon", "\x81\x3B;x", kSemicolon, true, 256, true, 2, {"\x81;", "x"}},
        ByteCase{"SecondByteQuote", "\xE0\x22;x", kSemicolon, true, 256, true, 2, {"\xE0\"", "x"}},
        ByteCase{"LeadByteA0", "\xA0;x", kSemicolon, true, 256, true, 1, {"\xA0;x"}},
        ByteCase{
            "SingleByteKatakana", "\xB1;\xDF", kSemicolon, true, 256, true, 2, {"\xB1", "\xDF"}},
        ByteCase{"TrailingLeadByteDropped", "ab\x82", kSemicolon, true, 256, true, 1, {"ab"}},
        ByteCase{"LoneTrailingLeadByteIsNoField", "a;\x82", kSemicolon, true, 256, true, 1, {"a"}},
        // Bytes that are not Shift_JIS: every byte stands alone.
        ByteCase{"Utf8NameBeforeSeparator",
                 "\xE3\x81\x82:x",
                 58,
                 true,
                 256,
                 false,
                 2,
                 {"\xE3\x81\x82", "x"}},
        ByteCase{
            "Utf8ReadAsShiftJis", "\xE3\x81\x82:x", 58, true, 256, true, 1, {"\xE3\x81\x82:x"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteSplitter, AppendsSeparatorAndSuffixToEveryField) {
  TempDir dir;
  FieldsListMany list;
  DividingSJIS splitter;
  splitter.Configure(CharacterTable(), kSemicolon);
  splitter.Prepare(&list, 256);
  const std::string line = "C:\\A;\"C:\\B;x\";;";
  EXPECT_EQ(
      splitter.DivideAppending(line.data(), static_cast<int>(line.size()), "t.bin", kBackslash), 3);
  EXPECT_EQ(list.item(0), "C:\\A\\t.bin");
  EXPECT_EQ(list.item(1), "\"C:\\Bx\"\\t.bin");
  EXPECT_EQ(list.item(2), "\\t.bin");
  EXPECT_EQ(list.item(3), "");
}

TEST(ByteSplitter, FieldsBeyondTheQueueAreLost) {
  TempDir dir;
  std::string line;
  for (int i = 0; i < 3080; ++i) line += std::to_string(i) + ";";
  FieldsListMany list;
  DividingSJIS splitter;
  splitter.Configure(CharacterTable(), kSemicolon);
  splitter.Prepare(&list, FieldsListMany::UPPER_LIMIT_TO_FIELD_NUMBER);
  EXPECT_EQ(splitter.DivideConverting(line.data(), 1, static_cast<int>(line.size())), 3071);
  EXPECT_EQ(list.item(3068), "3068");
  EXPECT_EQ(list.item(3069), "");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST(ByteSplitter, FieldLongerThanBufferIsCutNotOverrun) {
  TempDir dir;
  std::string line(DividingSJIS::kFieldBufferSize + 100, 'x');
  line += ";y";
  FieldsListMany list;
  DividingSJIS splitter;
  splitter.Configure(CharacterTable(), kSemicolon);
  splitter.Prepare(&list, 256);
  EXPECT_EQ(splitter.DivideConverting(line.data(), 1, static_cast<int>(line.size())), 2);
  EXPECT_EQ(list.item(0).size(), DividingSJIS::kFieldBufferSize);
  EXPECT_EQ(list.item(1), "y");
}

struct ByteIndexCase {
  const ProgramRecord* program;
  int index;
  bool store;
  const char* message;
};

TEST(ByteFieldsList, BadIndexIsReportedAndIgnored) {
  const ByteIndexCase cases[] = {
      {&kTamorlek, -1, false, "item() error-774: i < 0"},
      {&kTamorlek, 3071, false, "item() error-775: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
      {&kTamorlek, -1, true, "item() error-776: i < 0"},
      {&kTamorlek, 3071, true, "item() error-777: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
      {&kBrenodax, -5, false, "item() error-148: i < 0"},
      {&kBrenodax, 3071, false, "item() error-149: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
      {&kBrenodax, -1, true, "item() error-150: i < 0"},
      {&kBrenodax, 9999, true, "item() error-151: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
      {&kQuilvar, -1, false, "item() error-105: i < 0"},
      {&kQuilvar, 3071, false, "item() error-106: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
      {&kQuilvar, -1, true, "item() error-107: i < 0"},
      {&kQuilvar, 3071, true, "item() error-108: >= UPPER_LIMIT_TO_FIELD_NUMBER"},
  };
  for (const ByteIndexCase& c : cases) {
    SetCurrentProgram(*c.program);
    TempDir dir;
    FieldsListMany list;
    list.item("kept", 3070);
    if (c.store) {
      list.item("x", c.index);
    } else {
      EXPECT_EQ(list.item(c.index), "");
    }
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.message}) << c.message;
    EXPECT_EQ(list.item(3070), "kept");
  }
}

}  // namespace
}  // namespace kelvo
