// The derivation shared by the forward and the reverse converter: every record of
// "MS932~UTF16.bin" becomes a pair of a UTF-16 code unit and its EUC-JP code, looked up
// in the sparse MS932-to-EUC-JP table. Only the order of the two sides and the name of the
// table file differ.
#pragma once

#include <cstdint>
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
  static constexpr int kSourceRecordSize = 4;
  static constexpr int kTableRecordSize = 5;

  PairDerivation(const TableRecord& record, const DerivationNumbers& numbers);

  // Loads the sparse table through the search, reads "MS932~UTF16.bin" from the current
  // directory and puts the table file of the layout in place there. The failure, after the
  // reports; an existing table file then stays as it was.
  platform::Result Derive(const SearchTable& search, Layout layout) const;

  // The table records for the source records, in source order. A half-width katakana
  // (single byte A1h-DFh) gets a two-byte record with the EUC-JP code 8Eh and its byte; any
  // other single-byte code of 80h or more gets no record; a two-byte code missing from the
  // sparse table gets EUC-JP 0, 0.
  static std::vector<std::uint8_t> Pairs(const SparsePopulationEUC& sparse,
                                         const std::vector<std::uint8_t>& source, Layout layout);

 private:
  TableRecord record_;
  DerivationNumbers numbers_;
};

// One converter's derivation: the pairs in the layout of its table file.
template <PairDerivation::Layout kLayout>
class PairTableDerivation {
 public:
  PairTableDerivation(const TableRecord& record, const DerivationNumbers& numbers)
      : pairs_(record, numbers) {}
  // Writes the table file into the current directory. The failure, after the reports; an
  // existing table file then stays as it was.
  platform::Result Derive(const SearchTable& search) const {
    return pairs_.Derive(search, kLayout);
  }

 private:
  PairDerivation pairs_;
};

// The forward converter's derivation: "UTF16~EUC-JP.bin".
using DeriveTamorlekTable = PairTableDerivation<PairDerivation::Layout::Utf16First>;
// The reverse converter's derivation: "EUC-JP~UTF16.bin".
using DeriveBrenodaxTable = PairTableDerivation<PairDerivation::Layout::EucFirst>;

}  // namespace kelvo
