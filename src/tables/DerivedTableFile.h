// Puts a derived table file in place without ever leaving a broken one behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

class DerivedTableFile {
 public:
  // The name the table is written under before it replaces the table.
  static std::u16string TemporaryName(const std::u16string& tableName) {
    return tableName + u".tmp";
  }
  // Writes the records to the temporary file and renames it over the table (current
  // directory). On any failure the temporary file is removed, an existing table stays as
  // it was, and the message is reported before the program ends with exit code 1.
  static void Put(const std::u16string& tableName, const std::vector<std::uint8_t>& records,
                  const std::u16string& failureMessage);
};

}  // namespace kelvo
