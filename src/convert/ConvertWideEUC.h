// The reverse converter's engine: a whole EUC-JP file to UTF-16 little-endian with a
// byte-order mark, through "EUC-JP~UTF16.bin". An unmapped two-byte sequence gives its
// second byte as U+00xx.
#pragma once

#include "convert/EucEngine.h"

namespace kelvo {

class ConvertEUCintoUTF16 : public EucEngine {
 public:
  explicit ConvertEUCintoUTF16(const EngineRecord& record);
};

}  // namespace kelvo
