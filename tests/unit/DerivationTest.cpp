#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "tables/DerivePairs.h"
#include "tables/DeriveTable.h"
#include "tables/SearchBinary.h"
#include "tables/SparseEUC.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;
using Layout = PairDerivation::Layout;

std::string Str(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A source table: four bytes per record.
Bytes Records(std::initializer_list<std::array<std::uint8_t, 4>> records) {
  Bytes bytes;
  for (const auto& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
  return bytes;
}

// A derived table: five bytes per record.
Bytes TableRecords(std::initializer_list<std::array<std::uint8_t, 5>> records) {
  Bytes bytes;
  for (const auto& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
  return bytes;
}

// The 158 single-byte records of "MS932~EUC-JP.bin": 20h-7Eh as themselves, A1h-DFh as
// 8Eh + the byte.
Bytes SingleByteEuc() {
  Bytes bytes;
  for (int c = 0x20; c <= 0x7E; ++c)
    bytes.insert(bytes.end(), {std::uint8_t(c), 0, std::uint8_t(c), 0});
  for (int c = 0xA1; c <= 0xDF; ++c)
    bytes.insert(bytes.end(), {std::uint8_t(c), 0, 0x8E, std::uint8_t(c)});
  return bytes;
}

Bytes Append(Bytes front, const Bytes& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

TEST(SparseTableTest, EntersRecordsByPositionAndKey) {
  const Bytes twoByte = Records({{0x82, 0xA0, 0xA4, 0xA2},
                                 {0x88, 0x9F, 0xB0, 0xA1},
                                 {0x88, 0x9F, 0xB0, 0xA2},    // a later record replaces
                                 {0xFC, 0x4C, 0xFC, 0xFC},    // the last key that fits
                                 {0xFC, 0x4D, 0x11, 0x22},    // refused
                                 {0xFF, 0xFF, 0x33, 0x44},    // refused
                                 {0x00, 0x00, 0x55, 0x66}});  // entry 0 ends as 0, 0
  SparsePopulationEUC table;
  table.EnterRecords(Append(SingleByteEuc(), twoByte));
  struct Case {
    int key;
    std::uint8_t euc1, euc2;
  };
  const Case cases[] = {
      {0x41, 0x41, 0x00},   {0xA1, 0x8E, 0xA1},   {0xDF, 0x8E, 0xDF},   {0x82A0, 0xA4, 0xA2},
      {0x889F, 0xB0, 0xA2}, {0xFC4C, 0xFC, 0xFC}, {0x8140, 0x00, 0x00},  // lacking: 0, 0
      {0x0000, 0x00, 0x00}, {0x8E, 0x00, 0x00},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(table.Entry(c.key, 0), c.euc1) << std::hex << c.key;
    EXPECT_EQ(table.Entry(c.key, 1), c.euc2) << std::hex << c.key;
  }
}

TEST(SparseTableTest, FewerThan158RecordsAreAllSingleByte) {
  for (int count : {1, 157, 158, 159}) {
    // count - 1 filler records, then 82h A0h at position count.
    Bytes bytes;
    for (int i = 1; i < count; ++i) bytes.insert(bytes.end(), {0x20, 0, 0x20, 0});
    bytes.insert(bytes.end(), {0x82, 0xA0, 0xA4, 0xA2});
    SparsePopulationEUC table;
    table.EnterRecords(bytes);
    const int key = count <= 158 ? 0x82 : 0x82A0;
    const int other = count <= 158 ? 0x82A0 : 0x82;
    EXPECT_EQ(table.Entry(key, 0), 0xA4) << count;
    EXPECT_EQ(table.Entry(key, 1), 0xA2) << count;
    EXPECT_EQ(table.Entry(other, 0), 0) << count;
  }
}

TEST(SparseTableTest, AccessOutsideTheTableIsHarmless) {
  SparsePopulationEUC table;
  for (int key : {-1, 0xFC4D, 0xFFFF, 0x10000}) {
    table.SetEntry(key, 0, 0x77);
    EXPECT_EQ(table.Entry(key, 0), 0);
  }
  table.SetEntry(0x82A0, 2, 0x77);
  EXPECT_EQ(table.Entry(0x82A0, 2), 0);
  table.SetEntry(0xFC4C, 1, 0x77);
  EXPECT_EQ(table.Entry(0xFC4C, 1), 0x77);
}

TEST(PairDerivationTest, RecordsInBothLayouts) {
  SparsePopulationEUC sparse;
  sparse.EnterRecords(Append(
      SingleByteEuc(),
      Records({{0x82, 0xA0, 0xA4, 0xA2}, {0x87, 0x90, 0xAD, 0xF0}, {0x81, 0xE0, 0xA2, 0xE2}})));
  const Bytes source = Records({
      {0x41, 0x00, 0x41, 0x00},  // 'A'
      {0xA1, 0x00, 0x61, 0xFF},  // half-width katakana: 8Eh + the byte, kind 1
      {0x80, 0x00, 0x80, 0x00},  // skipped
      {0xE0, 0x00, 0xE0, 0x00},  // skipped
      {0x82, 0xA0, 0x42, 0x30},  // U+3042
      {0x82, 0xA1, 0x43, 0x30},  // not in the sparse table: 0, 0
      {0x87, 0x90, 0x52, 0x22},  // U+2252 twice: both kept, in source order
      {0xDF, 0x00, 0x9F, 0xFF},  // the last half-width katakana, where it stands
      {0x81, 0xE0, 0x52, 0x22},
  });
  const Bytes utf16First = TableRecords({{0x41, 0x00, 0x00, 0x41, 0x00},
                                         {0x61, 0xFF, 0x01, 0x8E, 0xA1},
                                         {0x42, 0x30, 0x01, 0xA4, 0xA2},
                                         {0x43, 0x30, 0x01, 0x00, 0x00},
                                         {0x52, 0x22, 0x01, 0xAD, 0xF0},
                                         {0x9F, 0xFF, 0x01, 0x8E, 0xDF},
                                         {0x52, 0x22, 0x01, 0xA2, 0xE2}});
  const Bytes eucFirst = TableRecords({{0x41, 0x00, 0x00, 0x41, 0x00},
                                       {0x8E, 0xA1, 0x01, 0x61, 0xFF},
                                       {0xA4, 0xA2, 0x01, 0x42, 0x30},
                                       {0x00, 0x00, 0x01, 0x43, 0x30},
                                       {0xAD, 0xF0, 0x01, 0x52, 0x22},
                                       {0x8E, 0xDF, 0x01, 0x9F, 0xFF},
                                       {0xA2, 0xE2, 0x01, 0x52, 0x22}});
  EXPECT_EQ(PairDerivation::Pairs(sparse, source, Layout::Utf16First), utf16First);
  EXPECT_EQ(PairDerivation::Pairs(sparse, source, Layout::EucFirst), eucFirst);
}

TEST(RecodeTest, FirstRecordForAnEucCodeWins) {
  const Bytes source = Records({
      {0x41, 0x00, 0x41, 0x00},
      {0x5C, 0x00, 0x5C, 0x00},
      {0xA1, 0x00, 0x8E, 0xA1},  // half-width katakana: kind 2, one Shift_JIS byte
      {0x82, 0xA0, 0xA4, 0xA2},
      {0xFA, 0x5C, 0xF9, 0xA1},  // preferred code first ...
      {0xED, 0x40, 0xF9, 0xA1},  // ... the other one is dropped
      {0x88, 0x9F, 0xFE, 0xFE},  // above FC4Ch, still one record per code
      {0x88, 0xA0, 0xFE, 0xFE},
      {0x41, 0x00, 0x41, 0x00},  // a repeated single byte
      {0xDF, 0x00, 0x8E, 0xDF},  // the last half-width katakana, where it stands ...
      {0x81, 0x40, 0x8E, 0xDF},  // ... and flagged like the others
      {0xA2, 0x00, 0x8E, 0xE0},  // not a half-width katakana code: no record
      {0xA3, 0x00, 0xA4, 0xA3},  // nor here
  });
  const Bytes expected = TableRecords({{0x41, 0x00, 0x00, 0x41, 0x00},
                                       {0x5C, 0x00, 0x00, 0x5C, 0x00},
                                       {0x8E, 0xA1, 0x02, 0xA1, 0x00},
                                       {0xA4, 0xA2, 0x01, 0x82, 0xA0},
                                       {0xF9, 0xA1, 0x01, 0xFA, 0x5C},
                                       {0xFE, 0xFE, 0x01, 0x88, 0x9F},
                                       {0x8E, 0xDF, 0x02, 0xDF, 0x00}});
  DeriveTable derive(kQuilvar.engine.table.tables, kQuilvar.derivation.failed);
  EXPECT_EQ(derive.Recode(source), expected);
  // The flags start clear for every derivation.
  EXPECT_EQ(derive.Recode(source), expected);
}

// Runs in a temporary current directory with an empty default table directory.
class DeriveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    defaultDir_ = fs::path(platform::ToAnsi(platform::DefaultTableDirectory()));
    fs::create_directories(defaultDir_);
    Empty();
  }
  void TearDown() override { Empty(); }
  void Empty() {
    for (const auto& entry : fs::directory_iterator(defaultDir_)) fs::remove_all(entry.path());
  }
  void PutDefault(const std::string& name, const Bytes& bytes) {
    TempDir::Write((defaultDir_ / name).string(), Str(bytes));
  }
  std::string DefaultPath(const std::string& name) const { return (defaultDir_ / name).string(); }

  fs::path defaultDir_;
  TempDir dir_;
};

const Bytes kEucSource =
    Append(SingleByteEuc(), Records({{0x82, 0xA0, 0xA4, 0xA2}, {0x88, 0x9F, 0xB0, 0xA1}}));
const Bytes kUtf16Source =
    Records({{0x41, 0x00, 0x41, 0x00}, {0xB1, 0x00, 0x71, 0xFF}, {0x82, 0xA0, 0x42, 0x30}});
// The record of the half-width katakana B1h in each table.
const Bytes kForwardKatakana = {0x71, 0xFF, 0x01, 0x8E, 0xB1};
const Bytes kReverseKatakana = {0x8E, 0xB1, 0x01, 0x71, 0xFF};

TEST_F(DeriveFileTest, EachProgramWritesItsTable) {
  PutDefault("MS932~EUC-JP.bin", kEucSource);
  TempDir::Write("MS932~UTF16.bin", Str(kUtf16Source));
  TempDir::Write("MS932~EUC-JP.bin", Str(kEucSource));
  TempDir::Write("UTF16~EUC-JP.bin", "an older table");
  EXPECT_TRUE(DeriveTamorlekTable(kTamorlek.engine.table.tables, kTamorlek.derivation)
                  .Derive({.defaultTableOnly = true}));
  EXPECT_EQ(TempDir::Read("UTF16~EUC-JP.bin"), Str({0x41, 0x00, 0x00, 0x41, 0x00}) +
                                                   Str(kForwardKatakana) +
                                                   Str({0x42, 0x30, 0x01, 0xA4, 0xA2}));

  EXPECT_TRUE(DeriveBrenodaxTable(kBrenodax.engine.table.tables, kBrenodax.derivation).Derive({}));
  EXPECT_EQ(TempDir::Read("EUC-JP~UTF16.bin"), Str({0x41, 0x00, 0x00, 0x41, 0x00}) +
                                                   Str(kReverseKatakana) +
                                                   Str({0xA4, 0xA2, 0x01, 0x42, 0x30}));

  EXPECT_TRUE(DeriveTable(kQuilvar.engine.table.tables, kQuilvar.derivation.failed).Derive());
  const std::string recoded = TempDir::Read("EUC-JP~Shift_JIS.bin");
  EXPECT_EQ(recoded.size(), (95 + 63 + 2) * 5u);
  EXPECT_EQ(recoded.substr(0, 5), Str({0x20, 0x00, 0x00, 0x20, 0x00}));
  EXPECT_EQ(recoded.substr(95 * 5, 5), Str({0x8E, 0xA1, 0x02, 0xA1, 0x00}));
  EXPECT_EQ(recoded.substr(158 * 5),
            Str({0xA4, 0xA2, 0x01, 0x82, 0xA0, 0xB0, 0xA1, 0x01, 0x88, 0x9F}));

  for (const auto& entry : fs::directory_iterator(".")) {
    EXPECT_NE(entry.path().extension().string(), ".tmp") << entry.path();
  }
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{});
}

TEST_F(DeriveFileTest, FailedDerivationKeepsTheOldTable) {
  struct Case {
    const char* what;
    const ProgramRecord* program;
    bool sparseInDefault;     // "MS932~EUC-JP.bin" in the default directory
    bool sparseHere;          // and in the current directory
    std::string utf16Source;  // "MS932~UTF16.bin"; "-" for none
    bool limitWrites;         // files stop growing at 256 bytes: the table cannot be written
    bool blockTable;          // a directory in the place of the table
    std::string lastMessage;
  };
  const std::string utf16 = Str(kUtf16Source);
  // Sources whose tables outgrow the limit of limitWrites, while the error logs do not.
  std::string ascii;
  for (int c = 0x20; c <= 0x7E; ++c) ascii += Str({std::uint8_t(c), 0, std::uint8_t(c), 0});
  const Case cases[] = {
      {"no MS932~UTF16.bin", &kTamorlek, true, false, "-", false, false,
       "Reset() error-769: MS932~UTF16.bin"},
      {"no MS932~UTF16.bin", &kBrenodax, false, true, "-", false, false,
       "Reset() error-147: MS932~UTF16.bin"},
      {"MS932~UTF16.bin ends inside a record", &kTamorlek, true, false, utf16 + "x", false, false,
       "FileSize() error-831: MS932~UTF16.bin"},
      {"empty MS932~UTF16.bin", &kBrenodax, true, false, "", false, false,
       "FileSize() error-195: MS932~UTF16.bin"},
      {"sparse table not in the default directory", &kTamorlek, false, true, utf16, false, false,
       "Reset() error-808: " + DefaultPath("MS932~EUC-JP.bin")},
      {"table cannot be written", &kBrenodax, true, false, ascii, true, false,
       "Reset() error-147: MS932~UTF16.bin"},
      {"table cannot be replaced", &kTamorlek, true, false, utf16, false, true,
       "Reset() error-769: MS932~UTF16.bin"},
      {"no MS932~EUC-JP.bin here", &kQuilvar, true, false, utf16, false, false,
       "Reset() error-104: MS932~EUC-JP.bin"},
      {"table cannot be written", &kQuilvar, false, true, "-", true, false,
       "Reset() error-104: MS932~EUC-JP.bin"},
      {"MS932~EUC-JP.bin ends inside a record", &kQuilvar, false, false, "-", false, false,
       "FileSize() error-130: MS932~EUC-JP.bin"},
      {"table cannot be replaced", &kQuilvar, false, true, "-", false, true,
       "Reset() error-104: MS932~EUC-JP.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " in " + platform::ToAnsi(c.program->name));
#ifdef _WIN32
    if (c.limitWrites) continue;  // no file-size limit for a process
#endif
    TempDir dir;
    Empty();
    const ProgramRecord& program = *c.program;
    const std::string table = platform::ToAnsi(program.engine.table.search.tableName);
    const std::string kept = c.blockTable ? table + "/kept" : table;
    if (c.blockTable) fs::create_directory(table);
    TempDir::Write(kept, "an older table");
    if (c.sparseInDefault) PutDefault("MS932~EUC-JP.bin", kEucSource);
    if (c.sparseHere) TempDir::Write("MS932~EUC-JP.bin", Str(kEucSource));
    if (c.utf16Source != "-") TempDir::Write("MS932~UTF16.bin", c.utf16Source);
    if (!c.sparseInDefault && !c.sparseHere) TempDir::Write("MS932~EUC-JP.bin", "x");

    const TableRecord& tables = program.engine.table.tables;
    platform::Result derived;
    {
#ifndef _WIN32
      test::FileSizeLimit limit(c.limitWrites ? 256 : -1);
#endif
      if (c.program == &kTamorlek) {
        derived =
            DeriveTamorlekTable(tables, program.derivation).Derive({.defaultTableOnly = true});
      } else if (c.program == &kBrenodax) {
        derived = DeriveBrenodaxTable(tables, program.derivation).Derive({});
      } else {
        derived = DeriveTable(tables, program.derivation.failed).Derive();
      }
    }
    EXPECT_FALSE(derived);
    EXPECT_EQ(TempDir::Read(kept), "an older table");
    // No temporary file is left behind.
    for (const auto& entry : fs::directory_iterator(".")) {
      EXPECT_EQ(entry.path().extension().string() == ".tmp", false) << entry.path();
    }
    const auto messages = TempDir::ErrorMessages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), c.lastMessage);
  }
}

TEST_F(DeriveFileTest, BrokenSparseTableStopsTheDerivation) {
  struct Case {
    const ProgramRecord* program;
    bool defaultOnly;
    bool empty;  // else cut inside its last record
    std::string message;
  };
  const Case cases[] = {
      {&kTamorlek, true, false, "FileSize() error-831: " + DefaultPath("MS932~EUC-JP.bin")},
      {&kBrenodax, false, false, "FileSize() error-195: " + DefaultPath("MS932~EUC-JP.bin")},
      {&kTamorlek, true, true, "FileSize() error-831: " + DefaultPath("MS932~EUC-JP.bin")},
  };
  for (const auto& c : cases) {
    TempDir dir;
    Bytes broken = kEucSource;
    broken.pop_back();
    if (c.empty) broken.clear();
    PutDefault("MS932~EUC-JP.bin", broken);
    SparsePopulationEUC table;
    EXPECT_FALSE(table.LoadTable({.defaultTableOnly = c.defaultOnly},
                                 c.program->engine.table.tables, c.program->derivation));
    EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{c.message});
  }
}

TEST_F(DeriveFileTest, SparseTableIsFoundBySearch) {
  TempDir::Write("MS932~EUC-JP.bin", Str(kEucSource));
  SparsePopulationEUC table;
  EXPECT_TRUE(
      table.LoadTable({.showTable = true}, kBrenodax.engine.table.tables, kBrenodax.derivation));
  EXPECT_EQ(table.Entry(0x889F, 0), 0xB0);
  EXPECT_EQ(table.Entry(0x889F, 1), 0xA1);
  EXPECT_EQ(TempDir::Read("data.txt"), "MS932~EUC-JP.bin is primarily accessible to Brenodax.");
}

}  // namespace
}  // namespace kelvo
