// The forward converter's derivation: "UTF16~EUC-JP.bin" from the two source tables.
#pragma once

#include "tables/SearchBinary.h"

namespace kelvo {

class DeriveTamorlekTable {
 public:
  static constexpr char16_t kTableName[] = u"UTF16~EUC-JP.bin";
  // Writes the table file into the current directory; failures end the program with exit
  // code 1 and leave an existing table file as it was.
  void Derive(const SearchTable& search);
};

}  // namespace kelvo
