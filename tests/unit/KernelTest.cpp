// The conversion kernels' fast steps against their plain ones, on random input: the SSE2
// helpers against their portable forms, and each kernel's block path against its unit-by-unit
// (or byte-by-byte) path, which is the oracle.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EucTestTable.h"
#include "ForwardTableFixture.h"
#include "convert/AsciiRuns.h"
#include "convert/EucDecoder.h"
#include "convert/RuralUTF16.h"
#include "convert/Utf16Encoder.h"

namespace kelvo {
namespace {

using Buffer = std::vector<std::uint8_t>;

// Random bytes, mostly printable ASCII, so that runs of every length occur.
Buffer RandomText(std::mt19937& random, std::size_t size, bool wide) {
  Buffer bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned r = random() % 100;
    const bool lowHalf = !wide || i % 2 == 0;
    if (!lowHalf) {
      bytes[i] = r < 90 ? 0 : static_cast<std::uint8_t>(random());
    } else if (r < 85) {
      bytes[i] = static_cast<std::uint8_t>(0x20 + random() % 95);
    } else {
      const std::uint8_t edges[] = {0x00, 0x1F, 0x7F, 0x80, 0xA0, 0xFF, 0x0A, 0x0D};
      bytes[i] = r < 95 ? edges[random() % std::size(edges)] : static_cast<std::uint8_t>(random());
    }
  }
  return bytes;
}

// What the helpers are to find: the printable ASCII bytes at the start.
int LeadingPrintable(const std::uint8_t* in, int count, int step) {
  int n = 0;
  while (n < count && in[n * step] >= 0x20 && in[n * step] <= 0x7E &&
         (step == 1 || in[n * step + 1] == 0)) {
    ++n;
  }
  return n;
}

TEST(AsciiRunsTest, EightUnitsAgreeWithTheirDefinition) {
  std::mt19937 random(1);
  for (int round = 0; round < 20000; ++round) {
    const Buffer in = RandomText(random, 16, true);
    const bool all = LeadingPrintable(in.data(), 8, 2) == 8;
    std::uint8_t portable[8] = {};
    ASSERT_EQ(ascii::CopyPrintableUnitsPortable(in.data(), portable), all) << round;
#if defined(__SSE2__)
    std::uint8_t sse2[8] = {};
    ASSERT_EQ(ascii::CopyPrintableUnitsSse2(in.data(), sse2), all) << round;
#endif
    for (int i = 0; all && i < 8; ++i) {
      ASSERT_EQ(portable[i], in[2 * i]);
#if defined(__SSE2__)
      ASSERT_EQ(sse2[i], in[2 * i]);
#endif
    }
  }
}

TEST(AsciiRunsTest, SixteenBytesAgreeWithTheirDefinition) {
  std::mt19937 random(2);
  for (int round = 0; round < 20000; ++round) {
    const Buffer in = RandomText(random, 16, false);
    const int count = LeadingPrintable(in.data(), 16, 1);
    for (const bool wide : {false, true}) {
      const int width = wide ? 2 : 1;
      std::uint8_t portable[32] = {};
      ASSERT_EQ(ascii::CopyPrintableBytesPortable(in.data(), portable, wide), count) << round;
#if defined(__SSE2__)
      std::uint8_t sse2[32] = {};
      ASSERT_EQ(ascii::CopyPrintableBytesSse2(in.data(), sse2, wide), count) << round;
#endif
      for (int i = 0; i < count; ++i) {
        ASSERT_EQ(portable[width * i], in[i]);
        if (wide) {
          ASSERT_EQ(portable[2 * i + 1], 0);
        }
#if defined(__SSE2__)
        ASSERT_EQ(sse2[width * i], in[i]);
        if (wide) {
          ASSERT_EQ(sse2[2 * i + 1], 0);
        }
#endif
      }
    }
  }
}

TEST(AsciiRunsTest, HighBytesAgreeWithTheirDefinition) {
  std::mt19937 random(5);
  for (int round = 0; round < 20000; ++round) {
    // High and low bytes in runs, so that every count from 0 to 16 occurs.
    Buffer in(16);
    const unsigned highShare = random() % 5;
    for (std::uint8_t& b : in)
      b = static_cast<std::uint8_t>(random() % 5 < highShare ? 0x80 | random() : random() & 0x7F);
    int count = 0;
    while (count < 16 && in[count] >= 0x80) ++count;
    ASSERT_EQ(ascii::LeadingHighBytesPortable(in.data()), count) << round;
#if defined(__SSE2__)
    ASSERT_EQ(ascii::LeadingHighBytesSse2(in.data()), count) << round;
#endif
  }
}

TEST(AsciiRunsTest, ClassesAndUnitsAgreeWithTheirDefinition) {
  std::mt19937 random(6);
  for (int round = 0; round < 5000; ++round) {
    const Buffer in = RandomText(random, 64, round % 2 == 1);
    ascii::ByteClasses expected{};
    for (int i = 0; i < 64; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      const std::uint8_t b = in[i];
      expected.high |= b >= 0x80 ? bit : 0;
      expected.printable |= b >= 0x20 && b <= 0x7E ? bit : 0;
      expected.tab |= b == 0x09 ? bit : 0;
      expected.lf |= b == 0x0A ? bit : 0;
      expected.cr |= b == 0x0D ? bit : 0;
    }
    int nonzero = 0;
    while (nonzero < 8 && (in[2 * nonzero] | in[2 * nonzero + 1]) != 0) ++nonzero;
    std::vector<ascii::ByteClasses> classes = {ascii::ClassifyBytesPortable(in.data())};
    std::vector<int> units = {ascii::LeadingNonzeroUnitsPortable(in.data())};
#if defined(__SSE2__)
    classes.push_back(ascii::ClassifyBytesSse2(in.data()));
    units.push_back(ascii::LeadingNonzeroUnitsSse2(in.data()));
#endif
    for (const ascii::ByteClasses& c : classes) {
      ASSERT_EQ(
          std::vector({c.high, c.printable, c.tab, c.lf, c.cr}),
          std::vector({expected.high, expected.printable, expected.tab, expected.lf, expected.cr}))
          << round;
    }
    for (const int n : units) ASSERT_EQ(n, nonzero) << round;
  }
}

class EncoderKernelTest : public test::ForwardTableFixture {};

// UTF-16 text of every kind of unit: ASCII runs, controls, line ends, mapped and unmapped
// units, pairs listed and unlisted, lone surrogates.
TEST_F(EncoderKernelTest, BlockPathMatchesUnitByUnit) {
  PastoralSceneUTF16 table(kTamorlek.forward.lists);
  ASSERT_TRUE(
      table.LoadTableAndList(SearchTable{}, kTamorlek.engine.table, SurrogateList::Replacements));
  const std::u16string pieces[] = {u"plain ASCII text, long enough to fill a run ",
                                   u"x",
                                   u"\r\n",
                                   u"\n",
                                   u"\r",
                                   u"\t",
                                   std::u16string(1, u'\0'),
                                   u"\x7F\x80\xA0\xE9",
                                   {test::kHiragana},
                                   {test::kHalfwidth, test::kControlOneByte},
                                   {test::kAbsent},
                                   u"\xD85F\xDDA0",
                                   u"\xD842\xDF9F",
                                   u"\xD85F",
                                   u"\xDC00",
                                   u"\xFFFF"};
  std::mt19937 random(3);
  std::u16string text;
  // Long runs of the plainer pieces too, for the steps of sixteen units.
  while (text.size() < 40000) {
    const std::u16string& piece = pieces[random() % std::size(pieces)];
    for (unsigned n = random() % 4 == 0 ? 1 + random() % 30 : 1; n > 0; --n) text += piece;
  }
  const std::string bytes = test::Utf16(text, false);
  const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto size = static_cast<std::int64_t>(bytes.size());
  for (const LineEndMode mode : {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead}) {
    for (const Controls controls : {Controls::Kept, Controls::Removed}) {
      const EncoderRules rules{.lineEnds = mode, .controls = controls};
      auto convert = [&](Utf16Encoder::Steps steps) {
        Utf16Encoder encoder(steps);
        EXPECT_TRUE(encoder.Build(table, rules));
        Buffer out(bytes.size());
        std::int64_t used = 0;
        out.resize(static_cast<std::size_t>(encoder.Convert(in, size, true, out.data(), used)));
        EXPECT_EQ(used, size);
        return out;
      };
      const Buffer oracle = convert(Utf16Encoder::Steps::UnitByUnit);
      EXPECT_EQ(convert(Utf16Encoder::Steps::Fast), oracle);
      EXPECT_EQ(convert(Utf16Encoder::Steps::Baseline), oracle);
    }
  }
}

TEST(DecoderKernelTest, BlockPathMatchesByteByByte) {
  std::string records;
  for (int b = 0x20; b < 0x7F; ++b) records += test::SingleRecord(b, b);
  records += test::PairRecord(0xA4, 0xA2, 0x42, 0x30) + test::OneByteRecord(0x8E, 0xB1, 0xB1);
  RuralAreaUTF16 table;
  table.StoreRecords(reinterpret_cast<const std::uint8_t*>(records.data()),
                     static_cast<std::int64_t>(records.size()));
  std::mt19937 random(4);
  Buffer input;
  // Long enough for the window steps, which a short input does not pay for.
  while (input.size() < 100000) {
    const Buffer piece = RandomText(random, 1 + random() % 40, false);
    input.insert(input.end(), piece.begin(), piece.end());
    const std::uint8_t sequences[][3] = {
        {0xA4, 0xA2, 0}, {0xA4, 0xA3, 0}, {0x8E, 0xB1, 0}, {0x8F, 0xA2, 0xB7}};
    // Runs of sequences, mostly of the mapped one, long enough to fill the block steps.
    for (unsigned n = 1 + random() % 20; n > 0; --n) {
      const auto& s = sequences[random() % 8 < 5 ? 0 : random() % std::size(sequences)];
      input.insert(input.end(), s, s + (s[2] != 0 ? 3 : 2));
    }
  }
  const auto size = static_cast<std::int64_t>(input.size());
  for (const EucOutputForm& form : {kUtf16Output, kShiftJisOutput}) {
    for (const LineEndMode mode : {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead}) {
      for (const Controls controls : {Controls::Kept, Controls::Removed}) {
        EucDecoder fast(table, form, mode, controls);
        EucDecoder oracle(table, form, mode, controls, EucDecoder::Steps::ByteByByte);
        Buffer fastOut(static_cast<std::size_t>(EucDecoder::Capacity(form, size)));
        Buffer oracleOut(fastOut.size());
        fastOut.resize(static_cast<std::size_t>(fast.Decode(input.data(), size, fastOut.data())));
        oracleOut.resize(
            static_cast<std::size_t>(oracle.Decode(input.data(), size, oracleOut.data())));
        EXPECT_EQ(fastOut, oracleOut);
        EXPECT_EQ(fast.LineEnds(), oracle.LineEnds());
      }
    }
  }
}

}  // namespace
}  // namespace kelvo
