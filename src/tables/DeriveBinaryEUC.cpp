#include "tables/DeriveBinaryEUC.h"

#include "tables/DerivePairs.h"

namespace kelvo {

void DeriveBrenodaxTable::Derive(const SearchTable& search) {
  PairDerivation::Derive(search, PairDerivation::Layout::EucFirst, kTableName);
}

}  // namespace kelvo
