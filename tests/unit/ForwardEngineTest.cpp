// The UTF-16 to EUC-JP engine: line ends, the control filter, the byte-order mark, the
// surrogate list and the "?" for characters that cannot be converted.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ForwardTableFixture.h"
#include "convert/Utf16intoEUC.h"
#include "fields/SelectField.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::ForwardTableFixture;
using test::TempDir;
using test::Utf16;

enum class Mode { CrLf, Lf, AsRead, CrLfFiltered, LfFiltered, AsReadFiltered };

OutputStatus RunMode(ConvertUtf16intoEUC& engine, Mode mode, const std::u16string& output) {
  const int index = static_cast<int>(mode);
  constexpr LineEndMode kEnds[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
  return engine.Convert(kEnds[index % 3], index < 3 ? Controls::Kept : Controls::Removed, output);
}

class ForwardEngineTest : public ForwardTableFixture {
 protected:
  // An engine for the input, opened.
  std::unique_ptr<ConvertUtf16intoEUC> Open(const std::u16string& input,
                                            SurrogateList list = SurrogateList::Replacements) {
    auto engine = std::make_unique<ConvertUtf16intoEUC>(kTamorlek.engine, kTamorlek.forward.lists);
    opened_ = engine->Open(SearchTable{}, list, input);
    return engine;
  }
  // Converts the input bytes in one mode and returns the output file's bytes.
  std::string Convert(const std::string& input, Mode mode,
                      SurrogateList list = SurrogateList::Replacements) {
    TempDir::Write("in.txt", input);
    auto engine = Open(u"in.txt", list);
    EXPECT_TRUE(opened_.input);
    EXPECT_EQ(RunMode(*engine, mode, u"out.txt"), OutputStatus::Written);
    return TempDir::Read("out.txt");
  }

  OpenResult opened_;  // what the last Open found
};

TEST_F(ForwardEngineTest, LineEndsByMode) {
  struct Case {
    const char* what;
    std::string input;
    std::string crlf, lf, asRead;
  };
  const Case cases[] = {
      {"LF", Utf16(u"A\nB"), "A\r\nB", "A\nB", "A\nB"},
      {"CR LF", Utf16(u"A\r\nB\r\n"), "A\r\nB\r\n", "A\nB\n", "A\r\nB\r\n"},
      {"lone CR", Utf16(u"A\rB"), "AB", "AB", "A\rB"},
      {"byte-order mark alone", Utf16(u""), "", "", ""},
      {"no byte-order mark", Utf16(u"AB\n", false), "AB\r\n", "AB\n", "AB\n"},
      {"odd size: the last byte is ignored", Utf16(u"AB") + "C", "AB", "AB", "AB"},
      {"empty file", "", "", "", ""},
      {"one byte", "A", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Convert(c.input, Mode::CrLf), c.crlf);
    EXPECT_EQ(Convert(c.input, Mode::Lf), c.lf);
    EXPECT_EQ(Convert(c.input, Mode::AsRead), c.asRead);
    EXPECT_EQ(Convert(c.input, Mode::CrLfFiltered), c.crlf);
    EXPECT_EQ(Convert(c.input, Mode::LfFiltered), c.lf);
    EXPECT_EQ(Convert(c.input, Mode::AsReadFiltered), c.asRead);
  }
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(ForwardEngineTest, CharactersWithAndWithoutTheControlFilter) {
  struct Case {
    const char* what;
    std::u16string input;
    std::string plain, filtered;
  };
  const Case cases[] = {
      {"two-byte code", {test::kHiragana}, "\xA4\xA2", "\xA4\xA2"},
      {"later record wins", {test::kTwice}, "\xB0\xEC", "\xB0\xEC"},
      {"one-byte code is never filtered",
       {test::kHalfwidth, test::kControlOneByte},
       "\xB1\x85",
       "\xB1\x85"},
      {"tab", u"a\tb", "a\tb", "ab"},
      {"U+0000 becomes '>'", std::u16string(1, u'\0'), ">", ""},
      {"C0 controls", u"\x01\x1B\x1F", "\x01\x1B\x1F", ""},
      {"DEL kept, unmapped 80h-A0h a '?' or dropped", u"\x7F\x80\x9F\xA0", "\x7F???", ""},
      {"printable ASCII", u" ~", " ~", " ~"},
      {"unmapped A1h-DFh", u"\xA1\xDF", "??", "??"},
      {"unmapped E0h-FFh", u"\xE0\xE9\xFF", "???", "???"},
      {"a mapped Latin-1 unit", {u'a', test::kSection, u'z'}, "a\xA1\xF8z", "a\xA1\xF8z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Convert(Utf16(c.input), Mode::Lf), c.plain);
    EXPECT_EQ(Convert(Utf16(c.input), Mode::LfFiltered), c.filtered);
  }
}

// Characters that cannot be converted become one "?" each, in every mode.
TEST_F(ForwardEngineTest, UnconvertibleCharactersBecomeOneQuestionMark) {
  struct Case {
    const char* what;
    std::u16string input;
    std::string expected;
  };
  const Case cases[] = {
      {"unit absent from the table", {u'a', test::kAbsent, u'b'}, "a?b"},
      {"units above FFE6h", u"\xFFE7\xFFFF", "??"},
      {"byte-swapped byte-order mark",
       u"\xFFFE"
       u"A",
       "?A"},
      {"unlisted pair",
       u"\xD842\xDF9F"
       u"x",
       "?x"},
      {"lone low surrogate",
       u"a\xDC00"
       u"b",
       "a?b"},
      {"lone unlisted high surrogate before a line feed", u"\xD842\n", "?\n"},
      {"unlisted high surrogate at the end", u"a\xD842", "a?"},
      {"listed pair", u"\xD85F\xDDA0", "\xE7\xAA"},
      {"listed high, low before the index", u"\xD85F\xDC00\xD85F\xDC01", "??"},
      {"listed high, unlisted low", u"\xD85F\xDDA1", "?"},
      {"listed high at the end", u"a\xD85F", "a?"},
      {"listed high before a line feed", u"\xD85F\nA", "?\nA"},
      {"listed high before a character", u"\xD85F\x3042", "?\xA4\xA2"},
      {"listed high twice then its low", u"\xD85F\xD85F\xDDA0", "?\xE7\xAA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Convert(Utf16(c.input), Mode::Lf), c.expected);
    EXPECT_EQ(Convert(Utf16(c.input), Mode::LfFiltered), c.expected);
  }
  // A big-endian file: every unit is read byte-swapped and none is convertible.
  EXPECT_EQ(Convert(std::string("\xFE\xFF\x00\x41\x30\x42", 6), Mode::CrLf), "???");
}

TEST_F(ForwardEngineTest, UserAddedListLineAndUnderscoreList) {
  std::string list = TempDir::Read("surro.csv");
  list += Utf16(u"\xD842\xDF9F,D842,DF9F,20B9F,2,925,\x53F1\r\n", false);
  TempDir::Write("surro.csv", list);
  const std::string input = Utf16(u"\xD842\xDF9F\xD85F\xDDA0");
  EXPECT_EQ(Convert(input, Mode::CrLf), "\xC0\xC1\xE7\xAA");

  TempDir::Write("surro.txt", "27DA0,\r\n");
  EXPECT_EQ(Convert(input, Mode::CrLf, SurrogateList::Underscores), "?\xA1\xB2");
}

// What Open returns, for the forward engine and for field selection, each with its own
// numbers: a missing input fails the result's input after its reports, the table being
// loaded all the same (the driver then ends the run with -1); a "-w" report that could not
// be written fails the result's table report.
TEST_F(ForwardEngineTest, OpenResultCarriesTheFailureAndItsNumber) {
  using platform::Step;
  struct Case {
    const char* what;
    bool selection;
    // "-w" on an input that is there, with a directory where data.txt is to be written;
    // else a missing input.
    bool showTable;
    Step inputStep;
    int inputNumber;
    Step reportStep;
    int reportNumber;
    const char* messages;  // the reports in order, joined by "|"
  };
  const Case cases[] = {
      {"forward, missing input", false, false, Step::Open, 828, Step::None, 0,
       "Reset() error-828: missing.txt|SetLength() error-823: -1"},
      {"selection, missing input", true, false, Step::Open, 362, Step::None, 0,
       "Reset() error-362: missing.txt|SetLength() error-360: -1"},
      {"forward, -w report", false, true, Step::None, 0, Step::Write, 834,
       "Rewrite() error-834: data.txt"},
      {"selection, -w report", true, true, Step::None, 0, Step::Write, 834,
       "Rewrite() error-834: data.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    SetUp();
    TempDir::Write("in.txt", Utf16(u"A"));
    if (c.showTable) std::filesystem::create_directory("data.txt");
    std::unique_ptr<ConvertUtf16intoEUC> engine;
    if (c.selection) {
      engine = std::make_unique<Selecting>(kTamorlek.forward.selection, kTamorlek.engine.table,
                                           kTamorlek.forward.lists, 2);
    } else {
      engine = std::make_unique<ConvertUtf16intoEUC>(kTamorlek.engine, kTamorlek.forward.lists);
    }
    const OpenResult opened =
        engine->Open(SearchTable{.showTable = c.showTable}, SurrogateList::Replacements,
                     c.showTable ? u"in.txt" : u"missing.txt");
    EXPECT_EQ(opened.input.failed, c.inputStep);
    EXPECT_EQ(opened.input.errorNumber, c.inputNumber);
    EXPECT_EQ(!engine->UnitCount(), !c.showTable);
    EXPECT_EQ(opened.tableReport.failed, c.reportStep);
    EXPECT_EQ(opened.tableReport.errorNumber, c.reportNumber);
    EXPECT_NE(engine->Table(), nullptr);
    std::string reports;
    for (const std::string& message : TempDir::ErrorMessages()) {
      reports += (reports.empty() ? "" : "|") + message;
    }
    EXPECT_EQ(reports, c.messages);
  }
}

// Each of the six conversions reports a failed read with its own number.
TEST_F(ForwardEngineTest, FailedReadStopsWithTheOperationsNumber) {
  const std::pair<Mode, const char*> cases[] = {
      {Mode::CrLf, "819"},         {Mode::Lf, "820"},         {Mode::AsRead, "821"},
      {Mode::CrLfFiltered, "825"}, {Mode::LfFiltered, "826"}, {Mode::AsReadFiltered, "827"},
  };
  for (const auto& [mode, number] : cases) {
    SCOPED_TRACE(number);
    TempDir dir;
    SetUp();
    TempDir::Write("in.txt", Utf16(u"A"));
    auto engine = Open(u"in.txt");
    std::filesystem::remove("in.txt");
    try {
      static_cast<void>(RunMode(*engine, mode, u"out.txt"));
      ADD_FAILURE() << "no stop";
    } catch (const Halt& halt) {
      EXPECT_EQ(halt.exitCode, 1);
    }
    EXPECT_EQ(TempDir::ErrorMessages(),
              std::vector<std::string>{std::string("Reset() error-") + number + ": in.txt"});
    EXPECT_FALSE(TempDir::Exists("out.txt"));
  }
}

TEST_F(ForwardEngineTest, FailedWriteIsReported) {
  TempDir::Write("in.txt", Utf16(u"A"));
  auto engine = Open(u"in.txt");
  EXPECT_EQ(engine->Convert(LineEndMode::CrLf, Controls::Kept, u"no-such-dir/out.txt"),
            OutputStatus::NotWritten);
  EXPECT_EQ(TempDir::ErrorMessages(),
            std::vector<std::string>{"Rewrite() error-815: no-such-dir/out.txt"});
}

TEST_F(ForwardEngineTest, LongInputMatchesUnitByUnitConversion) {
  // Mixed text, long enough to cross any block or run boundary, against the expected bytes
  // built character by character.
  const std::u16string pieces[] = {u"abc def ",     u"\x3042", u"\r\n",
                                   u"\xD85F\xDDA0", u"\xFF71", u"\xD842",
                                   u"\t",           u"\x4E01", u"~"};
  const std::string bytes[] = {"abc def ", "\xA4\xA2", "\r\n", "\xE7\xAA", "\xB1",
                               "?",        "\t",       "?",    "~"};
  std::u16string input;
  std::string expected;
  unsigned seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245 + 12345;
    const unsigned k = (seed >> 16) % 9;
    input += pieces[k];
    expected += bytes[k];
    // A lone high surrogate followed by a low one would make a pair: keep them apart.
    if (k == 5) {
      input += u"-";
      expected += "-";
    }
  }
  EXPECT_EQ(Convert(Utf16(input), Mode::CrLf), expected);
}

// Long inputs are converted a block at a time: a pair or a run of ASCII that crosses from
// one block into the next must come out as if the text were converted in one piece.
TEST_F(ForwardEngineTest, PairsAndAsciiRunsAcrossBlockBoundaries) {
  constexpr std::size_t kBlock = 1 << 17;
  const std::u16string pair = u"\xD85F\xDDA0";
  struct Case {
    const char* what;
    bool bom;
    std::size_t before;  // units before the pair
  };
  const Case cases[] = {
      {"pair starts the last unit of a block", false, kBlock - 1},
      {"pair starts the last unit of a block after the byte-order mark", true, kBlock - 1},
      {"pair starts the next block", false, kBlock},
      {"pair ends a block", false, kBlock - 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string input(c.before, u'x');
    input += pair;
    input += u"y\n";
    EXPECT_EQ(Convert(Utf16(input, c.bom), Mode::Lf),
              std::string(c.before, 'x') + "\xE7\xAA" + "y\n");
  }

  // Printable ASCII in long runs, broken at every position by characters that are not
  // copied as they are: controls, DEL, non-ASCII, line ends.
  const std::u16string breakers[] = {u"\t", u"\x7F", u"\x1F", u"\r\n", u"\x3042", u"\xA1"};
  const std::string lf[] = {"\t", "\x7F", "\x1F", "\n", "\xA4\xA2", "?"};
  const std::string filtered[] = {"", "", "", "\n", "\xA4\xA2", "?"};
  std::u16string input;
  std::string expectLf, expectFiltered;
  unsigned seed = 777;
  while (input.size() < 3 * kBlock) {
    seed = seed * 1103515245 + 12345;
    const std::size_t run = (seed >> 16) % 37;
    for (std::size_t i = 0; i < run; ++i) {
      const char ascii = static_cast<char>(0x20 + (seed >> (i % 16)) % 95);
      input += static_cast<char16_t>(ascii);
      expectLf += ascii;
      expectFiltered += ascii;
    }
    const unsigned k = (seed >> 8) % 6;
    input += breakers[k];
    expectLf += lf[k];
    expectFiltered += filtered[k];
  }
  EXPECT_EQ(Convert(Utf16(input), Mode::Lf), expectLf);
  EXPECT_EQ(Convert(Utf16(input), Mode::LfFiltered), expectFiltered);
}

// A long input converted onto itself is read whole before the output replaces it, and
// gives the same bytes as the block-by-block conversion to another file.
TEST_F(ForwardEngineTest, LongInputConvertedOntoItself) {
  constexpr std::size_t kBlock = 1 << 17;
  std::u16string text;
  while (text.size() < 2 * kBlock + 5) text += u"ab\x3042\xD85F\xDDA0\r\n";
  const std::string input = Utf16(text, true);
  const std::string expected = Convert(input, Mode::CrLf);
  ASSERT_GT(expected.size(), 2 * kBlock);

  TempDir::Write("same.txt", input);
  auto engine = Open(u"same.txt");
  EXPECT_EQ(engine->Convert(LineEndMode::CrLf, Controls::Kept, u"same.txt"), OutputStatus::Written);
  EXPECT_EQ(TempDir::Read("same.txt"), expected);
}

}  // namespace
}  // namespace kelvo
