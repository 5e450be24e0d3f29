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

TEST(AsciiRunsTest, LeadingPairsAgreeWithTheirDefinition) {
  std::mt19937 random(5);
  // The edges of the byte classes, so that every count from 0 to 8 occurs.
  const std::uint8_t edges[] = {0x8D, 0x8E, 0x8F, 0xA0, 0xA1, 0xFE, 0xFF, 0x7F, 0x0A};
  for (int round = 0; round < 20000; ++round) {
    Buffer in(16);
    const unsigned oddShare = random() % 8;
    for (std::uint8_t& b : in) {
      b = random() % 32 < oddShare ? edges[random() % std::size(edges)]
                                   : static_cast<std::uint8_t>(0xA1 + random() % 94);
    }
    int count = 0;
    while (count < 8) {
      const int first = in[2 * count], second = in[2 * count + 1];
      if (!(first == 0x8E || (first >= 0xA1 && first <= 0xFE)) || second < 0xA1 || second > 0xFE)
        break;
      ++count;
    }
    ASSERT_EQ(ascii::LeadingPairsPortable(in.data()), count) << round;
#if defined(__SSE2__)
    ASSERT_EQ(ascii::LeadingPairsSse2(in.data()), count) << round;
#endif
  }
}

TEST(AsciiRunsTest, SequenceStartsAgreeWithTheirDefinition) {
  std::mt19937_64 random(6);
  for (int round = 0; round < 20000; ++round) {
    // Runs of high bytes of every length, and a carry now and then.
    std::uint64_t high = 0;
    for (int bit = 0, run = 0; bit < 64; ++bit) {
      if (run == 0) run = static_cast<int>(random() % 12) - 4;
      high |= std::uint64_t{run > 0} << bit;
      run += run > 0 ? -1 : 1;
    }
    const std::uint64_t carry = high & random() & 1;
    std::uint64_t expected = 0;
    for (int bit = 0, inRun = 0; bit < 64; ++bit) {
      const bool isHigh = (high >> bit & 1) != 0 && !(bit == 0 && carry != 0);
      if (isHigh && inRun % 2 == 0) expected |= std::uint64_t{1} << bit;
      inRun = isHigh ? inRun + 1 : 0;
    }
    ASSERT_EQ(ascii::SequenceStarts(high, carry), expected) << std::hex << high << " " << carry;
  }
}

class EncoderKernelTest : public test::ForwardTableFixture {};

// UTF-16 text of every kind of unit: ASCII runs, controls, line ends, mapped and unmapped
// units, pairs listed and unlisted, lone surrogates.
TEST_F(EncoderKernelTest, BlockPathMatchesUnitByUnit) {
  PastoralSceneUTF16 table(kTamorlek.forward.lists);
  ASSERT_TRUE(
      table.LoadTableAndList(SearchTable{}, kTamorlek.engine.table, SurrogateList::Replacements)
          .table);
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

TEST(DecoderKernelTest, BlockPathsMatchByteByByte) {
  std::string records;
  for (int b = 0x20; b < 0x7F; ++b) records += test::SingleRecord(b, b);
  records += test::PairRecord(0xA4, 0xA2, 0x42, 0x30) + test::PairRecord(0xB4, 0xC1, 0x22, 0x6F) +
             test::OneByteRecord(0x8E, 0xB1, 0xB1);
  // Mappings of keys that are no sequence, which no step may take.
  records += test::PairRecord(0x80, 0xA4, 0x11, 0x22) + test::PairRecord(0xA4, 0xFF, 0x33, 0x44) +
             test::PairRecord(0x8F, 0xA2, 0x55, 0x66);
  RuralAreaUTF16 table;
  ASSERT_TRUE(table.Allocate());
  table.StoreRecords(reinterpret_cast<const std::uint8_t*>(records.data()),
                     static_cast<std::int64_t>(records.size()));
  const std::uint8_t sequences[][3] = {
      {0xA4, 0xA2, 0}, {0xB4, 0xC1, 0}, {0xA4, 0xA3, 0}, {0x8E, 0xB1, 0}, {0x8F, 0xA2, 0xB7}};
  // Two inputs, each long enough for the block steps, which a short input does not pay for:
  // noisy pieces between runs of sequences, and text of plain lines, tabs and mapped runs
  // with a stray byte or sequence now and then.
  std::mt19937 random(4);
  Buffer noisy;
  while (noisy.size() < 100000) {
    const Buffer piece = RandomText(random, 1 + random() % 40, false);
    noisy.insert(noisy.end(), piece.begin(), piece.end());
    for (unsigned n = 1 + random() % 20; n > 0; --n) {
      const auto& s = sequences[random() % 8 < 5 ? 0 : random() % std::size(sequences)];
      noisy.insert(noisy.end(), s, s + (s[2] != 0 ? 3 : 2));
    }
  }
  Buffer text;
  while (text.size() < 200000) {
    const unsigned r = random() % 100;
    if (r < 40) {
      for (unsigned n = 1 + random() % 40; n > 0; --n) text.push_back(0x20 + random() % 95);
    } else if (r < 80) {
      for (unsigned n = 1 + random() % 30; n > 0; --n) {
        const auto& s = sequences[random() % 2];
        text.insert(text.end(), s, s + 2);
      }
    } else if (r < 90) {
      text.insert(text.end(), {0x0D, 0x0A});
    } else if (r < 94) {
      text.push_back(0x09);
    } else if (r < 97) {
      text.push_back(random() % 2 == 0 ? 0x0A : 0x0D);
    } else {
      const auto& s = sequences[random() % std::size(sequences)];
      text.insert(text.end(), s, s + (s[2] != 0 ? 3 : s[0] == 0xA4 ? 1 : 2));
    }
  }
  // Stray bytes before a line end, a CR LF, a control or a letter, at every offset of a
  // 64-byte window, after text or after pairs, so that each falls on every place of the
  // block steps.
  const Buffer strays[] = {{0xA4, 0x0A},       {0xA4, 0x0D, 0x0A}, {0xB0, 'x'},
                           {0x8E, 0x09},       {0x8F, 0xA1, 'B'},  {0x8F, 'y'},
                           {0x80, 'z'},        {0xFF, 0xA4, 0xA2}, {0xA0, 0xA4},
                           {0x8F, 0xA2, 0xB7}, {0xA4, 0x8E, 0xB1}, {0x80, 0xA4, 0xA2},
                           {0xA4, 0xFF},       {0x8F, 0xA2, 'w'}};
  Buffer windows;
  for (const Buffer& stray : strays) {
    for (int offset = 0; offset < 64; ++offset) {
      for (const bool pairs : {false, true}) {
        const std::size_t start = windows.size();
        while (windows.size() - start < static_cast<std::size_t>(offset)) {
          if (pairs && windows.size() - start + 2 <= static_cast<std::size_t>(offset)) {
            windows.insert(windows.end(), {0xA4, 0xA2});
          } else {
            windows.push_back('a');
          }
        }
        windows.insert(windows.end(), stray.begin(), stray.end());
        windows.insert(windows.end(), 8, 'b');
        while (windows.size() - start < 126) {
          if (pairs)
            windows.insert(windows.end(), {0xB4, 0xC1});
          else
            windows.push_back('b');
        }
      }
    }
  }
  for (const Buffer& input : {noisy, text, windows}) {
    const auto size = static_cast<std::int64_t>(input.size());
    for (const EucOutputForm& form : {kUtf16Output, kShiftJisOutput}) {
      for (const LineEndMode mode : {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead}) {
        for (const Controls controls : {Controls::Kept, Controls::Removed}) {
          std::int64_t lineEnds = 0;
          auto decode = [&](EucDecoder::Steps steps) {
            EucDecoder decoder(table, form, mode, controls, steps);
            Buffer out(static_cast<std::size_t>(EucDecoder::Capacity(form, size)));
            out.resize(static_cast<std::size_t>(decoder.Decode(input.data(), size, out.data())));
            lineEnds = decoder.LineEnds();
            return out;
          };
          const Buffer oracle = decode(EucDecoder::Steps::ByteByByte);
          const std::int64_t oracleLineEnds = lineEnds;
          for (const EucDecoder::Steps steps :
               {EucDecoder::Steps::Fast, EucDecoder::Steps::Baseline}) {
            EXPECT_EQ(decode(steps), oracle) << static_cast<int>(steps);
            EXPECT_EQ(lineEnds, oracleLineEnds);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kelvo
