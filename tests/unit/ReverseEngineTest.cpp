// The EUC-JP to UTF-16 engine and its code table, with hand-made table files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "EucTestTable.h"
#include "TempDir.h"
#include "cmdline/FinalEffect.h"
#include "convert/ConvertWideEUC.h"
#include "convert/RuralUTF16.h"
#include "convert/StandardIO.h"
#include "drivers/ProgramRecord.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::Bytes;
using test::PairRecord;
using test::SingleRecord;
using test::TempDir;

// A small EUC-JP~UTF16.bin: あ (A4A2 -> U+3042), 漢 (B4C1 -> U+6F22), ＂ (FCFE -> U+FF02,
// a key above FEF4h), and the single-byte records the derivation writes for ASCII.
std::string SmallTable() {
  std::string t;
  for (int b = 0x20; b < 0x7F; ++b) t += SingleRecord(b, b);
  t += PairRecord(0xA4, 0xA2, 0x42, 0x30);
  t += PairRecord(0xB4, 0xC1, 0x22, 0x6F);
  t += PairRecord(0xFC, 0xFE, 0x02, 0xFF);
  return t;
}

enum Mode { kCrLf, kLf, kAsRead, kCrLfS, kLfS, kAsReadS };

int RunConversion(ConvertEUCintoUTF16& engine, Mode mode, const std::u16string& out) {
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
  }
  return -99;
}

// Converts input with the table in the current directory; returns the output file.
std::string Convert(const std::string& input, Mode mode) {
  TempDir::Write("in.euc", input);
  ConvertEUCintoUTF16 engine;
  engine.Open(FinalEffects(), u"in.euc");
  if (mode >= kCrLfS) engine.PrepareControlFilter();
  EXPECT_EQ(RunConversion(engine, mode, u"out.u16"), 0);
  return TempDir::Read("out.u16");
}

class ReverseEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentProgram(kBrenodax);
    TempDir::Write("EUC-JP~UTF16.bin", SmallTable());
  }
  TempDir dir_;
};

TEST_F(ReverseEngineTest, CodeTableStoresRecordsWhateverTheirKey) {
  RuralAreaUTF16 table;
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

TEST_F(ReverseEngineTest, ConvertsByTheRules) {
  const std::string bom = Bytes({0xFF, 0xFE});
  struct Case {
    const char* what;
    std::string input;
    Mode mode;
    std::string expected;
  };
  const std::vector<Case> cases = {
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
      {"trailing lead byte dropped", Bytes({'A', 0xA4}), kCrLf, bom + Bytes({'A', 0})},
      {"lead byte takes the LF", Bytes({0xA4, 0x0A, 'B'}), kCrLf, bom + Bytes({0x0A, 0, 'B', 0})},
      {"TAB and ESC kept unfiltered", Bytes({9, 0x1B}), kCrLf, bom + Bytes({9, 0, 0x1B, 0})},
      {"filter drops controls", Bytes({9, 'A', 0x1B, 0x7F, 0, 'B'}), kCrLfS,
       bom + Bytes({'A', 0, 'B', 0})},
      {"filter keeps line ends", "A\r\nB\n", kAsReadS,
       bom + Bytes({'A', 0, 13, 0, 10, 0, 'B', 0, 10, 0})},
      {"filter with -LF", "A\r\n\tB\n", kLfS, bom + Bytes({'A', 0, 10, 0, 'B', 0, 10, 0})},
      {"filter drops unmapped 8Eh and 8Fh sequences", Bytes({0x8E, 0xA1, 'A', 0x8F, 0xA1, 0xA1}),
       kCrLfS, bom + Bytes({'A', 0})},
      {"filter keeps unmapped A1h-DFh", Bytes({0xA4, 0xA3}), kCrLfS, bom + Bytes({0xA3, 0})},
      {"filter keeps unmapped E0h-FFh", Bytes({0xE0, 0xA1, 0xFF, 0xB0}), kCrLfS,
       bom + Bytes({0xA1, 0, 0xB0, 0})},
      {"filter never drops mapped pairs", Bytes({0xA4, 0xA2}), kLfS, bom + Bytes({0x42, 0x30})},
      {"three-byte sequence is one U+FFFD", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2, 'A'}), kCrLf,
       bom + Bytes({0xFD, 0xFF, 0x42, 0x30, 'A', 0})},
      {"three-byte sequences at the range ends", Bytes({0x8F, 0xA1, 0xA1, 0x8F, 0xFE, 0xFE}), kLf,
       bom + Bytes({0xFD, 0xFF, 0xFD, 0xFF})},
      {"filter drops a three-byte sequence whole", Bytes({0x8F, 0xA2, 0xB7, 'A'}), kAsReadS,
       bom + Bytes({'A', 0})},
      {"8Fh before a line end is dropped", Bytes({0x8F, 0x0A, 'B'}), kCrLf,
       bom + Bytes({13, 0, 10, 0, 'B', 0})},
      {"8Fh before ASCII is dropped", Bytes({0x8F, 'A'}), kCrLf, bom + Bytes({'A', 0})},
      {"8Fh and one byte before ASCII", Bytes({0x8F, 0xA2, 'A', 'B'}), kCrLf,
       bom + Bytes({'A', 0, 'B', 0})},
      {"8Fh before a byte outside A1h-FEh", Bytes({0x8F, 0xA0, 0xA2}), kCrLf,
       bom + Bytes({0xA2, 0})},
      {"8Fh and one byte at the end", Bytes({'A', 0x8F, 0xA2}), kCrLf, bom + Bytes({'A', 0})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.input, c.mode), c.expected) << c.what;
  }
}

// Long inputs of every kind of byte, in every mode, against the byte-by-byte model. Runs of
// printable ASCII of every length and alignment exercise the block copies.
TEST_F(ReverseEngineTest, MatchesTheByteByByteModel) {
  for (bool oddTable : {false, true}) {
    std::string table = SmallTable() + PairRecord(0xB0, 0x0A, 0x11, 0x22);
    // A two-byte record with a second byte 0 gives a single-byte key a mapping.
    if (oddTable) table += PairRecord(0x41, 0x00, 0x34, 0x12) + PairRecord(0x0A, 0, 0x78, 0x56);
    TempDir::Write("EUC-JP~UTF16.bin", table);
    RuralAreaUTF16 model;
    model.StoreRecords(reinterpret_cast<const std::uint8_t*>(table.data()),
                       static_cast<std::int64_t>(table.size()));
    std::mt19937 random(oddTable ? 7 : 11);
    const std::string pieces[] = {"Hello, world ",
                                  "x",
                                  "\n",
                                  "\r\n",
                                  "\r",
                                  "\t",
                                  Bytes({0x7F}),
                                  Bytes({0xA4, 0xA2}),
                                  Bytes({0xA4, 0xA3}),
                                  Bytes({0x8E, 0xB1}),
                                  Bytes({0x8F}),
                                  Bytes({0x8F, 0xA2, 0xB7}),
                                  Bytes({0x8F, 0xA2}),
                                  Bytes({0xFC, 0xFE}),
                                  Bytes({0xB0, 0x0A}),
                                  "The quick brown fox jumps over the lazy dog 0123456789"};
    std::string input;
    for (int i = 0; i < 3000; ++i) input += pieces[random() % std::size(pieces)];
    input.push_back(static_cast<char>(0xB4));  // a trailing lead byte
    for (Mode mode : {kCrLf, kLf, kAsRead, kCrLfS, kLfS, kAsReadS}) {
      const auto modelMode = static_cast<test::ModelMode>(mode % 3);
      EXPECT_EQ(Convert(input, mode),
                test::ModelDecode(model, true, modelMode, mode >= kCrLfS, input))
          << "mode " << mode << " odd table " << oddTable;
    }
  }
}

// Inputs longer than the engine's blocks, with a pair and a lead byte followed by LF at
// every offset around the block boundaries, and converted in place (the output names the
// input), which reads the whole input first.
TEST_F(ReverseEngineTest, LongInputsAcrossBlocks) {
  const std::string table = SmallTable();
  RuralAreaUTF16 model;
  model.StoreRecords(reinterpret_cast<const std::uint8_t*>(table.data()),
                     static_cast<std::int64_t>(table.size()));
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  for (std::size_t shift : {0, 1, 2, 3}) {
    std::string input(kBlock - 4 + shift, 'a');
    for (int i = 0; i < 3; ++i) input += Bytes({0xA4, 0xA2, 0xB0, 0x0A, 'x'});
    input += std::string(kBlock - 7, 'b') + Bytes({0xB4, 0xC1, 0xB4});
    const std::string expected =
        test::ModelDecode(model, true, test::ModelMode::CrLf, false, input);
    EXPECT_EQ(Convert(input, kCrLf), expected) << shift;
    ConvertEUCintoUTF16 engine;
    engine.Open(FinalEffects(), u"in.euc");
    EXPECT_EQ(engine.ConvertCrLf(u"./in.euc"), 0);
    EXPECT_EQ(TempDir::Read("in.euc"), expected) << "in place " << shift;
  }
}

// A three-byte sequence, or an 8Fh that begins none, with the block boundary before each
// of its bytes and after it: read block by block, and whole when converted in place.
TEST_F(ReverseEngineTest, ThreeByteSequencesAcrossBlocks) {
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  const std::string bom = Bytes({0xFF, 0xFE});
  struct Case {
    const char* what;
    std::string bytes, expected;
  };
  const Case cases[] = {
      {"three-byte sequence", Bytes({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}),
       Bytes({0xFD, 0xFF, 0x42, 0x30})},
      {"8Fh and one byte before ASCII", Bytes({0x8F, 0xA2, 'y', 'z'}), Bytes({'y', 0, 'z', 0})},
      {"8Fh before a line end", Bytes({0x8F, 0x0A, 'z'}), Bytes({13, 0, 10, 0, 'z', 0})},
  };
  for (const Case& c : cases) {
    for (std::size_t before = kBlock - 3; before <= kBlock; ++before) {
      SCOPED_TRACE(std::string(c.what) + " after " + std::to_string(before));
      std::string expected = bom;
      for (std::size_t i = 0; i < before; ++i) expected += Bytes({'a', 0});
      expected += c.expected;
      const std::string input = std::string(before, 'a') + c.bytes;
      EXPECT_EQ(Convert(input, kCrLf), expected);
      ConvertEUCintoUTF16 engine;
      engine.Open(FinalEffects(), u"in.euc");
      EXPECT_EQ(engine.ConvertCrLf(u"./in.euc"), 0);
      EXPECT_EQ(TempDir::Read("in.euc"), expected) << "in place";
    }
  }
}

TEST_F(ReverseEngineTest, ReadFailureStopsWithItsNumber) {
  const std::vector<std::pair<Mode, std::string>> cases = {{kCrLf, "137"},   {kLf, "138"},
                                                           {kAsRead, "139"}, {kCrLfS, "143"},
                                                           {kLfS, "144"},    {kAsReadS, "145"}};
  for (const auto& [mode, number] : cases) {
    TempDir::Write("in.euc", "text");
    ConvertEUCintoUTF16 engine;
    engine.Open(FinalEffects(), u"in.euc");
    std::filesystem::remove("in.euc");
    try {
      RunConversion(engine, mode, u"out.u16");
      ADD_FAILURE() << number << " did not stop";
    } catch (const Halt& halt) {
      EXPECT_EQ(halt.exitCode, 1);
    }
    EXPECT_EQ(TempDir::ErrorMessages().back(), "Reset() error-" + number + ": in.euc");
    EXPECT_FALSE(TempDir::Exists("out.u16")) << number;
  }
}

TEST_F(ReverseEngineTest, FailedWriteIsReported) {
  TempDir::Write("in.euc", "A");
  std::filesystem::create_directory("taken");
  ConvertEUCintoUTF16 engine;
  engine.Open(FinalEffects(), u"in.euc");
  EXPECT_EQ(engine.ConvertCrLf(u"taken"), -2);
  EXPECT_EQ(TempDir::ErrorMessages().back(), "Rewrite() error-133: taken");
}

TEST_F(ReverseEngineTest, MissingInputIsReportedAndHalts) {
  ConvertEUCintoUTF16 engine;
  engine.Open(FinalEffects(), u"none.euc");
  const auto messages = TempDir::ErrorMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], "Reset() error-146: none.euc");
  EXPECT_EQ(messages[1], "SetLength() error-141: -1");
  EXPECT_EQ(messages[2], "SetLength() error-142: -3");
  try {
    engine.HaltIfNoInput(-1);
    ADD_FAILURE() << "no halt";
  } catch (const Halt& halt) {
    EXPECT_EQ(halt.exitCode, -1);
  }
}

// data.txt missing, or there but unreadable (a directory), is reported with the number of
// the path that shows it: the file engine's or the standard-input reader's.
TEST_F(ReverseEngineTest, ShowDataFileReportsWithItsOwnNumber) {
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
    bool shown;
    if (c.standardInput) {
      StandardInput reader;
      shown = reader.ShowDataFile();
    } else {
      ConvertEUCintoUTF16 engine;
      engine.Open(FinalEffects(), u"in.euc");
      shown = engine.ShowDataFile();
    }
    EXPECT_FALSE(shown);
    ASSERT_FALSE(TempDir::ErrorMessages().empty());
    EXPECT_EQ(TempDir::ErrorMessages().back(), c.message);
  }
}

}  // namespace
}  // namespace kelvo
