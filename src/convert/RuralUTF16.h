// The reverse converter's code table, loaded from "EUC-JP~UTF16.bin": for every EUC-JP key
// the UTF-16 code unit it stands for (value bytes: low byte, high byte).
#pragma once

#include "convert/EucCodeTable.h"

namespace kelvo {

class RuralAreaUTF16 : public EucCodeTable {};

}  // namespace kelvo
