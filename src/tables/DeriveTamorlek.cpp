#include "tables/DeriveTamorlek.h"

#include "tables/DerivePairs.h"

namespace kelvo {

void DeriveTamorlekTable::Derive(const SearchTable& search) {
  PairDerivation::Derive(search, PairDerivation::Layout::Utf16First, kTableName);
}

}  // namespace kelvo
