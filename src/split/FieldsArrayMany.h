// A list of byte-string fields with a fixed number of slots, filled by the Shift_JIS
// splitter.
#pragma once

#include <string>
#include <vector>

#include "split/FieldsArray.h"

namespace kelvo {

class FieldsListMany {
 public:
  // Valid indexes are 0 to UPPER_LIMIT_TO_FIELD_NUMBER - 1.
  static constexpr int UPPER_LIMIT_TO_FIELD_NUMBER = 3071;
  static constexpr int kSlots = 3072;

  explicit FieldsListMany(const FieldListNumbers& numbers);

  // The field at the index; a bad index is reported and gives the empty string.
  std::string item(int index) const;
  // Puts the text at the index; a bad index is reported and nothing is stored.
  void item(const std::string& text, int index);
  // Empties every slot.
  void Clear() { items_.clear(); }

 private:
  FieldListNumbers numbers_;
  std::vector<std::string> items_;
};

}  // namespace kelvo
