// Puts a derived table file in place without ever leaving a broken one behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace kelvo {

class DerivedTableFile {
 public:
  // Writes the records to a temporary file of this run's own, flushes it and renames it over
  // the table (current directory). On any failure the temporary file is removed, an
  // existing table stays as it was, and the failure message is reported; the failure as the
  // step met it.
  static platform::Result Put(const std::u16string& tableName,
                              const std::vector<std::uint8_t>& records,
                              const std::u16string& failureMessage);
};

}  // namespace kelvo
