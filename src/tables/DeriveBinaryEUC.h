// The reverse converter's derivation: "EUC-JP~UTF16.bin" from the two source tables.
#pragma once

#include "tables/DerivePairs.h"

namespace kelvo {

class DeriveBrenodaxTable {
 public:
  DeriveBrenodaxTable(const TableRecord& record, const DerivationNumbers& numbers)
      : pairs_(record, numbers) {}
  // Writes the table file into the current directory. False, after the reports, on any
  // failure; an existing table file then stays as it was.
  [[nodiscard]] bool Derive(const SearchTable& search) const;

 private:
  PairDerivation pairs_;
};

}  // namespace kelvo
