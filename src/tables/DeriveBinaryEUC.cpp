#include "tables/DeriveBinaryEUC.h"

#include "support/FileNames.h"

namespace kelvo {

bool DeriveBrenodaxTable::Derive(const SearchTable& search) const {
  return pairs_.Derive(search, PairDerivation::Layout::EucFirst, kReverseTable);
}

}  // namespace kelvo
