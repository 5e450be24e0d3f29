// The recoder's code table, loaded from "EUC-JP~Shift_JIS.bin": for every EUC-JP key the
// Shift_JIS bytes it stands for, in output order.
#pragma once

#include "convert/EucCodeTable.h"

namespace kelvo {

class SurvivorsEUC : public EucCodeTable {};

}  // namespace kelvo
