// The encoding detector on short and long Japanese texts in every encoding, on texts that
// fit more than one, on binary data, and fed in blocks of every size.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kelvo/Detect.h"
#include "kelvo/DetectScore.h"

namespace kelvo::detect {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The verdict in one word, as the benchmark's probe prints it.
std::string Word(const Detection& d) {
  if (d.verdict == Verdict::Binary) return "binary";
  if (d.verdict == Verdict::Undecided) return "undecided";
  return d.ascii ? "ascii" : std::string(transcode::EncodingName(d.encoding));
}

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct VerdictCase {
  const char* name;
  std::string bytes;
  const char* word;
  bool bom = false;
};

// "漢字と仮名の文です。\n", "詳細は\n", "日本語\n" and "テスト\r\n" in each encoding.
const std::string kSjisSentence =
    "\x8A\xBF\x8E\x9A\x82\xC6\x89\xBC\x96\xBC\x82\xCC\x95\xB6\x82\xC5\x82\xB7\x81\x42\x0A";
const std::string kEucSentence =
    "\xB4\xC1\xBB\xFA\xA4\xC8\xB2\xBE\xCC\xBE\xA4\xCE\xCA\xB8\xA4\xC7\xA4\xB9\xA1\xA3\x0A";
const std::string kUtf8Sentence = "漢字と仮名の文です。\n";
const std::string kLeSentence(
    "\x22\x6F\x57\x5B\x68\x30\xEE\x4E\x0D\x54\x6E\x30\x87\x65\x67\x30\x59\x30\x02\x30\x0A\x00", 22);

std::vector<VerdictCase> VerdictCases() {
  return {
      {"Empty", "", "ascii"},
      {"Ascii", "hello, world\n", "ascii"},
      // The UTF-16LE bytes of three hiragana without a mark: ASCII wins.
      {"AsciiThatIsAlsoUtf16", "B0D0F0", "ascii"},
      {"Utf8Mark",
       "\xEF\xBB\xBF"
       "abc\n",
       "utf-8", true},
      {"Utf16LEMark", std::string("\xFF\xFE", 2) + kLeSentence, "utf-16le", true},
      {"Utf16BEMark", std::string("\xFE\xFF\x30\x42\x00\x0A", 6), "utf-16be", true},
      {"Utf16LEMarkOfAscii", std::string("\xFF\xFE\x61\x00", 4), "utf-16le", true},
      {"Utf16LEShort", kLeSentence, "utf-16le"},
      {"Utf16LEOfAscii", std::string("a\0b\0c\0\n\0", 8), "utf-16le"},
      {"Utf16BEShort", std::string("\x30\xC6\x30\xB9\x30\xC8\x00\x0D\x00\x0A", 10), "utf-16be"},
      // No zero byte at all: kanji, hiragana and katakana by their units alone.
      {"Utf16LEWithoutZeros", "\xE5\x65\x2C\x67\x9E\x8A\x6E\x30\xC6\x30\xAD\x30\xB9\x30\xC8\x30",
       "utf-16le"},
      {"Utf16BEWithoutZeros", "\x65\xE5\x67\x2C\x8A\x9E\x30\x6E\x30\xC6\x30\xAD\x30\xB9\x30\xC8",
       "utf-16be"},
      {"Utf8", kUtf8Sentence, "utf-8"},
      {"Utf8Short", "日本語\n", "utf-8"},
      {"Utf8HalfKana", "ﾌｧｲﾙ ｼｽﾃﾑ\n", "utf-8"},
      {"ShiftJisSentence", kSjisSentence, "shift_jis"},
      {"EucJpSentence", kEucSentence, "euc-jp"},
      {"ShiftJisShort", "\x93\xFA\x96\x7B\x8C\xEA\x0A", "shift_jis"},
      {"EucJpShort", "\xBE\xDC\xBA\xD9\xA4\xCF\x0A", "euc-jp"},
      {"ShiftJisKatakana", "\x83\x65\x83\x58\x83\x67\x0D\x0A", "shift_jis"},
      {"EucJpKatakana", "\xA5\xC6\xA5\xB9\xA5\xC8\x0D\x0A", "euc-jp"},
      {"ShiftJisLong", Repeat(kSjisSentence, 200), "shift_jis"},
      {"EucJpLong", Repeat(kEucSentence, 200), "euc-jp"},
      // Half-width katakana: "ﾌｧｲﾙ ｼｽﾃﾑ", "ﾃﾞｰﾀﾍﾞｰｽ" and "設定ﾌｧｲﾙを読む". Shift_JIS pairs of
      // them are also valid EUC-JP kanji; EUC-JP's are also valid Shift_JIS kanji.
      {"ShiftJisHalfKana", "\xCC\xA7\xB2\xD9\x20\xBC\xBD\xC3\xD1\x0A", "shift_jis"},
      {"ShiftJisHalfKanaMarks", "\xC3\xDE\xB0\xC0\xCD\xDE\xB0\xBD\x0A", "shift_jis"},
      {"EucJpHalfKana", "\x8E\xCC\x8E\xA7\x8E\xB2\x8E\xD9\x20\x8E\xBC\x8E\xBD\x8E\xC3\x8E\xD1\x0A",
       "euc-jp"},
      {"EucJpHalfKanaMarks", "\x8E\xC3\x8E\xDE\x8E\xB0\x8E\xC0\x8E\xCD\x8E\xDE\x8E\xB0\x8E\xBD\x0A",
       "euc-jp"},
      {"ShiftJisHalfKanaWithKanji", "\x90\xDD\x92\xE8\xCC\xA7\xB2\xD9\x82\xF0\x93\xC7\x82\xDE\x0A",
       "shift_jis"},
      {"EucJpHalfKanaWithKanji",
       "\xC0\xDF\xC4\xEA\x8E\xCC\x8E\xA7\x8E\xB2\x8E\xD9\xA4\xF2\xC6\xC9\xA4\xE0\x0A", "euc-jp"},
      // A three-byte EUC-JP code (JIS X 0212) among EUC-JP text.
      {"EucJpThreeByte", kEucSentence + "\x8F\xB0\xA1" + kEucSentence, "euc-jp"},
      // Two bytes that are one level-1 kanji in EUC-JP and two half-width kana in Shift_JIS.
      {"UndecidedPair", "\xB1\xB2", "undecided"},
      {"UndecidedInNone", "\x80\xFF\x81", "undecided"},
      {"Binary", std::string("\x00\x01\x02\x03", 4), "binary"},
      {"BinaryOddLength", std::string("abc\0def", 7), "binary"},
      {"BinaryImage", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "binary"},
      {"BinaryAfterUtf8Mark", std::string("\xEF\xBB\xBF\0\0\0", 6), "binary"},
  };
}

TEST(KelvoDetect, Verdicts) {
  for (const auto& c : VerdictCases()) {
    SCOPED_TRACE(c.name);
    const Detection d = Detect(Bytes(c.bytes));
    EXPECT_EQ(Word(d), c.word) << Describe(d);
    EXPECT_EQ(d.bom, c.bom);
  }
}

TEST(KelvoDetect, UndecidedNamesCandidatesAndWhy) {
  const Detection pair = Detect(Bytes("\xB1\xB2"));
  ASSERT_EQ(pair.verdict, Verdict::Undecided);
  EXPECT_EQ(pair.candidates.size(), 2u);
  EXPECT_NE(pair.reason.find("euc-jp"), std::string::npos);
  EXPECT_NE(pair.reason.find("shift_jis"), std::string::npos);
  const Detection none = Detect(Bytes("\x80\xFF\x81"));
  ASSERT_EQ(none.verdict, Verdict::Undecided);
  EXPECT_TRUE(none.candidates.empty());
  EXPECT_FALSE(none.reason.empty());
}

// Japanese UTF-8 with one ill-formed sequence: the file is not UTF-8.
TEST(KelvoDetect, StrictUtf8) {
  const std::vector<std::pair<const char*, std::string>> cases{
      {"OverlongSlash", "\xC0\xAF"},         {"OverlongTwoByte", "\xC1\xBF"},
      {"OverlongThreeByte", "\xE0\x80\xAF"}, {"OverlongFourByte", "\xF0\x80\x80\xAF"},
      {"HighSurrogate", "\xED\xA0\x80"},     {"LowSurrogate", "\xED\xBF\xBF"},
      {"AboveUnicode", "\xF4\x90\x80\x80"},  {"LeadF5", "\xF5\x80\x80\x80"},
      {"LoneContinuation", "\x80"},          {"CutAtEnd", "\xE6\x97"},
  };
  for (const auto& [name, bad] : cases) {
    SCOPED_TRACE(name);
    const Detection d = Detect(Bytes(kUtf8Sentence + bad));
    EXPECT_FALSE(d.verdict == Verdict::Known && d.encoding == transcode::Encoding::Utf8)
        << Describe(d);
    for (const auto candidate : d.candidates) {
      EXPECT_NE(candidate, transcode::Encoding::Utf8);
    }
  }
  // The largest and the smallest forms that are allowed.
  EXPECT_EQ(Word(Detect(Bytes(kUtf8Sentence + "\xF4\x8F\xBF\xBD" + kUtf8Sentence))), "utf-8");
  EXPECT_EQ(Word(Detect(Bytes(kUtf8Sentence + "\xC2\xA9\xEE\x80\x80"))), "utf-8");
}

TEST(KelvoDetect, LineEnds) {
  const std::vector<std::pair<std::string, LineEnds>> cases{
      {"abc", LineEnds::None},
      {"a\nb\n", LineEnds::Lf},
      {"a\r\nb\r\n", LineEnds::CrLf},
      {"a\rb\r", LineEnds::Cr},
      {"a\nb\r\n", LineEnds::Mixed},
      {"a\r\r\n", LineEnds::Mixed},
      {kSjisSentence + "\r\n", LineEnds::Mixed},
      {Repeat(kEucSentence, 3), LineEnds::Lf},
      {std::string("\xFF\xFE"
                   "a\0\r\0\n\0",
                   8),
       LineEnds::CrLf},
      {std::string("\xFE\xFF\0a\0\r", 6), LineEnds::Cr},
      {std::string("\xFE\xFF\0a\0\r\0\n\0b\0\n\0c\0\r\0\r\0\n", 20), LineEnds::Mixed},
      {"\xFF\xFE" + Repeat(std::string("\x42\x30\x0D\x00\x0A\x00", 6), 9), LineEnds::CrLf},
      // U+0D41 U+000A: the bytes 0D 0A straddle two units and are no CR LF.
      {std::string("\xFF\xFE\x41\x0D\x0A\x00", 6), LineEnds::Lf},
      {kLeSentence + std::string("\x0D\x00\x0A\x00", 4), LineEnds::Mixed},
  };
  for (const auto& [bytes, ends] : cases) {
    const Detection d = Detect(Bytes(bytes));
    EXPECT_EQ(d.lineEnds, ends) << LineEndsName(d.lineEnds) << " for " << Describe(d);
    Detector bytewise;
    for (const std::uint8_t b : Bytes(bytes)) {
      bytewise.Feed({&b, 1});
    }
    EXPECT_EQ(bytewise.Finish().lineEnds, ends) << "byte by byte, " << Describe(d);
  }
}

// The verdict does not depend on how the bytes are cut into blocks.
TEST(KelvoDetect, BlocksOfAnySizeGiveTheSameVerdict) {
  std::mt19937 random(7);
  for (const auto& c : VerdictCases()) {
    SCOPED_TRACE(c.name);
    const auto whole = Describe(Detect(Bytes(c.bytes)));
    const auto bytes = Bytes(c.bytes);
    for (int round = 0; round < 4; ++round) {
      Detector detector;
      for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size =
            round == 0 ? 1 : std::min<std::size_t>(bytes.size() - at, 1 + random() % 7);
        detector.Feed(bytes.subspan(at, size));
        at += size;
      }
      detector.Feed({});
      EXPECT_EQ(Describe(detector.Finish()), whole);
    }
  }
}

// Fed one byte at a time, the detector takes every byte on its own; in large blocks it takes
// runs of ASCII and, once one reading is left, runs of whole sequences at once. Texts in each
// encoding with every pair of pieces (other encodings, cut, unassigned or ill-formed codes)
// put in must give the same verdicts both ways.
TEST(KelvoDetect, RunsAgreeWithBytes) {
  const std::string pieces[] = {kSjisSentence, kEucSentence, kUtf8Sentence, kLeSentence,
                                "plain ASCII text of some length, ", "\r\n", "\t",
                                "\x8E\xCC\x8E\xA7", "\xCC\xA7\xB2\xD9", "\x8F\xB0\xA1",
                                "\xB0\xFE",  // a kanji in EUC-JP, nothing in Shift_JIS
                                // unassigned in EUC-JP, in Shift_JIS; overlong; a surrogate
                                "\xA9\xA1", "\x85\x40", "\xE0\x80\x80", "\xED\xA0\x80"};
  for (int base = 0; base < 4; ++base) {
    for (const int times : {1, 6}) {
      for (const auto& first : pieces) {
        for (const auto& second : pieces) {
          const std::string text = Repeat(pieces[base], times) + first + pieces[base] + second +
                                   Repeat(pieces[base], times);
          Detector bytewise;
          for (const std::uint8_t b : Bytes(text)) {
            bytewise.Feed({&b, 1});
          }
          ASSERT_EQ(Describe(Detect(Bytes(text))), Describe(bytewise.Finish()))
              << base << ' ' << times << ' ' << first << ' ' << second;
        }
      }
    }
  }
}

TEST(KelvoDetect, KindsOfCodes) {
  struct KindCase {
    bool shiftJis;
    std::uint8_t lead;
    std::uint8_t trail;
    Kind kind;
  };
  const KindCase cases[] = {
      {true, 0x81, 0x40, Kind::Punctuation},     {true, 0x82, 0xA0, Kind::Hiragana},
      {true, 0x83, 0x96, Kind::Katakana},        {true, 0x83, 0x97, Kind::Unassigned},
      {true, 0x84, 0xBE, Kind::BoxDrawing},      {true, 0x85, 0x40, Kind::Unassigned},
      {true, 0x87, 0x40, Kind::RowThirteen},     {true, 0x88, 0x9E, Kind::Unassigned},
      {true, 0x88, 0x9F, Kind::Kanji1},          {true, 0x98, 0x72, Kind::Kanji1},
      {true, 0x98, 0x73, Kind::Unassigned},      {true, 0x98, 0x9F, Kind::Kanji2},
      {true, 0xEA, 0xA4, Kind::Kanji2},          {true, 0xEA, 0xA5, Kind::Unassigned},
      {true, 0xEB, 0x40, Kind::Unassigned},      {true, 0xED, 0x40, Kind::ExtensionKanji},
      {true, 0xEE, 0xEC, Kind::ExtensionKanji},  {true, 0xEE, 0xED, Kind::Unassigned},
      {true, 0xEF, 0x40, Kind::Unassigned},      {true, 0xF0, 0x40, Kind::UserDefined},
      {true, 0xF9, 0xFC, Kind::UserDefined},     {true, 0xFA, 0x40, Kind::ExtensionKanji},
      {true, 0xFC, 0x4B, Kind::ExtensionKanji},  {true, 0xFC, 0x4C, Kind::Unassigned},
      {true, 0x82, 0x7F, Kind::Unassigned},      {true, 0x82, 0xFD, Kind::Unassigned},
      {false, 0xA4, 0xA2, Kind::Hiragana},       {false, 0xA4, 0xF4, Kind::Unassigned},
      {false, 0xA9, 0xA1, Kind::Unassigned},     {false, 0xB0, 0xA1, Kind::Kanji1},
      {false, 0xCF, 0xD3, Kind::Kanji1},         {false, 0xCF, 0xD4, Kind::Unassigned},
      {false, 0xD0, 0xA1, Kind::Kanji2},         {false, 0xF4, 0xA6, Kind::Kanji2},
      {false, 0xF4, 0xA7, Kind::Unassigned},     {false, 0xF5, 0xA1, Kind::UserDefined},
      {false, 0xF9, 0xA1, Kind::ExtensionKanji}, {false, 0xFC, 0xEF, Kind::UserDefined},
      {false, 0xFE, 0xFE, Kind::UserDefined},
  };
  for (const auto& c : cases) {
    const Kind kind = c.shiftJis ? KindOfShiftJis(c.lead, c.trail) : KindOfEucJp(c.lead, c.trail);
    EXPECT_EQ(kind, c.kind) << (c.shiftJis ? "Shift_JIS " : "EUC-JP ") << std::hex << int{c.lead}
                            << ' ' << int{c.trail};
  }
}

}  // namespace
}  // namespace kelvo::detect
