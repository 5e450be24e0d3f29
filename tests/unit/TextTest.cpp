// Decimal numbers, and reading whole files and first lines.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "support/FileRead.h"
#include "support/Text.h"

namespace kelvo {
namespace {

using test::TempDir;

TEST(ParseDecimalTest, ReadsSignedAndUnsignedNumbers) {
  struct Case {
    std::u16string text;
    std::optional<std::int32_t> signedValue, unsignedValue;
  };
  const Case cases[] = {
      {u"31", 31, 31},
      {u"007", 7, 7},
      {u"+7", 7, std::nullopt},
      {u"-12", -12, std::nullopt},
      {u"2147483647", 2147483647, 2147483647},
      {u"2147483648", std::nullopt, std::nullopt},
      {u"-2147483648", INT32_MIN, std::nullopt},
      {u"-2147483649", std::nullopt, std::nullopt},
      {u"99999999999999999999", std::nullopt, std::nullopt},
      {u"", std::nullopt, std::nullopt},
      {u"-", std::nullopt, std::nullopt},
      {u"3x", std::nullopt, std::nullopt},
      {u" 3", std::nullopt, std::nullopt},
      {u"\uFF11", std::nullopt, std::nullopt},  // a fullwidth digit is no digit
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimal(c.text, Sign::Allowed), c.signedValue);
    EXPECT_EQ(ParseDecimal(c.text, Sign::Refused), c.unsignedValue);
  }
}

TEST(FileReadTest, FirstLineEndsAtAnyLineEnd) {
  TempDir dir;
  const std::pair<std::string, std::u16string> cases[] = {
      {"first\r\nsecond", u"first"},
      {"first\nsecond", u"first"},
      {"first\rsecond", u"first"},
      {"only", u"only"},
      {"", u""},
      {"\r\nsecond", u""},
      {std::string(5000, 'a') + "\n", std::u16string(5000, u'a')},
      // After a UTF-8 byte-order mark the line is UTF-8, without the mark.
      {"\xEF\xBB\xBF"
       "first\r\n",
       u"first"},
      {"\xEF\xBB\xBF"
       "C:\\\xE8\xA1\xA8\\t.bin\n",
       u"C:\\\u8868\\t.bin"},
      {"\xEF\xBB\xBF\r\nsecond", u""},
  };
  for (const auto& [content, line] : cases) {
    TempDir::Write("f.txt", content);
    std::u16string read = u"unset";
    EXPECT_TRUE(ReadFirstLine(u"f.txt", read));
    EXPECT_EQ(read, line);
  }
  std::u16string read;
  EXPECT_FALSE(ReadFirstLine(u"missing.txt", read));
}

TEST(FileReadTest, WholeFileOrWhyNot) {
  TempDir dir;
  TempDir::Write("f.bin", std::string("a\0b", 3));
  std::vector<std::uint8_t> bytes{9};
  EXPECT_TRUE(ReadWhole(u"f.bin", bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 0, 'b'}));
  TempDir::Write("empty.bin", "");
  EXPECT_TRUE(ReadWhole(u"empty.bin", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadWhole(u"missing.bin", bytes).failed, platform::Step::Open);
  std::filesystem::create_directory("folder");
  EXPECT_EQ(ReadWhole(u"folder", bytes).failed, platform::Step::Open);
}

}  // namespace
}  // namespace kelvo
