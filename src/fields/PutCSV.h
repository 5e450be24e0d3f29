// Writes the built-in surrogate replacement list "surro.csv": one line that replaces
// U+27DA0 by U+8CE3, as UTF-16 little-endian text with a byte-order mark and CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Result.h"

namespace kelvo {

class PutSurroCSV {
 public:
  // The exact bytes of the built-in list.
  static const std::array<std::uint8_t, 60> kBuiltInList;

  // writeNumber: the error number of a list file that cannot be created or written.
  explicit PutSurroCSV(int writeNumber) : writeNumber_(writeNumber) {}

  // Puts a file holding the built-in list in place, whole. A failure is reported as
  // "Rewrite() error-<writeNumber>: " + path and returned with its cause.
  platform::Result WriteList(const std::u16string& path);

 private:
  int writeNumber_;
};

}  // namespace kelvo
