#include "tables/DeriveTamorlek.h"

#include "support/FileNames.h"

namespace kelvo {

bool DeriveTamorlekTable::Derive(const SearchTable& search) const {
  return pairs_.Derive(search, PairDerivation::Layout::Utf16First, kForwardTable);
}

}  // namespace kelvo
