// The sparse MS932-to-EUC-JP table: the EUC-JP code of every MS932 code, read from the
// source table "MS932~EUC-JP.bin" while a program derives its own table file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "tables/SearchBinary.h"

namespace kelvo {

// The error numbers of a derivation that reads both source tables.
struct DerivationNumbers {
  SearchNumbers source;  // the search for "MS932~EUC-JP.bin"
  int sourceRead;        // it could not be read once the search had found it
  int failed;            // "MS932~UTF16.bin" could not be read, or the table not written
};

class SparsePopulationEUC {
 public:
  // Keys 0000h to FC4Ch: a single-byte code, or lead byte x 256 + trail byte.
  static constexpr int kEntryCount = 64589;
  static constexpr int kLastKey = kEntryCount - 1;
  // The source table holds this many single-byte records first.
  static constexpr int kSingleByteRecords = 158;
  static constexpr int kRecordSize = 4;

  SparsePopulationEUC();

  // Finds "MS932~EUC-JP.bin" with the search switches and enters its records. The failure,
  // already reported, when it cannot be found (Step::Load) or read.
  platform::Result LoadTable(const SearchTable& search, const TableRecord& record,
                             const DerivationNumbers& numbers);

  // Enters the records of a source table (whole records only; a trailing part is ignored).
  // A later record for a key replaces an earlier one; keys above FC4Ch are refused. Entry
  // 0000h ends as 0, 0, the value of the empty record that closes every table.
  void EnterRecords(const std::vector<std::uint8_t>& bytes);

  // Byte k of the entry (0 = EUC-JP byte 1, 1 = EUC-JP byte 2); 0 for any key or k
  // outside the table.
  std::uint8_t Entry(int key, int k) const;
  void SetEntry(int key, int k, std::uint8_t value);

 private:
  static bool Inside(int key, int k) { return key >= 0 && key <= kLastKey && (k == 0 || k == 1); }

  std::unique_ptr<std::array<std::array<std::uint8_t, 2>, kEntryCount>> entries_;
};

}  // namespace kelvo
