// The derivation shared by the forward and the reverse converter: every record of
// "MS932~UTF16.bin" becomes a pair of a UTF-16 code unit and its EUC-JP code, looked up
// in the sparse MS932-to-EUC-JP table. Only the order of the two sides differs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tables/SearchBinary.h"
#include "tables/SparseEUC.h"

namespace kelvo {

class PairDerivation {
 public:
  enum class Layout {
    Utf16First,  // "UTF16~EUC-JP.bin": UTF-16 low, high, kind, EUC-JP 1, EUC-JP 2
    EucFirst,    // "EUC-JP~UTF16.bin": EUC-JP 1, EUC-JP 2, kind, UTF-16 low, high
  };
  static constexpr char16_t kUtf16Source[] = u"MS932~UTF16.bin";
  static constexpr int kSourceRecordSize = 4;
  static constexpr int kTableRecordSize = 5;

  // Loads the sparse table through the search, reads "MS932~UTF16.bin" from the current
  // directory and puts the table file in place. Any failure ends the program with exit
  // code 1 and leaves an existing table file as it was.
  static void Derive(const SearchTable& search, Layout layout, const std::u16string& tableName);

  // The table records for the source records, in source order. A half-width katakana
  // (single byte A1h-DFh) gets a two-byte record with the EUC-JP code 8Eh and its byte; any
  // other single-byte code of 80h or more gets no record; a two-byte code missing from the
  // sparse table gets EUC-JP 0, 0.
  static std::vector<std::uint8_t> Pairs(const SparsePopulationEUC& sparse,
                                         const std::vector<std::uint8_t>& source, Layout layout);
};

}  // namespace kelvo
