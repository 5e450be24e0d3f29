// The forward converter's derivation: "UTF16~EUC-JP.bin" from the two source tables.
#pragma once

#include "tables/DerivePairs.h"

namespace kelvo {

class DeriveTamorlekTable {
 public:
  DeriveTamorlekTable(const TableRecord& record, const DerivationNumbers& numbers)
      : pairs_(record, numbers) {}
  // Writes the table file into the current directory. False, after the reports, on any
  // failure; an existing table file then stays as it was.
  [[nodiscard]] bool Derive(const SearchTable& search) const;

 private:
  PairDerivation pairs_;
};

}  // namespace kelvo
