// The two EUC-JP engines, to UTF-16 (reverse) and to Shift_JIS (recoder), with their code
// table and hand-made table files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EucTestTable.h"
#include "TempDir.h"
#include "TestSystem.h"
#include "convert/ConvertEUC.h"
#include "convert/ConvertWideEUC.h"
#include "convert/RuralUTF16.h"
#include "convert/StandardIO.h"
#include "drivers/ProgramRecord.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::Bytes;
using test::OneByteRecord;
using test::PairRecord;
using test::SingleRecord;
using test::TempDir;

// The small tables: あ (A4A2), 漢 (B4C1), ＂ (FCFE, a key above FEF4h), and single-byte
// records for ASCII only, as the derivation writes them (none for control bytes); the
// recoder's also maps the half-width ｱ (8EB1) to one byte.
std::string ReverseTable() {
  std::string t;
  for (int b = 0x20; b < 0x7F; ++b) t += SingleRecord(b, b);
  return t + PairRecord(0xA4, 0xA2, 0x42, 0x30) + PairRecord(0xB4, 0xC1, 0x22, 0x6F) +
         PairRecord(0xFC, 0xFE, 0x02, 0xFF);
}
std::string RecoderTable() {
  std::string t;
  for (int b = 0x20; b < 0x7F; ++b) t += SingleRecord(b, b);
  return t + PairRecord(0xA4, 0xA2, 0x82, 0xA0) + PairRecord(0xB4, 0xC1, 0x8A, 0xBF) +
         PairRecord(0xFC, 0xFE, 0xFA, 0x57) + OneByteRecord(0x8E, 0xB1, 0xB1);
}

enum Mode { kCrLf, kLf, kAsRead, kCrLfS, kLfS, kAsReadS, kStdOut, kStdOutS };
constexpr Mode kFileModes[] = {kCrLf, kLf, kAsRead, kCrLfS, kLfS, kAsReadS};

bool Filtered(Mode mode) {
  return mode == kCrLfS || mode == kLfS || mode == kAsReadS || mode == kStdOutS;
}
LineEndMode LineEndsOf(Mode mode) {
  if (mode == kLf || mode == kLfS) return LineEndMode::Lf;
  if (mode == kAsRead || mode == kAsReadS) return LineEndMode::AsRead;
  return LineEndMode::CrLf;
}

// One of the two engines.
struct Engine {
  const char* name;
  bool utf16;
  std::string tableFile;
  std::string (*table)();
};
const Engine kReverse{"reverse", true, "EUC-JP~UTF16.bin", &ReverseTable};
const Engine kRecoder{"recoder", false, "EUC-JP~Shift_JIS.bin", &RecoderTable};

std::unique_ptr<EucEngine> Make(const Engine& engine) {
  if (engine.utf16) return std::make_unique<ConvertEUCintoUTF16>(kBrenodax.engine);
  return std::make_unique<Conversion>(kQuilvar.engine);
}

// Runs one conversion; a standard-output one (recoder only) gives the bytes written there.
std::string RunMode(EucEngine& engine, Mode mode, const std::u16string& output,
                    std::int64_t* lineEnds = nullptr) {
  if (mode == kStdOut || mode == kStdOutS) {
    auto& recoder = dynamic_cast<Conversion&>(engine);
    test::CapturedOutput output;
    EXPECT_EQ(mode == kStdOut ? recoder.ConvertToStandardOutput()
                              : recoder.ConvertToStandardOutputFiltered(),
              OutputStatus::Written);
    if (lineEnds != nullptr) *lineEnds = recoder.LineEnds();
    return output.Finish();
  }
  EXPECT_EQ(
      engine.Convert(LineEndsOf(mode), Filtered(mode) ? Controls::Removed : Controls::Kept, output),
      OutputStatus::Written);
  return TempDir::Read(platform::ToAnsi(output));
}

class EucEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir::Write(kReverse.tableFile, ReverseTable());
    TempDir::Write(kRecoder.tableFile, RecoderTable());
  }
  // Converts the input in one mode; the output file, or what went to standard output.
  static std::string Convert(const Engine& kind, const std::string& input, Mode mode,
                             std::int64_t* lineEnds = nullptr) {
    TempDir::Write("in.euc", input);
    std::filesystem::remove("out.bin");
    auto engine = Make(kind);
    EXPECT_TRUE(engine->Open(SearchTable{}, u"in.euc").input);
    return RunMode(*engine, mode, u"out.bin", lineEnds);
  }
  // The same, converted in place: the output names the input, which is read whole first.
  static std::string ConvertInPlace(const Engine& kind, const std::string& input) {
    TempDir::Write("in.euc", input);
    auto engine = Make(kind);
    EXPECT_TRUE(engine->Open(SearchTable{}, u"in.euc").input);
    EXPECT_EQ(engine->Convert(LineEndMode::CrLf, Controls::Kept, u"./in.euc"),
              OutputStatus::Written);
    return TempDir::Read("in.euc");
  }
  static std::string Model(const Engine& kind, const std::string& table, Mode mode,
                           const std::string& input) {
    RuralAreaUTF16 model;
    EXPECT_TRUE(model.Allocate());
    model.StoreRecords(reinterpret_cast<const std::uint8_t*>(table.data()),
                       static_cast<std::int64_t>(table.size()));
    return test::ModelDecode(model, kind.utf16, LineEndsOf(mode), Filtered(mode), input);
  }
  TempDir dir_;
};

TEST(EucCodeTableTest, StoresRecordsWhateverTheirKey) {
  RuralAreaUTF16 table;
  ASSERT_TRUE(table.Allocate());
  std::string records = SingleRecord(0x41, 0x41) + PairRecord(0xA4, 0xA2, 0x42, 0x30) +
                        PairRecord(0xFC, 0xFE, 0x02, 0xFF) + PairRecord(0xFF, 0xFF, 1, 2) +
                        PairRecord(0xA4, 0xA2, 0x44, 0x30) + Bytes({0xB0, 0xA1, 1});
  table.StoreRecords(reinterpret_cast<const std::uint8_t*>(records.data()),
                     static_cast<std::int64_t>(records.size()));
  EXPECT_EQ(table.Entry(0x41, 0), 0);
  EXPECT_EQ(table.Entry(0x41, 1), 0x41);
  EXPECT_EQ(table.Entry(0xA2A4, 0), 1);
  EXPECT_EQ(table.Entry(0xA2A4, 1), 0x44);  // the later record wins
  EXPECT_EQ(table.Entry(0xFEFC, 2), 0xFF);
  EXPECT_EQ(table.Entry(0xFFFF, 1), 1);
  EXPECT_EQ(table.Entry(0xA1B0, 0), 0);  // partial record ignored
  EXPECT_EQ(table.Entry(0x10000, 0), 0);
  EXPECT_EQ(table.Entry(-1, 0), 0);
  table.SetEntry(0x10000, 0, 1);  // ignored, no crash
  table.SetEntry(0x1234, 2, 0x56);
  EXPECT_EQ(table.Entry(0x1234, 2), 0x56);
  EXPECT_EQ(table.Entry(0x1234, 0), 0);
}

struct RuleCase {
  const char* what;
  std::string input;
  Mode mode;
  std::string expected;
};

TEST_F(EucEngineTest, ReverseConvertsByTheRules) {
  const std::string bom = Bytes({0xFF, 0xFE});
  const std::vector<RuleCase> cases = {
      {"LF becomes CR LF", "A\nB", kCrLf, bom + Bytes({'A', 0, 13, 0, 10, 0, 'B', 0})},
      {"LF stays with -LF", "A\nB", kLf, bom + Bytes({'A', 0, 10, 0, 'B', 0})},
      {"LF as read", "A\nB", kAsRead, bom + Bytes({'A', 0, 10, 0, 'B', 0})},
      {"CR LF once per line", "A\r\nB", kCrLf, bom + Bytes({'A', 0, 13, 0, 10, 0, 'B', 0})},
      {"CR LF kept as read", "A\r\nB", kAsRead, bom + Bytes({'A', 0, 13, 0, 10, 0, 'B', 0})},
      {"lone CR disappears", "A\rB", kCrLf, bom + Bytes({'A', 0, 'B', 0})},
      {"lone CR disappears with -LF", "A\rB", kLf, bom + Bytes({'A', 0, 'B', 0})},
      {"lone CR as read", "A\rB", kAsRead, bom + Bytes({'A', 0, 13, 0, 'B', 0})},
      {"empty input", "", kCrLf, bom},
      {"no line end at the end", "AB", kCrLf, bom + Bytes({'A', 0, 'B', 0})},
      {"mapped pairs", Bytes({0xA4, 0xA2, 0xB4, 0xC1}), kCrLf,
       bom + Bytes({0x42, 0x30, 0x22, 0x6F})},
      {"key above FEF4h", Bytes({0xFC, 0xFE}), kCrLf, bom + Bytes({0x02, 0xFF})},
      {"unmapped pair gives its second byte", Bytes({0xA4, 0xA3}), kCrLf, bom + Bytes({0xA3, 0})},
      {"last lead byte is invalid", Bytes({'A', 0xA4}), kCrLf, bom + Bytes({'A', 0, 0xFD, 0xFF})},
      {"lead byte leaves the LF", Bytes({0xA4, 0x0A, 'B'}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 13, 0, 10, 0, 'B', 0})},
      {"stray byte before a pair", Bytes({0x80, 0xA4, 0xA2}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 0x42, 0x30})},
      {"cut three-byte sequence before ASCII", Bytes({0x8F, 0xA1, 'B'}), kLf,
       bom + Bytes({0xFD, 0xFF, 0xFD, 0xFF, 'B', 0})},
      {"filter drops invalid bytes", Bytes({0x8F, 0xA1, 'B', 0xA4, 0x0A, 0xFF}), kLfS,
       bom + Bytes({'B', 0, 10, 0})},
      {"TAB and ESC kept unfiltered", Bytes({9, 0x1B}), kCrLf, bom + Bytes({9, 0, 0x1B, 0})},
      {"filter drops controls", Bytes({9, 'A', 0x1B, 0x7F, 0, 'B'}), kCrLfS,
       bom + Bytes({'A', 0, 'B', 0})},
      {"filter keeps line ends", "A\r\nB\n", kAsReadS,
       bom + Bytes({'A', 0, 13, 0, 10, 0, 'B', 0, 10, 0})},
      {"filter with -LF", "A\r\n\tB\n", kLfS, bom + Bytes({'A', 0, 10, 0, 'B', 0, 10, 0})},
      {"filter drops unmapped 8Eh and 8Fh sequences", Bytes({0x8E, 0xA1, 'A', 0x8F, 0xA1, 0xA1}),
       kCrLfS, bom + Bytes({'A', 0})},
      {"filter keeps unmapped A1h-DFh", Bytes({0xA4, 0xA3}), kCrLfS, bom + Bytes({0xA3, 0})},
      {"filter keeps unmapped E0h-FEh", Bytes({0xE0, 0xA1, 0xFE, 0xB0}), kCrLfS,
       bom + Bytes({0xA1, 0, 0xB0, 0})},
      {"filter never drops mapped pairs", Bytes({0xA4, 0xA2}), kLfS, bom + Bytes({0x42, 0x30})},
      {"three-byte sequence is one U+FFFD", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2, 'A'}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 0x42, 0x30, 'A', 0})},
      {"three-byte sequences at the range ends", Bytes({0x8F, 0xA1, 0xA1, 0x8F, 0xFE, 0xFE}), kLf,
       bom + Bytes({0xFD, 0xFF, 0xFD, 0xFF})},
      {"filter drops a three-byte sequence whole", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kAsReadS,
       bom + Bytes({'A', 0})},
      {"8Fh before a line end", Bytes({0x8F, 0x0A, 'B'}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 13, 0, 10, 0, 'B', 0})},
      {"8Fh before ASCII", Bytes({0x8F, 'A'}), kCrLf, bom + Bytes({0xFD, 0xFF, 'A', 0})},
      {"8Fh before a byte outside A1h-FEh", Bytes({0x8F, 0xA0, 0xA4, 0xA2}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 0xFD, 0xFF, 0x42, 0x30})},
      {"8Fh and one byte at the end", Bytes({'A', 0x8F, 0xA2}), kCrLf,
       bom + Bytes({'A', 0, 0xFD, 0xFF, 0xFD, 0xFF})},
  };
  for (const RuleCase& c : cases)
    EXPECT_EQ(Convert(kReverse, c.input, c.mode), c.expected) << c.what;
}

TEST_F(EucEngineTest, RecoderConvertsByTheRules) {
  const std::vector<RuleCase> cases = {
      {"LF becomes CR LF", "A\nB", kCrLf, "A\r\nB"},
      {"LF stays with -LF", "A\nB", kLf, "A\nB"},
      {"LF as read", "A\nB", kAsRead, "A\nB"},
      {"standard output always CR LF", "A\nB", kStdOut, "A\r\nB"},
      {"CR LF once per line", "A\r\nB\r\n", kCrLf, "A\r\nB\r\n"},
      {"CR LF to standard output", "A\r\nB\r\n", kStdOut, "A\r\nB\r\n"},
      {"lone CR disappears", "A\rB", kCrLf, "AB"},
      {"lone CR as read", "A\rB", kAsRead, "A\rB"},
      {"no byte-order mark, empty input", "", kCrLf, ""},
      {"mapped pairs", Bytes({0xA4, 0xA2, 0xB4, 0xC1}), kCrLf, Bytes({0x82, 0xA0, 0x8A, 0xBF})},
      {"key above FEF4h", Bytes({0xFC, 0xFE}), kCrLf, Bytes({0xFA, 0x57})},
      // A lone Shift_JIS lead byte would take the character after it.
      {"unmapped pair gives '?'", Bytes({0xA4, 0xA3, 0xF5, 0xA1, 'A'}), kCrLf, "??A"},
      {"unmapped pair with -LF", Bytes({0xA4, 0xA3}), kLf, "?"},
      {"unmapped pair as read", Bytes({0xA4, 0xA3}), kAsRead, "?"},
      {"unmapped pair to standard output", Bytes({0xA4, 0xA3}), kStdOut, "?"},
      {"control bytes kept in the default mode", Bytes({9, 0x1B, 0, 'A'}), kCrLf,
       Bytes({9, 0x1B, 0, 'A'})},
      {"last lead byte is invalid", Bytes({'A', 0xA4}), kCrLf, "A?"},
      {"lead byte leaves the LF", Bytes({0xA4, 0x0A, 'A'}), kCrLf, "?\r\nA"},
      {"lead byte leaves the LF on standard output", Bytes({0xA4, 0x0A, 'A'}), kStdOut, "?\r\nA"},
      {"stray byte before a pair", Bytes({0x80, 0xA4, 0xA2}), kLf, Bytes({'?', 0x82, 0xA0})},
      {"cut three-byte sequence, filtered", Bytes({0x8F, 0xA1, 'B'}), kCrLfS, "B"},
      {"cut three-byte sequence", Bytes({0x8F, 0xA1, 'B'}), kAsRead, "??B"},
      {"filter drops a lone A1h-DFh", Bytes({0xB1, 0x0A, 0xA4, 'A'}), kStdOutS, "\r\nA"},
      {"filter drops TAB, ESC, DEL", Bytes({9, 'A', 0x1B, 0x7F, 'B'}), kCrLfS, "AB"},
      {"filter keeps line ends as read", "A\r\n\tB\n", kAsReadS, "A\r\nB\n"},
      {"filter with -LF", "A\r\n\tB\n", kLfS, "A\nB\n"},
      {"filter on standard output", "\tA\n", kStdOutS, "A\r\n"},
      {"filter drops unmapped 80h-A0h sequences", Bytes({0x8E, 0xA1, 'A', 0x8F, 0xA1}), kCrLfS,
       "A"},
      {"filter keeps unmapped A1h-DFh pairs", Bytes({0xA4, 0xA3}), kCrLfS, "?"},
      {"filter keeps unmapped E0h-FEh pairs", Bytes({0xE0, 0xA1, 0xFE, 0xB0}), kLfS, "??"},
      {"filter never drops mapped pairs", Bytes({0xA4, 0xA2}), kStdOutS, Bytes({0x82, 0xA0})},
      {"half-width katakana gives one byte", Bytes({0x8E, 0xB1, 'A', 0x8E, 0xB1}), kCrLf,
       Bytes({0xB1, 'A', 0xB1})},
      {"half-width katakana with -LF", Bytes({0x8E, 0xB1}), kLf, Bytes({0xB1})},
      {"half-width katakana as read", Bytes({0x8E, 0xB1}), kAsRead, Bytes({0xB1})},
      {"half-width katakana kept by the filter", Bytes({0x8E, 0xB1}), kLfS, Bytes({0xB1})},
      {"half-width katakana to standard output", Bytes({0x8E, 0xB1}), kStdOut, Bytes({0xB1})},
      {"half-width katakana, filtered, to standard output", Bytes({0x8E, 0xB1}), kStdOutS,
       Bytes({0xB1})},
      {"unmapped 8Eh pair", Bytes({0x8E, 0xE0}), kCrLf, "?"},
      {"three-byte sequence is one '?'", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}), kCrLf,
       Bytes({'?', 0x82, 0xA0})},
      {"three-byte sequence to standard output", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kStdOut, "?A"},
      {"filter drops a three-byte sequence whole", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kLfS, "A"},
      {"filter drops it on standard output", Bytes({0x8F, 0xFE, 0xFE, 'A'}), kStdOutS, "A"},
      {"8Fh before a line end", Bytes({0x8F, 0x0A, 'B'}), kCrLf, "?\r\nB"},
      {"8Fh and one byte at the end", Bytes({'A', 0x8F, 0xA2}), kStdOut, "A??"},
  };
  for (const RuleCase& c : cases)
    EXPECT_EQ(Convert(kRecoder, c.input, c.mode), c.expected) << c.what;
}

TEST_F(EucEngineTest, StandardOutputCountsTheLineEnds) {
  const std::string input(100000, '\n');
  std::string expected;
  for (std::size_t i = 0; i < input.size(); ++i) expected += "\r\n";
  std::int64_t lineEnds = 0;
  EXPECT_EQ(Convert(kRecoder, input, kStdOut, &lineEnds), expected);
  EXPECT_EQ(lineEnds, 100000);
}

// Long inputs of every kind of byte, in every mode, against the byte-by-byte model. Runs of
// printable ASCII of every length and alignment exercise the block copies. Tables that give
// single-byte keys a mapping take those keys out of the runs.
TEST_F(EucEngineTest, MatchesTheByteByByteModel) {
  const std::string pieces[] = {"Hello, world ",
                                "x",
                                "\n",
                                "\r\n",
                                "\r",
                                "\t",
                                Bytes({0}),
                                Bytes({0x7F}),
                                Bytes({0xA4, 0xA2}),
                                Bytes({0xA4, 0xA3}),
                                Bytes({0x8E, 0xB1}),
                                Bytes({0x8F}),
                                Bytes({0x8F, 0xA2, 0xB7}),
                                Bytes({0x8F, 0xA2}),
                                Bytes({0xFC, 0xFE}),
                                Bytes({0xB0, 0x0A}),
                                Bytes({0xFF}),
                                "The quick brown fox jumps over the lazy dog 0123456789"};
  for (const Engine* kind : {&kReverse, &kRecoder}) {
    for (bool oddTable : {false, true}) {
      SCOPED_TRACE(std::string(kind->name) + (oddTable ? ", odd table" : ""));
      std::string table = kind->table() + PairRecord(0xB0, 0x0A, 0x11, 0x22);
      // A two-byte record with a second byte 0 gives a single-byte key a mapping.
      if (oddTable) table += PairRecord(0x41, 0x00, 0x34, 0x12) + PairRecord(0x0A, 0, 0x78, 0x56);
      TempDir::Write(kind->tableFile, table);
      std::mt19937 random(oddTable ? 7 : 11);
      std::string input;
      for (int i = 0; i < 3000; ++i) input += pieces[random() % std::size(pieces)];
      input.push_back(static_cast<char>(0xB4));  // a trailing lead byte
      for (Mode mode : kFileModes) {
        EXPECT_EQ(Convert(*kind, input, mode), Model(*kind, table, mode, input)) << "mode " << mode;
      }
      if (!kind->utf16) {
        for (Mode mode : {kStdOut, kStdOutS}) {
          EXPECT_EQ(Convert(*kind, input, mode), Model(*kind, table, mode, input))
              << "mode " << mode;
        }
      }
    }
  }
}

// Inputs longer than the engine's blocks, with a pair and a lead byte followed by LF at
// every offset around the block boundaries; converted to another file, to standard output
// and in place (the output names the input, which is read whole first).
TEST_F(EucEngineTest, LongInputsAcrossBlocks) {
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  for (const Engine* kind : {&kReverse, &kRecoder}) {
    for (std::size_t shift : {0, 1, 2, 3}) {
      SCOPED_TRACE(std::string(kind->name) + " " + std::to_string(shift));
      std::string input(kBlock - 4 + shift, kind->utf16 ? 'a' : '\n');
      for (int i = 0; i < 3; ++i) input += Bytes({0xA4, 0xA2, 0xB0, 0x0A, 'x'});
      input += std::string(kBlock - 7, 'b') + Bytes({0xB4, 0xC1, 0xB4});
      const std::string expected = Model(*kind, kind->table(), kCrLf, input);
      EXPECT_EQ(Convert(*kind, input, kCrLf), expected);
      if (!kind->utf16) {
        EXPECT_EQ(Convert(*kind, input, kStdOut), expected);
      }
      EXPECT_EQ(ConvertInPlace(*kind, input), expected);
    }
  }
}

// A three-byte sequence, or an 8Fh that begins none, with the block boundary before each
// of its bytes and after it.
TEST_F(EucEngineTest, ThreeByteSequencesAcrossBlocks) {
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  const std::string tails[] = {Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}), Bytes({0x8F, 0xA2, 'y', 'z'}),
                               Bytes({0x8F, 0x0A, 'z'})};
  for (const Engine* kind : {&kReverse, &kRecoder}) {
    for (const std::string& tail : tails) {
      for (std::size_t before = kBlock - 3; before <= kBlock; ++before) {
        SCOPED_TRACE(std::string(kind->name) + " after " + std::to_string(before));
        const std::string input = std::string(before, 'a') + tail;
        const std::string expected = Model(*kind, kind->table(), kCrLf, input);
        EXPECT_EQ(Convert(*kind, input, kCrLf), expected);
        if (kind->utf16) {
          EXPECT_EQ(ConvertInPlace(*kind, input), expected);
        } else {
          EXPECT_EQ(Convert(*kind, input, kStdOut), expected);
        }
      }
    }
  }
}

// Each conversion reports a failed read with its own number.
TEST_F(EucEngineTest, ReadFailureStopsWithItsNumber) {
  const std::vector<std::pair<Mode, std::string>> cases = {
      {kCrLf, "92"}, {kLf, "93"},       {kAsRead, "94"},  {kCrLfS, "98"},
      {kLfS, "99"},  {kAsReadS, "100"}, {kStdOut, "101"}, {kStdOutS, "102"}};
  for (const auto& [mode, number] : cases) {
    TempDir::Write("in.euc", "text");
    auto engine = Make(kRecoder);
    EXPECT_TRUE(engine->Open(SearchTable{}, u"in.euc").input);
    std::filesystem::remove("in.euc");
    try {
      RunMode(*engine, mode, u"out.sjis");
      ADD_FAILURE() << number << " did not stop";
    } catch (const Halt& halt) {
      EXPECT_EQ(halt.exitCode, 1);
    }
    EXPECT_EQ(TempDir::ErrorMessages().back(), "Reset() error-" + number + ": in.euc");
    EXPECT_FALSE(TempDir::Exists("out.sjis")) << number;
  }
}

TEST_F(EucEngineTest, OpenAndWriteFailuresAreReported) {
  {
    auto engine = Make(kRecoder);
    const OpenResult opened = engine->Open(SearchTable{}, u"none.euc");
    // The table is loaded all the same: its first probe, the default directory, fails.
    const std::string defaultProbe =
        "Reset() error-116: " + platform::ToAnsi(platform::DefaultTableDirectory()) +
        "EUC-JP~Shift_JIS.bin";
    EXPECT_EQ(TempDir::ErrorMessages(),
              (std::vector<std::string>{"Reset() error-103: none.euc", "SetLength() error-96: -1",
                                        "SetLength() error-97: -3", defaultProbe}));
    // The driver ends the run with -1 on the failed input.
    EXPECT_EQ(opened.input.failed, platform::Step::Open);
    EXPECT_EQ(opened.input.errorNumber, 103);
    EXPECT_TRUE(opened.tableReport);
  }
  TempDir::Write("in.euc", "A");
  std::filesystem::create_directory("taken");
  auto engine = Make(kRecoder);
  EXPECT_TRUE(engine->Open(SearchTable{}, u"in.euc").input);
  EXPECT_EQ(engine->Convert(LineEndMode::Lf, Controls::Kept, u"taken"), OutputStatus::NotWritten);
  EXPECT_EQ(TempDir::ErrorMessages().back(), "Rewrite() error-88: taken");
}

// data.txt missing, or there but unreadable (a directory), is reported with the number of
// the path that shows it: the file engine's or the standard-input reader's.
TEST_F(EucEngineTest, ShowDataFileReportsWithItsOwnNumber) {
  struct Case {
    const char* what;
    bool directory;
    bool standardInput;
    const char* message;
  };
  const Case cases[] = {
      {"missing, file engine", false, false, "Reset() error-134: data.txt"},
      {"unreadable, file engine", true, false, "Reset() error-134: data.txt"},
      {"missing, standard input", false, true, "Reset() error-183: data.txt"},
      {"unreadable, standard input", true, true, "Reset() error-183: data.txt"},
  };
  TempDir::Write("in.euc", "A");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("data.txt");
    if (c.directory) std::filesystem::create_directory("data.txt");
    platform::Result shown;
    if (c.standardInput) {
      StandardInput reader(kBrenodax.engine, kBrenodax.standardInput);
      shown = reader.ShowDataFile();
    } else {
      auto engine = Make(kReverse);
      EXPECT_TRUE(engine->Open(SearchTable{}, u"in.euc").input);
      shown = engine->ShowDataFile();
    }
    EXPECT_FALSE(shown);
    ASSERT_FALSE(TempDir::ErrorMessages().empty());
    EXPECT_EQ(TempDir::ErrorMessages().back(), c.message);
  }
}

}  // namespace
}  // namespace kelvo
