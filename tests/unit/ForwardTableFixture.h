// A small hand-made "UTF16~EUC-JP.bin" in the default table directory, a temporary current
// directory holding the built-in "surro.csv", and helpers for UTF-16 inputs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "cmdline/FinalEffect.h"
#include "drivers/ProgramRecord.h"
#include "fields/PutCSV.h"

namespace kelvo::test {

// Code units of the hand-made table and the bytes it gives them.
inline constexpr char16_t kHiragana = 0x3042;         // two bytes A4 A2
inline constexpr char16_t kReplacement = 0x8CE3;      // two bytes E7 AA (the built-in list's)
inline constexpr char16_t kUserReplacement = 0x53F1;  // two bytes C0 C1
inline constexpr char16_t kLowLine = 0xFF3F;          // two bytes A1 B2
inline constexpr char16_t kHalfwidth = 0xFF71;        // one byte B1 (kind 2)
inline constexpr char16_t kHighOneByte = 0x2000;      // one byte E5 (kind 2)
inline constexpr char16_t kControlOneByte = 0x2001;   // one byte 85 (kind 2)
inline constexpr char16_t kTwice = 0x4E00;            // listed twice: the later B0 EC wins
inline constexpr char16_t kAbsent = 0x4E01;           // not in the table
inline constexpr char16_t kSection = 0x00A7;          // two bytes A1 F8: a mapped Latin-1 unit

inline std::string TableBytes() {
  std::string t;
  auto record = [&](int b0, int b1, int kind, int b3, int b4) {
    for (int b : {b0, b1, kind, b3, b4}) t.push_back(static_cast<char>(b));
  };
  for (int b = 1; b < 0x80; ++b) record(b, 0, 0, b, 0);
  record(0x42, 0x30, 1, 0xA4, 0xA2);
  record(0xA7, 0x00, 1, 0xA1, 0xF8);
  record(0xE3, 0x8C, 1, 0xE7, 0xAA);
  record(0xF1, 0x53, 1, 0xC0, 0xC1);
  record(0x3F, 0xFF, 1, 0xA1, 0xB2);
  record(0x71, 0xFF, 2, 0xB1, 0x00);
  record(0x00, 0x20, 2, 0xE5, 0x00);
  record(0x01, 0x20, 2, 0x85, 0x00);
  record(0x00, 0x4E, 1, 0xB0, 0xB0);
  record(0x00, 0x4E, 1, 0xB0, 0xEC);
  record(0xFF, 0xFF, 1, 0xAA, 0xAA);  // beyond the table: never stored
  return t;
}

// UTF-16 little-endian bytes of the units, with the byte-order mark when bom is set.
inline std::string Utf16(const std::u16string& units, bool bom = true) {
  std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

inline FinalEffects Settings(const std::u16string& input, const std::u16string& output,
                             std::int32_t fieldNumber = 255, bool underscore = false) {
  FinalEffects settings;
  settings.Define(input, output, u"", 1, fieldNumber, true, false, false, false, false, false,
                  false, underscore, false, false);
  return settings;
}

class ForwardTableFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentProgram(kTamorlek);
    std::filesystem::create_directories(DefaultDir());
    std::filesystem::path table = DefaultDir() / "UTF16~EUC-JP.bin";
    TempDir::Write(table.string(), TableBytes());
    PutSurroCSV().WriteList(u"surro.csv");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove(DefaultDir() / "UTF16~EUC-JP.bin", ignored);
  }
  static std::filesystem::path DefaultDir() { return KELVO_TEST_TABLE_DIR; }

  TempDir dir_;
};

}  // namespace kelvo::test
