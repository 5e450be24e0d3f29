// Field selection: one comma-separated field of every line, converted to EUC-JP, with CR LF
// line ends; and the building of "surro.txt" from "surro.csv".
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ForwardTableFixture.h"
#include "fields/SelectField.h"

namespace kelvo {
namespace {

using test::ForwardTableFixture;
using test::TempDir;
using test::Utf16;

class SelectFieldTest : public ForwardTableFixture {
 protected:
  // A field selection, opened on the input, which is there.
  static std::unique_ptr<Selecting> Open(const std::u16string& input, std::int32_t field,
                                         SurrogateList list = SurrogateList::Replacements) {
    auto selecting = std::make_unique<Selecting>(
        kTamorlek.forward.selection, kTamorlek.engine.table, kTamorlek.forward.lists, field);
    EXPECT_TRUE(selecting->Open(SearchTable{}, list, input).input);
    return selecting;
  }
  std::string Select(const std::string& input, std::int32_t field) {
    TempDir::Write("in.txt", input);
    auto selecting = Open(u"in.txt", field);
    EXPECT_EQ(selecting->WriteSelectedField(u"out.txt"), OutputStatus::Written);
    return TempDir::Read("out.txt");
  }
};

TEST_F(SelectFieldTest, QuotesSeparatorsAndLineEnds) {
  struct Case {
    const char* what;
    std::u16string text;
    std::int32_t field;
    std::string expected;
  };
  const Case cases[] = {
      {"the separator ending a kept field is written", u"a,b,c\n", 2, "b,\r\n"},
      {"last field", u"a,b,c\n", 3, "c\r\n"},
      {"first field", u"a,b,c\n", 1, "a,\r\n"},
      {"quoted separator is data", u"a,\"x,y\",z\n", 2, "x,y,\r\n"},
      {"fewer fields than the number", u"a,b\n", 5, "\r\n"},
      {"last line without a line feed", u"a,b\nc,d", 2, "b\r\nd"},
      {"CR LF and lone CR", u"a,b\r\nc,\rd\n", 2, "b\r\nd\r\n"},
      {"quote closed by the first line end", u"\"a,b\nc,d\n", 2, "\r\nd\r\n"},
      {"open quote spans later lines", u"a\n\"b\nc,d\",e\n", 2, "\r\n\r\ne\r\n"},
      {"empty input", u"", 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Select(Utf16(c.text), c.field), c.expected);
  }
  EXPECT_EQ(Select(Utf16(u"1,2\n", false), 2), "2\r\n");
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

// The kept characters go through the code table; what cannot be converted becomes "?".
TEST_F(SelectFieldTest, CharactersOfTheKeptField) {
  struct Case {
    const char* what;
    std::u16string text;
    std::string expected;
  };
  const Case cases[] = {
      {"two-byte code", {u',', test::kHiragana}, "\xA4\xA2"},
      {"one-byte code", {u',', test::kHalfwidth}, "\xB1"},
      {"one-byte code 224-255 as it is", {u',', test::kHighOneByte}, "\xE5"},
      {"one-byte control code dropped", {u',', test::kControlOneByte}, ""},
      {"kind-0 controls kept, U+0000 as '>'", {u',', u'\t', u'\0'}, "\t>"},
      {"unit absent from the table", {u',', test::kAbsent, u'x'}, "?x"},
      {"unmapped 80h-FFh", u",\x80\xA0\xE9\xFF\x7F", "????\x7F"},
      {"a mapped Latin-1 unit", {u',', test::kSection}, "\xA1\xF8"},
      {"unit above FFE6h", u",\xFFFF", "?"},
      {"listed pair", u",\xD85F\xDDA0", "\xE7\xAA"},
      {"unlisted pair is one '?'", u",\xD842\xDF9F", "?"},
      {"listed high, unlisted low", u",\xD85F\xDDA1", "?"},
      {"listed high at the end", u",a\xD85F", "a?"},
      {"listed high before a line feed keeps the line", u",\xD85F\nx,y", "?\r\ny"},
      {"listed high before a separator keeps the field", u",\xD85F,z", "?,"},
      {"lone low surrogate", u",\xDC00", "?"},
      {"pairs in other fields are skipped whole", u"\xD85F\xDDA0,\xD842\xDF9F,b", "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string text = c.text;
    EXPECT_EQ(Select(Utf16(text), text.starts_with(u",") ? 2 : 3), c.expected);
  }
}

TEST_F(SelectFieldTest, FailedWriteIsReported) {
  TempDir::Write("in.txt", Utf16(u"a,b\n"));
  auto selecting = Open(u"in.txt", 2);
  EXPECT_EQ(selecting->WriteSelectedField(u"no-such-dir/out.txt"), OutputStatus::NotWritten);
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{"Rewrite() error-357: no-such-dir/out.txt"});
}

TEST_F(SelectFieldTest, BuildsTheUnderscoreListFromTheSurrogateList) {
  auto selecting = Open(u"surro.csv", 4, SurrogateList::Underscores);
  EXPECT_EQ(selecting->WriteSelectedField(u"surro.txt", platform::Placement::Replace),
            OutputStatus::Written);
  EXPECT_EQ(TempDir::Read("surro.txt"), "27DA0,\r\n");
  // surro.txt does not exist yet while it is being built.
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{"Reset() error-829: surro.txt"});
}

}  // namespace
}  // namespace kelvo
