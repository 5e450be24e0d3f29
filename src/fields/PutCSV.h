// Writes the built-in surrogate replacement list "surro.csv": one line that replaces
// U+27DA0 by U+8CE3, as UTF-16 little-endian text with a byte-order mark and CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvo {

class PutSurroCSV {
 public:
  // Error number of a list file that cannot be created or written.
  static constexpr int kWriteListError = 802;
  // The exact bytes of the built-in list.
  static const std::array<std::uint8_t, 60> kBuiltInList;

  // Creates (or empties) the file and writes the built-in list into it. Returns 0, or -2
  // after reporting "Rewrite() error-802: " + path.
  int WriteList(const std::u16string& path);

 private:
  std::u16string path_;
};

}  // namespace kelvo
