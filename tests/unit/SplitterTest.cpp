// The two field splitters and their field lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "drivers/ProgramRecord.h"
#include "fields/Divide.h"
#include "fields/FieldsArray.h"

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

}  // namespace
}  // namespace kelvo
