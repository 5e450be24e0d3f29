// The EUC-JP to Shift_JIS engine and its code table, with hand-made table files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "EucTestTable.h"
#include "TempDir.h"
#include "TestSystem.h"
#include "cmdline/FinalEffect.h"
#include "convert/ConvertEUC.h"
#include "convert/SurvivorEUC.h"
#include "drivers/ProgramRecord.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::Bytes;
using test::OneByteRecord;
using test::PairRecord;
using test::SingleRecord;
using test::TempDir;

// A small EUC-JP~Shift_JIS.bin: あ (A4A2 -> 82A0), 漢 (B4C1 -> 8ABF), ＂ (FCFE -> FA57, a
// key above FEF4h), half-width ｱ (8EB1 -> B1 00), and single-byte records for ASCII only,
// as the derivation writes them (none for control bytes).
std::string SmallTable() {
  std::string t;
  for (int b = 0x20; b < 0x7F; ++b) t += SingleRecord(b, b);
  t += PairRecord(0xA4, 0xA2, 0x82, 0xA0);
  t += PairRecord(0xB4, 0xC1, 0x8A, 0xBF);
  t += PairRecord(0xFC, 0xFE, 0xFA, 0x57);
  t += OneByteRecord(0x8E, 0xB1, 0xB1);
  return t;
}

enum Mode { kCrLf, kLf, kAsRead, kCrLfS, kLfS, kAsReadS, kStdOut, kStdOutS };

int RunConversion(Conversion& engine, Mode mode, const std::u16string& out) {
  switch (mode) {
    case kCrLf:
      return engine.ConvertCrLf(out);
    case kLf:
      return engine.ConvertLf(out);
    case kAsRead:
      return engine.ConvertAsRead(out);
    case kCrLfS:
      return engine.ConvertCrLfFiltered(out);
    case kLfS:
      return engine.ConvertLfFiltered(out);
    case kAsReadS:
      return engine.ConvertAsReadFiltered(out);
    case kStdOut:
      return static_cast<int>(engine.ConvertToStandardOutput());
    case kStdOutS:
      return static_cast<int>(engine.ConvertToStandardOutputFiltered());
  }
  return -99;
}

bool Filtered(Mode mode) {
  return mode == kCrLfS || mode == kLfS || mode == kAsReadS || mode == kStdOutS;
}

// Converts input with the table in the current directory: the output file, or what went to
// standard output for the two standard-output conversions.
std::string Convert(const std::string& input, Mode mode, int* result = nullptr) {
  TempDir::Write("in.euc", input);
  std::filesystem::remove("out.sjis");
  Conversion engine;
  engine.Open(FinalEffects(), u"in.euc");
  if (Filtered(mode)) engine.PrepareControlFilter();
  if (mode == kStdOut || mode == kStdOutS) {
    test::CapturedOutput output;
    const int lineEnds = RunConversion(engine, mode, u"");
    if (result != nullptr) *result = lineEnds;
    std::string written = output.Finish();
    EXPECT_FALSE(TempDir::Exists("out.sjis"));
    return written;
  }
  EXPECT_EQ(RunConversion(engine, mode, u"out.sjis"), 0);
  return TempDir::Read("out.sjis");
}

class RecoderEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentProgram(kQuilvar);
    TempDir::Write("EUC-JP~Shift_JIS.bin", SmallTable());
  }
  TempDir dir_;
};

TEST_F(RecoderEngineTest, ConvertsByTheRules) {
  struct Case {
    const char* what;
    std::string input;
    Mode mode;
    std::string expected;
  };
  const std::vector<Case> cases = {
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
      // The default mode gives the first byte like the others, not the entry's value 00h.
      {"unmapped pair gives its first byte", Bytes({0xA4, 0xA3}), kCrLf, Bytes({0xA4})},
      {"unmapped pair with -LF", Bytes({0xA4, 0xA3}), kLf, Bytes({0xA4})},
      {"unmapped pair as read", Bytes({0xA4, 0xA3}), kAsRead, Bytes({0xA4})},
      {"unmapped pair to standard output", Bytes({0xA4, 0xA3}), kStdOut, Bytes({0xA4})},
      {"control bytes kept in the default mode", Bytes({9, 0x1B, 0, 'A'}), kCrLf,
       Bytes({9, 0x1B, 0, 'A'})},
      {"trailing lead byte dropped", Bytes({'A', 0xA4}), kCrLf, "A"},
      {"lead byte takes the LF", Bytes({0xA4, 0x0A, 'B'}), kCrLf, Bytes({0xA4, 'B'})},
      {"filter drops TAB, ESC, DEL", Bytes({9, 'A', 0x1B, 0x7F, 'B'}), kCrLfS, "AB"},
      {"filter keeps line ends as read", "A\r\n\tB\n", kAsReadS, "A\r\nB\n"},
      {"filter with -LF", "A\r\n\tB\n", kLfS, "A\nB\n"},
      {"filter on standard output", "\tA\n", kStdOutS, "A\r\n"},
      {"filter drops unmapped 80h-A0h sequences", Bytes({0x8E, 0xA1, 'A', 0x8F, 0xA1}), kCrLfS,
       "A"},
      {"filter keeps unmapped A1h-DFh", Bytes({0xA4, 0xA3}), kCrLfS, Bytes({0xA4})},
      {"filter keeps unmapped E0h-FFh", Bytes({0xE0, 0xA1, 0xFF, 0xB0}), kLfS, Bytes({0xE0, 0xFF})},
      {"filter never drops mapped pairs", Bytes({0xA4, 0xA2}), kStdOutS, Bytes({0x82, 0xA0})},
      {"half-width katakana gives one byte", Bytes({0x8E, 0xB1, 'A', 0x8E, 0xB1}), kCrLf,
       Bytes({0xB1, 'A', 0xB1})},
      {"half-width katakana with -LF", Bytes({0x8E, 0xB1}), kLf, Bytes({0xB1})},
      {"half-width katakana as read", Bytes({0x8E, 0xB1}), kAsRead, Bytes({0xB1})},
      {"half-width katakana kept by the filter", Bytes({0x8E, 0xB1}), kLfS, Bytes({0xB1})},
      {"half-width katakana to standard output", Bytes({0x8E, 0xB1}), kStdOut, Bytes({0xB1})},
      {"half-width katakana, filtered, to standard output", Bytes({0x8E, 0xB1}), kStdOutS,
       Bytes({0xB1})},
      {"unmapped 8Eh pair still gives its first byte", Bytes({0x8E, 0xE0}), kCrLf, Bytes({0x8E})},
      {"three-byte sequence is one '?'", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}), kCrLf,
       Bytes({'?', 0x82, 0xA0})},
      {"three-byte sequence to standard output", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kStdOut, "?A"},
      {"filter drops a three-byte sequence whole", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kLfS, "A"},
      {"filter drops it on standard output", Bytes({0x8F, 0xFE, 0xFE, 'A'}), kStdOutS, "A"},
      {"8Fh before a line end is dropped", Bytes({0x8F, 0x0A, 'B'}), kCrLf, "\r\nB"},
      {"8Fh and one byte before ASCII", Bytes({0x8F, 0xA2, 'A', 'B'}), kCrLf, Bytes({0xA2, 'B'})},
      {"8Fh and one byte at the end", Bytes({'A', 0x8F, 0xA2}), kStdOut, "A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.input, c.mode), c.expected) << c.what;
  }
}

TEST_F(RecoderEngineTest, AllLineFeedsDoubleInSize) {
  const std::string input(100000, '\n');
  std::string expected;
  for (std::size_t i = 0; i < input.size(); ++i) expected += "\r\n";
  EXPECT_EQ(Convert(input, kCrLf), expected);
  int lineEnds = 0;
  EXPECT_EQ(Convert(input, kStdOut, &lineEnds), expected);
  EXPECT_EQ(lineEnds, 100000);
}

// Long inputs of every kind of byte, in every mode, against the byte-by-byte model.
TEST_F(RecoderEngineTest, MatchesTheByteByByteModel) {
  SurvivorsEUC model;
  const std::string table = SmallTable() + PairRecord(0x41, 0x00, 0x99, 0x98);
  TempDir::Write("EUC-JP~Shift_JIS.bin", table);
  model.StoreRecords(reinterpret_cast<const std::uint8_t*>(table.data()),
                     static_cast<std::int64_t>(table.size()));
  std::mt19937 random(5);
  const std::string pieces[] = {"Hello, world ",
                                "A",
                                "\n",
                                "\r\n",
                                "\r",
                                "\t",
                                Bytes({0}),
                                Bytes({0xA4, 0xA2}),
                                Bytes({0xA4, 0xA3}),
                                Bytes({0x8E, 0xB1}),
                                Bytes({0x8F}),
                                Bytes({0x8F, 0xA2, 0xB7}),
                                Bytes({0x8F, 0xA2}),
                                Bytes({0xFC, 0xFE}),
                                Bytes({0xFF}),
                                "0123456789 abcdefghijklmnopqrstuvwxyz"};
  std::string input;
  for (int i = 0; i < 3000; ++i) input += pieces[random() % std::size(pieces)];
  input.push_back(static_cast<char>(0xB4));
  const std::vector<std::pair<Mode, test::ModelMode>> modes = {
      {kCrLf, test::ModelMode::CrLf},     {kLf, test::ModelMode::Lf},
      {kAsRead, test::ModelMode::AsRead}, {kCrLfS, test::ModelMode::CrLf},
      {kLfS, test::ModelMode::Lf},        {kAsReadS, test::ModelMode::AsRead},
      {kStdOut, test::ModelMode::CrLf},   {kStdOutS, test::ModelMode::CrLf}};
  for (const auto& [mode, modelMode] : modes) {
    EXPECT_EQ(Convert(input, mode),
              test::ModelDecode(model, false, modelMode, Filtered(mode), input))
        << "mode " << mode;
  }
}

// Lead bytes at every offset around the block boundaries, to a file and to standard output.
TEST_F(RecoderEngineTest, LongInputsAcrossBlocks) {
  const std::string table = SmallTable();
  SurvivorsEUC model;
  model.StoreRecords(reinterpret_cast<const std::uint8_t*>(table.data()),
                     static_cast<std::int64_t>(table.size()));
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  for (std::size_t shift : {0, 1, 2, 3}) {
    std::string input(kBlock - 4 + shift, '\n');
    for (int i = 0; i < 3; ++i) input += Bytes({0xA4, 0xA2, 0xA9, 0x0A, 'x'});
    input += std::string(kBlock, 'b') + Bytes({0xA4});
    const std::string expected =
        test::ModelDecode(model, false, test::ModelMode::CrLf, false, input);
    EXPECT_EQ(Convert(input, kCrLf), expected) << shift;
    EXPECT_EQ(Convert(input, kStdOut), expected) << shift;
  }
}

// A three-byte sequence, or an 8Fh that begins none, with the block boundary before each
// of its bytes and after it, to a file and to standard output.
TEST_F(RecoderEngineTest, ThreeByteSequencesAcrossBlocks) {
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  struct Case {
    const char* what;
    std::string bytes, expected;
  };
  const Case cases[] = {
      {"three-byte sequence", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}), Bytes({'?', 0x82, 0xA0})},
      {"8Fh and one byte before ASCII", Bytes({0x8F, 0xA2, 'y', 'z'}), Bytes({0xA2, 'z'})},
      {"8Fh before a line end", Bytes({0x8F, 0x0A, 'z'}), "\r\nz"},
  };
  for (const Case& c : cases) {
    for (std::size_t before = kBlock - 3; before <= kBlock; ++before) {
      SCOPED_TRACE(std::string(c.what) + " after " + std::to_string(before));
      const std::string input = std::string(before, 'a') + c.bytes;
      const std::string expected = std::string(before, 'a') + c.expected;
      EXPECT_EQ(Convert(input, kCrLf), expected);
      EXPECT_EQ(Convert(input, kStdOut), expected);
    }
  }
}

TEST_F(RecoderEngineTest, ReadFailureStopsWithItsNumber) {
  const std::vector<std::pair<Mode, std::string>> cases = {
      {kCrLf, "92"}, {kLf, "93"},       {kAsRead, "94"},  {kCrLfS, "98"},
      {kLfS, "99"},  {kAsReadS, "100"}, {kStdOut, "101"}, {kStdOutS, "102"}};
  for (const auto& [mode, number] : cases) {
    TempDir::Write("in.euc", "text");
    Conversion engine;
    engine.Open(FinalEffects(), u"in.euc");
    std::filesystem::remove("in.euc");
    try {
      RunConversion(engine, mode, u"out.sjis");
      ADD_FAILURE() << number << " did not stop";
    } catch (const Halt& halt) {
      EXPECT_EQ(halt.exitCode, 1);
    }
    EXPECT_EQ(TempDir::ErrorMessages().back(), "Reset() error-" + number + ": in.euc");
    EXPECT_FALSE(TempDir::Exists("out.sjis")) << number;
  }
}

TEST_F(RecoderEngineTest, OpenAndWriteFailuresCarryTheRecodersNumbers) {
  {
    Conversion engine;
    engine.Open(FinalEffects(), u"none.euc");
    const auto messages = TempDir::ErrorMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Reset() error-103: none.euc");
    EXPECT_EQ(messages[1], "SetLength() error-96: -1");
    EXPECT_EQ(messages[2], "SetLength() error-97: -3");
    try {
      engine.HaltIfNoInput(-1);
      ADD_FAILURE() << "no halt";
    } catch (const Halt& halt) {
      EXPECT_EQ(halt.exitCode, -1);
    }
  }
  TempDir::Write("in.euc", "A");
  std::filesystem::create_directory("taken");
  Conversion engine;
  engine.Open(FinalEffects(), u"in.euc");
  EXPECT_EQ(engine.ConvertLf(u"taken"), -2);
  EXPECT_EQ(TempDir::ErrorMessages().back(), "Rewrite() error-88: taken");
  EXPECT_FALSE(engine.ShowDataFile());
  EXPECT_EQ(TempDir::ErrorMessages().back(), "Reset() error-89: data.txt");
}

}  // namespace
}  // namespace kelvo
