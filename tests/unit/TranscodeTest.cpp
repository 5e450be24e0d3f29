// kelvo's conversions: what each rule gives, the places of replaced characters, blocks cut
// anywhere, and the fast steps against the character-by-character ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kelvo/Transcode.h"

namespace kelvo::transcode {
namespace {

using Bytes = std::vector<std::uint8_t>;
using E = Encoding;

Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) {
    text += "0123456789ABCDEF"[b >> 4];
    text += "0123456789ABCDEF"[b & 15];
    text += ' ';
  }
  return text;
}

struct Case {
  const char* name;
  TranscodeOptions options;
  std::string_view input;
  std::string_view expected;
  std::uint64_t replacements;
};

const Case kCases[] = {
    {"kana and kanji to EUC-JP",
     {.from = E::Utf8, .to = E::EucJp},
     "\xE3\x81\x82\xE6\xBC\xA2\n",
     "\xA4\xA2\xB4\xC1\n",
     0},
    {"U+0000 is itself", {.from = E::Utf16LE, .to = E::EucJp}, {"\0\0A\0", 4}, {"\0A", 2}, 0},
    {"half-width katakana", {.from = E::ShiftJis, .to = E::EucJp}, "\xB1", "\x8E\xB1", 0},
    {"three-byte EUC-JP decoded",
     {.from = E::EucJp, .to = E::Utf8},
     "\x8F\xA2\xAF\x8F\xF4\xFB",
     "\xCB\x98\xE9\xAB\x99",
     0},
    {"a character only three bytes carry",
     {.from = E::Utf8, .to = E::EucJp},
     "\xCB\x98",
     "\x8F\xA2\xAF",
     0},
    {"IBM kanji keep their two-byte code",
     {.from = E::Utf8, .to = E::EucJp},
     "\xE9\xAB\x99",
     "\xFC\xE2",
     0},
    {"three-byte EUC-JP to Shift_JIS",
     {.from = E::EucJp, .to = E::ShiftJis},
     "\x8F\xF4\xFB",
     "\xFB\xFC",
     0},
    {"EUC-JP row 13 as the recoder writes it",
     {.from = E::EucJp, .to = E::ShiftJis},
     "\xAD\xFA",
     "\x87\x9A",
     0},
    {"a valid sequence stays as it was",
     {.from = E::EucJp, .to = E::EucJp},
     "\xAD\xFA\x8F\xA2\xAF",
     "\xAD\xFA\x8F\xA2\xAF",
     0},
    {"the built-in list's kanji",
     {.from = E::Utf8, .to = E::EucJp},
     "\xF0\xA7\xB6\xA0",
     "\xEC\xCE",
     1},
    {"a kanji the target lacks", {.from = E::Utf8, .to = E::ShiftJis}, "\xF0\xA0\xAE\x9F", "?", 1},
    {"a character the target lacks", {.from = E::Utf8, .to = E::EucJp}, "\xC2\xA5", "?", 1},
    {"invalid UTF-8",
     {.from = E::Utf8, .to = E::Utf16LE},
     "\xC3(\xED\xA0\x80",
     {"\xFD\xFF(\0\xFD\xFF\xFD\xFF\xFD\xFF", 10},
     4},
    {"a lead byte at the end", {.from = E::EucJp, .to = E::Utf8}, "A\xA4", "A\xEF\xBF\xBD", 1},
    {"an unmapped pair", {.from = E::EucJp, .to = E::ShiftJis}, "\xF5\xA1", "?", 1},
    {"a lone surrogate",
     {.from = E::Utf16LE, .to = E::Utf8},
     {"\x00\xDC\x41\x00", 4},
     "\xEF\xBF\xBD"
     "A",
     1},
    {"line ends to LF",
     {.from = E::Utf8, .to = E::Utf8, .eol = Eol::Lf},
     "a\r\nb\rc\nd\r",
     "a\nb\nc\nd\n",
     0},
    {"line ends to CR LF",
     {.from = E::EucJp, .to = E::Utf16LE, .eol = Eol::CrLf},
     "a\nb\r\n",
     {"a\0\r\0\n\0b\0\r\0\n\0", 12},
     0},
    {"line ends kept", {.from = E::Utf8, .to = E::EucJp}, "a\r\nb\rc\n", "a\r\nb\rc\n", 0},
    {"a mark kept",
     {.from = E::Utf8, .to = E::Utf16LE},
     "\xEF\xBB\xBF"
     "A",
     {"\xFF\xFE"
      "A\0",
      4},
     0},
    {"a mark removed",
     {.from = E::Utf8, .to = E::Utf8, .bom = Bom::Remove},
     "\xEF\xBB\xBF"
     "A",
     "A",
     0},
    {"a mark added",
     {.from = E::EucJp, .to = E::Utf8, .bom = Bom::Add},
     "A",
     "\xEF\xBB\xBF"
     "A",
     0},
    {"no mark into a legacy target",
     {.from = E::Utf16LE, .to = E::ShiftJis, .bom = Bom::Add},
     {"\xFF\xFE"
      "A\0",
      4},
     "A",
     0},
    {"UTF-16 read by its mark",
     {.from = E::Utf16, .to = E::Utf8},
     {"\xFE\xFF\0A", 4},
     "\xEF\xBB\xBF"
     "A",
     0},
    {"UTF-16 without a mark is little-endian",
     {.from = E::Utf16, .to = E::Utf8},
     {"A\0", 2},
     "A",
     0},
    {"UTF-16 written with a mark",
     {.from = E::Utf8, .to = E::Utf16},
     "A",
     {"\xFF\xFE"
      "A\0",
      4},
     0},
    {"UTF-16 without a mark when asked",
     {.from = E::Utf8, .to = E::Utf16, .bom = Bom::Remove},
     "A",
     {"A\0", 2},
     0},
    {"UTF-16BE", {.from = E::ShiftJis, .to = E::Utf16BE}, "\x82\xA0", "\x30\x42", 0},
};

TEST(TranscodeTest, ConvertsByTheRules) {
  for (const Case& c : kCases) {
    TranscodeCounts counts;
    const Bytes out = TranscodeAll(c.options, B(c.input), &counts);
    EXPECT_EQ(Hex(out), Hex(B(c.expected))) << c.name;
    EXPECT_EQ(counts.replacements, c.replacements) << c.name;
  }
}

TEST(TranscodeTest, ReportsTheFirstTenPlaces) {
  struct PlaceCase {
    TranscodeOptions options;
    std::string input;
    std::vector<ReplacementPlace> places;
  };
  std::string many, longLines;
  for (int i = 0; i < 12; ++i) many += "\xC2\xA5\n";
  for (int i = 0; i < 3; ++i) longLines += std::string(70, 'a') + "\r\n";
  longLines += std::string(40, 'b') + "\xC2\xA5";
  const PlaceCase cases[] = {
      {{.from = E::Utf8, .to = E::EucJp},
       "ab\xC2\xA5\r\n\xE3\x81\x82\xF0\xA7\xB6\xA0\xFF",
       {{1, 3, 0xA5}, {2, 2, 0x27DA0}, {2, 3, 0xFFFD}}},
      {{.from = E::Utf16LE, .to = E::ShiftJis, .eol = Eol::Lf},
       std::string("\x42\x30\x3D\xD8\x00\xDE\n\0\0\xDC", 10),
       {{1, 2, 0x1F600}, {2, 1, 0xFFFD}}},
      {{.from = E::EucJp, .to = E::Utf8}, "\n\n\xA4\xA2\xF5\xA1", {{3, 2, 0xFFFD}}},
      {{.from = E::Utf8, .to = E::EucJp}, longLines, {{4, 41, 0xA5}}},
      {{.from = E::Utf16LE, .to = E::EucJp},
       [&longLines] {
         const Bytes wide = TranscodeAll({.from = E::Utf8, .to = E::Utf16LE}, B(longLines));
         return std::string(wide.begin(), wide.end());
       }(),
       {{4, 41, 0xA5}}},
      {{.from = E::Utf8, .to = E::ShiftJis},
       many,
       {{1, 1, 0xA5},
        {2, 1, 0xA5},
        {3, 1, 0xA5},
        {4, 1, 0xA5},
        {5, 1, 0xA5},
        {6, 1, 0xA5},
        {7, 1, 0xA5},
        {8, 1, 0xA5},
        {9, 1, 0xA5},
        {10, 1, 0xA5}}},
  };
  for (const PlaceCase& c : cases) {
    TranscodeCounts counts;
    (void)TranscodeAll(c.options, B(c.input), &counts);
    ASSERT_EQ(counts.first.size(), c.places.size()) << c.input;
    EXPECT_EQ(counts.replacements, c.input == many ? 12u : c.places.size());
    for (std::size_t i = 0; i < c.places.size(); ++i) {
      EXPECT_EQ(counts.first[i].line, c.places[i].line) << c.input << " #" << i;
      EXPECT_EQ(counts.first[i].column, c.places[i].column) << c.input << " #" << i;
      EXPECT_EQ(counts.first[i].character, c.places[i].character) << c.input << " #" << i;
    }
  }
}

// Converts the input in blocks that end at the given cuts, as the pump does: what a block
// leaves goes before the next one.
Bytes InBlocks(const TranscodeOptions& options, const Bytes& input,
               const std::vector<std::size_t>& cuts, TranscodeCounts& counts,
               Transcoder::Steps steps = Transcoder::Steps::Fast) {
  Transcoder transcoder(options, steps);
  Bytes out, block;
  std::size_t at = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : input.size();
    block.insert(block.end(), input.begin() + static_cast<std::ptrdiff_t>(at),
                 input.begin() + static_cast<std::ptrdiff_t>(to));
    at = to;
    const bool final = i == cuts.size();
    const auto size = static_cast<std::int64_t>(block.size());
    Bytes room(static_cast<std::size_t>(Transcoder::OutputRoom(size)));
    std::int64_t consumed = -1;
    const std::int64_t written =
        transcoder.Convert(block.data(), size, final, room.data(), consumed);
    EXPECT_LE(size - consumed, final ? 0 : Transcoder::kCarriedBytes);
    out.insert(out.end(), room.begin(), room.begin() + written);
    block.erase(block.begin(), block.begin() + consumed);
  }
  counts = transcoder.Counts();
  return out;
}

// Text in the given encoding with something of everything: a mark, ASCII, kana, kanji, a
// three-byte or supplementary character, an invalid sequence, CR LF and a lone CR.
Bytes Sample(Encoding e) {
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "ab\r\n\xE3\x81\x82\xE6\xBC\xA2\xEF\xBD\xB1\r\xCB\x98\xF0\xA7\xB6\xA0\n";
  Bytes bytes = TranscodeAll({.from = E::Utf8, .to = e}, B(utf8));
  bytes.push_back(0xFF);  // invalid everywhere (a byte of a unit in UTF-16)
  bytes.push_back(0x0D);
  return bytes;
}

TEST(TranscodeTest, BlocksCutAnywhereGiveTheWholeConversion) {
  const Encoding forms[] = {E::Utf8, E::Utf16LE, E::Utf16BE, E::Utf16, E::EucJp, E::ShiftJis};
  for (const Encoding from : forms) {
    const Bytes input = Sample(from);
    for (const Encoding to : forms) {
      for (const Eol eol : {Eol::Keep, Eol::CrLf}) {
        const TranscodeOptions options{.from = from, .to = to, .eol = eol};
        TranscodeCounts whole, cut;
        const Bytes expected = TranscodeAll(options, input, &whole);
        for (std::size_t at = 0; at <= input.size(); ++at) {
          const std::string where = std::string(EncodingName(from)) + " to " +
                                    std::string(EncodingName(to)) + " cut at " + std::to_string(at);
          EXPECT_EQ(Hex(InBlocks(options, input, {at}, cut)), Hex(expected)) << where;
          ASSERT_EQ(cut.first.size(), whole.first.size()) << where;
          for (std::size_t i = 0; i < cut.first.size(); ++i) {
            EXPECT_EQ(cut.first[i].line, whole.first[i].line) << where;
            EXPECT_EQ(cut.first[i].column, whole.first[i].column) << where;
          }
        }
        std::vector<std::size_t> everyByte;
        for (std::size_t at = 1; at < input.size(); ++at) everyByte.push_back(at);
        EXPECT_EQ(Hex(InBlocks(options, input, everyByte, cut)), Hex(expected));
      }
    }
  }
}

// Random text of a form: runs of ASCII, line ends, and characters of the whole repertoire,
// now and then an invalid byte.
Bytes RandomText(std::mt19937& random, Encoding e, std::size_t characters, bool crLf) {
  Bytes utf16;
  const auto put = [&utf16](char32_t unit) {
    utf16.push_back(static_cast<std::uint8_t>(unit));
    utf16.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (std::size_t i = 0; i < characters; ++i) {
    const unsigned r = random() % 100;
    if (r < 50) {
      put(0x20 + random() % 95);
    } else if (r < 55) {
      // Line ends all CR LF, or any of CR LF, CR and LF.
      const char32_t control = U"\r\n\t"[random() % 3];
      if (crLf && control != '\t') put('\r');
      put(crLf && control != '\t' ? '\n' : control);
    } else if (r < 75) {
      put(0x3041 + random() % 0x5E);  // hiragana
    } else if (r < 97) {
      put(0x4E00 + random() % 0x5200);  // kanji, some of them in no table
    } else if (r < 99) {
      put(0xFF61 + random() % 63);
    } else {
      put(0xD800 + random() % 0x400);
      put(0xDC00 + random() % 0x400);
    }
  }
  Bytes bytes = TranscodeAll({.from = E::Utf16LE, .to = e, .bom = Bom::Remove}, utf16);
  for (int i = 0; i < 4; ++i) {
    std::uint8_t& b = bytes[random() % bytes.size()];
    if (b != '\r' && b != '\n') b = static_cast<std::uint8_t>(random() | 0x80);
  }
  return bytes;
}

TEST(TranscodeTest, FastStepsAgreeWithCharacterByCharacter) {
  std::mt19937 random(7);
  const Encoding forms[] = {E::Utf8, E::Utf16LE, E::Utf16BE, E::EucJp, E::ShiftJis};
  for (const Encoding from : forms) {
    for (const Encoding to : forms) {
      for (const Eol eol : {Eol::Keep, Eol::Lf, Eol::CrLf}) {
        const Bytes input = RandomText(random, from, 20000, eol == Eol::CrLf && to != E::Utf8);
        const TranscodeOptions options{.from = from, .to = to, .eol = eol};
        TranscodeCounts oracleCounts;
        const Bytes oracle = InBlocks(options, input, {input.size() / 3}, oracleCounts,
                                      Transcoder::Steps::CharByChar);
        EXPECT_LE(oracle.size(), 4 * input.size() + 3);
        for (const auto steps :
             {Transcoder::Steps::Fast, Transcoder::Steps::Eager, Transcoder::Steps::Baseline}) {
          TranscodeCounts counts;
          const Bytes out = InBlocks(options, input, {input.size() / 3}, counts, steps);
          const std::string what = std::string(EncodingName(from)) + " to " +
                                   std::string(EncodingName(to)) + " eol " +
                                   std::to_string(static_cast<int>(eol));
          ASSERT_EQ(out, oracle) << what;
          ASSERT_EQ(counts.replacements, oracleCounts.replacements) << what;
          ASSERT_EQ(counts.first.size(), oracleCounts.first.size()) << what;
          for (std::size_t i = 0; i < counts.first.size(); ++i) {
            EXPECT_EQ(counts.first[i].line, oracleCounts.first[i].line) << what;
            EXPECT_EQ(counts.first[i].column, oracleCounts.first[i].column) << what;
          }
        }
      }
    }
  }
}

TEST(TranscodeTest, PlacesAfterManyBlockSteps) {
  // Thousands of mapped lines that the block steps take whole, then an invalid sequence:
  // its line counts every line feed the steps took.
  std::string utf8;
  for (int i = 0; i < 3000; ++i) {
    utf8 += i % 2 ? "\xE6\xBC\xA2\xE5\xAD\x97 text\r\n" : "\xE3\x81\x82\n";
  }
  utf8 += "ab";
  const Encoding forms[] = {E::Utf8, E::Utf16LE, E::EucJp, E::ShiftJis};
  for (const Encoding from : forms) {
    Bytes input = TranscodeAll({.from = E::Utf8, .to = from}, B(utf8));
    input.insert(input.end(), {0xFF, 0xDF});  // a lone low surrogate in UTF-16
    for (const Encoding to : forms) {
      for (const Eol eol : {Eol::Keep, Eol::Lf, Eol::CrLf}) {
        for (const auto steps : {Transcoder::Steps::Fast, Transcoder::Steps::CharByChar}) {
          TranscodeCounts counts;
          (void)InBlocks({.from = from, .to = to, .eol = eol}, input, {input.size() / 2}, counts,
                         steps);
          const std::string what = std::string(EncodingName(from)) + " to " +
                                   std::string(EncodingName(to)) + " eol " +
                                   std::to_string(static_cast<int>(eol));
          ASSERT_FALSE(counts.first.empty()) << what;
          EXPECT_EQ(counts.first[0].line, 3001u) << what;
          EXPECT_EQ(counts.first[0].column, 3u) << what;
        }
      }
    }
  }
}

TEST(TranscodeTest, NamesAndAliases) {
  const std::pair<std::string_view, std::optional<Encoding>> names[] = {
      {"UTF-8", E::Utf8},           {"utf8", E::Utf8},
      {"EUC-JP-MS", E::EucJp},      {"Shift_JIS", E::ShiftJis},
      {"Windows-31J", E::ShiftJis}, {"utf-16", E::Utf16},
      {"UTF16BE", E::Utf16BE},      {"latin1", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [name, encoding] : names) EXPECT_EQ(ParseEncoding(name), encoding) << name;
}

}  // namespace
}  // namespace kelvo::transcode
