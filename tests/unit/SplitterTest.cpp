// The two field splitters and their field lists.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "TempDir.h"
#include "split/Divide.h"
#include "split/DivideSJIS.h"
#include "split/FieldsArray.h"
#include "split/FieldsArrayMany.h"

namespace kelvo {
namespace {

using test::TempDir;

constexpr FieldListNumbers kListNumbers{
    .readLow = 774, .readHigh = 775, .storeLow = 776, .storeHigh = 777};
constexpr QueueNumbers kQueueNumbers{.count = 765, .unoccupied = 766};

constexpr int kDoubleQuote = 34;
constexpr int kComma = 44;
constexpr int kColon = 58;
constexpr int kSemicolon = 59;
constexpr int kBackslash = 92;

// The byte splitter's character table as the program search makes it: byte k holds k.
std::string CharacterTable() {
  std::string table;
  for (int k = 1; k <= 126; ++k) table.push_back(static_cast<char>(k));
  return table;
}

// How a splitter is set up: the double quote as quote character, every field up to the
// limit taken unless the selection (UTF-16 splitter) says otherwise, double-byte characters
// (byte splitter) as given.
struct Setup {
  int separator = kComma;
  bool drop = true;
  int limit = 256;
  std::u16string selection = std::u16string(kFieldLimit, u'1');
  bool doubleByte = true;
};

// The two splitters behind one face: a line in, the count and the list's items out.
class WideSplitter {
 public:
  using Text = std::u16string;
  using List = FieldsList;
  static constexpr std::string_view kLimitName = "MAXIMUM_FIELD_COUNT";
  static constexpr std::size_t kFieldBufferSize = Dividing::kFieldBufferSize;
  static Text FromAscii(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

  explicit WideSplitter(const Setup& setup) {
    splitter_.ConfigureQuoting(kDoubleQuote, setup.separator, setup.drop);
    splitter_.Prepare(&list_, setup.limit, setup.selection);
  }
  int Divide(const Text& line) {
    return splitter_.DivideAll(line.data(), static_cast<int>(line.size()));
  }
  Text Item(int i) const { return list_.item(i); }

 private:
  List list_{kListNumbers};
  Dividing splitter_;
};

class ByteSplitter {
 public:
  using Text = std::string;
  using List = FieldsListMany;
  static constexpr std::string_view kLimitName = "UPPER_LIMIT_TO_FIELD_NUMBER";
  static constexpr std::size_t kFieldBufferSize = DividingSJIS::kFieldBufferSize;
  static Text FromAscii(std::string_view ascii) { return Text(ascii); }

  explicit ByteSplitter(const Setup& setup) : splitter_(kQueueNumbers) {
    splitter_.ConfigureQuoting(CharacterTable(), kDoubleQuote, setup.separator, setup.drop);
    splitter_.SetDoubleByte(setup.doubleByte);
    splitter_.Prepare(&list_, setup.limit);
  }
  int Divide(const Text& line) {
    return splitter_.DivideConverting(line.data(), 1, static_cast<int>(line.size()));
  }
  Text Item(int i) const { return list_.item(i); }

 private:
  List list_{kListNumbers};
  DividingSJIS splitter_;
};

// Divides the line and holds the count and the list to the expected fields; the item after
// them is empty.
template <class Splitter>
void ExpectSplit(const Setup& setup, const typename Splitter::Text& line, int expectedCount,
                 const std::vector<typename Splitter::Text>& expectedFields) {
  Splitter splitter(setup);
  EXPECT_EQ(splitter.Divide(line), expectedCount);
  for (std::size_t i = 0; i < expectedFields.size(); ++i) {
    EXPECT_EQ(splitter.Item(static_cast<int>(i)), expectedFields[i]) << "field " << i;
  }
  EXPECT_EQ(splitter.Item(static_cast<int>(expectedFields.size())), typename Splitter::Text());
}

template <class Splitter>
class BothSplitters : public ::testing::Test {};
using Splitters = ::testing::Types<WideSplitter, ByteSplitter>;
TYPED_TEST_SUITE(BothSplitters, Splitters);

struct LineCase {
  const char* name;
  std::string line;
  int separator;
  bool drop;
  int limit;
  int expectedCount;
  std::vector<std::string> expectedFields;
};

const LineCase kSharedLines[] = {
    {"Plain", "a,b,c", kComma, true, 256, 3, {"a", "b", "c"}},
    {"PlainSemicolons", "a;b;c", kSemicolon, true, 256, 3, {"a", "b", "c"}},
    {"TrailingSeparator", "a,b,", kComma, true, 256, 2, {"a", "b"}},
    {"EmptyMiddle", "a;;b", kSemicolon, true, 256, 3, {"a", "", "b"}},
    {"EmptyLine", "", kComma, true, 256, 0, {}},
    {"KeptInQuotes", "\"x,y\",z", kComma, false, 256, 2, {"\"x,y\"", "z"}},
    {"DroppedInQuotes", "\"x,y\",z", kComma, true, 256, 2, {"\"xy\"", "z"}},
    {"QuoteInsideField", "a\"b,c\"d,e", kComma, false, 256, 2, {"a\"b,c\"d", "e"}},
    {"DoubledQuotesKept", "\"a\"\"b\",c", kComma, true, 256, 2, {"\"a\"\"b\"", "c"}},
    {"AfterDoubledQuoteKept", "\"a\"\",b\",c", kComma, false, 256, 2, {"\"a\"\",b\"", "c"}},
    {"AfterDoubledQuoteDropped", "\"a\"\",b\",c", kComma, true, 256, 2, {"\"a\"\"b\"", "c"}},
    {"UnterminatedQuoteKept", "a,\"b,c,d", kComma, false, 256, 2, {"a", "\"b,c,d"}},
    {"UnterminatedQuoteDropped", "a;\"b;c", kSemicolon, true, 256, 2, {"a", "\"bc"}},
    {"LimitStopsReading", "a,b,c", kComma, true, 2, 2, {"a", "b"}},
    {"LimitAfterQuotedSeparator", "\"a,b\",c", kComma, true, 1, 1, {"\"ab\""}},
    // With no field to take, the first field is still counted.
    {"LimitZero", "a,b", kComma, true, 0, 1, {}},
    {"ZeroEndsField", std::string("ab\0c;d", 6), kSemicolon, true, 256, 2, {"ab", "d"}},
};

TYPED_TEST(BothSplitters, AgreeOnQuotedLines) {
  TempDir dir;
  for (const LineCase& c : kSharedLines) {
    SCOPED_TRACE(c.name);
    std::vector<typename TypeParam::Text> fields;
    for (const std::string& field : c.expectedFields) fields.push_back(TypeParam::FromAscii(field));
    ExpectSplit<TypeParam>({.separator = c.separator, .drop = c.drop, .limit = c.limit},
                           TypeParam::FromAscii(c.line), c.expectedCount, fields);
  }
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TYPED_TEST(BothSplitters, FieldLongerThanBufferIsCutNotOverrun) {
  TempDir dir;
  TypeParam splitter({.separator = kSemicolon, .drop = false});
  const std::string line = std::string(TypeParam::kFieldBufferSize + 100, 'x') + ";y";
  EXPECT_EQ(splitter.Divide(TypeParam::FromAscii(line)), 2);
  EXPECT_EQ(splitter.Item(0).size(), TypeParam::kFieldBufferSize);
  EXPECT_EQ(splitter.Item(1), TypeParam::FromAscii("y"));
}

// One splitter serves every line of a list: each line is divided under the limit it was
// prepared with, and no field of an earlier line stays in the list.
TYPED_TEST(BothSplitters, ServeLineAfterLine) {
  TempDir dir;
  TypeParam splitter({.separator = kSemicolon, .limit = 4});
  const std::pair<std::string, std::vector<std::string>> lines[] = {
      {"a;b", {"a", "b"}},
      {"c;d;e;f;g", {"c", "d", "e", "f"}},
      {"h", {"h"}},
      {"", {}},
  };
  for (const auto& [line, fields] : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(splitter.Divide(TypeParam::FromAscii(line)), static_cast<int>(fields.size()));
    for (int i = 0; i < 5; ++i) {
      const std::string expected = i < static_cast<int>(fields.size()) ? fields[i] : "";
      EXPECT_EQ(splitter.Item(i), TypeParam::FromAscii(expected)) << i;
    }
  }
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TYPED_TEST(BothSplitters, BadListIndexIsReportedAndIgnored) {
  const std::string limit(TypeParam::kLimitName);
  const struct {
    int index;
    bool store;
    std::string message;
  } cases[] = {
      {-1, false, "item() error-774: i < 0"},        {3071, false, "item() error-775: >= " + limit},
      {-1, true, "item() error-776: i < 0"},         {-5, true, "item() error-776: i < 0"},
      {3071, true, "item() error-777: >= " + limit}, {9999, true, "item() error-777: >= " + limit},
  };
  for (const auto& c : cases) {
    TempDir dir;
    typename TypeParam::List list(kListNumbers);
    list.item(TypeParam::FromAscii("kept"), 3070);
    if (c.store) {
      list.item(TypeParam::FromAscii("x"), c.index);
      EXPECT_EQ(list.item(0), TypeParam::FromAscii(""));
    } else {
      EXPECT_EQ(list.item(c.index), TypeParam::FromAscii(""));
    }
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.message}) << c.message;
    EXPECT_EQ(list.item(3070), TypeParam::FromAscii("kept"));
  }
}

// What only the UTF-16 splitter does: a selection of fields, and surrogates as plain units.
struct WideCase {
  const char* name;
  std::u16string line;
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
  ExpectSplit<WideSplitter>({.limit = 7, .selection = c.selection}, c.line, c.expectedCount,
                            c.expectedFields);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WideSplit,
    ::testing::Values(
        // An unselected field still counts but is not kept: list indexes count kept
        // fields only.
        WideCase{"Selection", u"a,b,c,d", u"1011111", 4, {u"a", u"c", u"d"}},
        WideCase{"UnselectedLastNotCounted", u"a,b", u"1011111", 1, {u"a"}},
        WideCase{"SurrogatesAreUnits", u"\xD842\xDFB7,x", u"1111111", 2, {u"\xD842\xDFB7", u"x"}}),
    [](const auto& info) { return std::string(info.param.name); });

// What only the byte splitter does: double-byte characters, and a suffix on every field.
struct ByteCase {
  const char* name;
  std::string line;
  int separator;
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
  ExpectSplit<ByteSplitter>({.separator = c.separator, .doubleByte = c.doubleByte}, c.line,
                            c.expectedCount, c.expectedFields);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ByteSplit,
    ::testing::Values(
        // Second bytes that look like a backslash, a separator or a quote.
        ByteCase{"SecondByteBackslash", "\x95\x5C;x", kSemicolon, true, 2, {"\x95\x5C", "x"}},
        ByteCase{"SecondByteIsSeparator", "\x95\x5C\\x", kBackslash, true, 2, {"\x95\x5C", "x"}},
        ByteCase{"SecondByteSemicolon", "\x81\x3B;x", kSemicolon, true, 2, {"\x81;", "x"}},
        ByteCase{"SecondByteQuote", "\xE0\x22;x", kSemicolon, true, 2, {"\xE0\"", "x"}},
        ByteCase{"LeadByteA0", "\xA0;x", kSemicolon, true, 1, {"\xA0;x"}},
        ByteCase{"SingleByteKatakana", "\xB1;\xDF", kSemicolon, true, 2, {"\xB1", "\xDF"}},
        ByteCase{"TrailingLeadByteDropped", "ab\x82", kSemicolon, true, 1, {"ab"}},
        ByteCase{"LoneTrailingLeadByteIsNoField", "a;\x82", kSemicolon, true, 1, {"a"}},
        // Bytes that are not Shift_JIS: every byte stands alone.
        ByteCase{
            "Utf8NameBeforeSeparator", "\xE3\x81\x82:x", kColon, false, 2, {"\xE3\x81\x82", "x"}},
        ByteCase{"Utf8ReadAsShiftJis", "\xE3\x81\x82:x", kColon, true, 1, {"\xE3\x81\x82:x"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteSplitter, AppendsSeparatorAndSuffixToEveryField) {
  TempDir dir;
  FieldsListMany list(kListNumbers);
  DividingSJIS splitter(kQueueNumbers);
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
  FieldsListMany list(kListNumbers);
  DividingSJIS splitter(kQueueNumbers);
  splitter.Configure(CharacterTable(), kSemicolon);
  splitter.Prepare(&list, FieldsListMany::UPPER_LIMIT_TO_FIELD_NUMBER);
  EXPECT_EQ(splitter.DivideConverting(line.data(), 1, static_cast<int>(line.size())), 3071);
  EXPECT_EQ(list.item(3068), "3068");
  EXPECT_EQ(list.item(3069), "");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

}  // namespace
}  // namespace kelvo
