// The recoder's derivation: "EUC-JP~Shift_JIS.bin" from "MS932~EUC-JP.bin" in the current
// directory, one record per EUC-JP code.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <vector>

#include "tables/SearchBinary.h"

namespace kelvo {

class DeriveTable {
 public:
  static constexpr int kSourceRecordSize = 4;
  static constexpr int kTableRecordSize = 5;

  // failed: the error number of a source that cannot be read and of a table that cannot be
  // written.
  DeriveTable(const TableRecord& record, int failed);

  // Writes the table file into the current directory. The failure, after the reports; an
  // existing table file then stays as it was.
  platform::Result Derive();

  // The table records for the source records, in source order: the first record for an
  // EUC-JP code wins. A half-width katakana {A1h-DFh, 0, 8Eh, byte} gives the kind-2 record
  // {8Eh, byte, 2, its Shift_JIS byte, 0}; other single-byte codes whose EUC-JP byte is 80h
  // or more get none.
  std::vector<std::uint8_t> Recode(const std::vector<std::uint8_t>& source);

 private:
  // One flag for every 16-bit EUC-JP code: a record for it was written.
  std::unique_ptr<std::bitset<65536>> written_;
  TableRecord record_;
  int failed_;
};

}  // namespace kelvo
