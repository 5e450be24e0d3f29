// A list of byte-string fields with a fixed number of slots, filled by the Shift_JIS
// splitter.
#pragma once

#include <string>

#include "split/FieldsArray.h"

namespace kelvo {

class FieldsListMany : public FieldSlots<std::string> {
 public:
  // Valid indexes are 0 to UPPER_LIMIT_TO_FIELD_NUMBER - 1.
  static constexpr int UPPER_LIMIT_TO_FIELD_NUMBER = kFieldLimit;

  explicit FieldsListMany(const FieldListNumbers& numbers)
      : FieldSlots(numbers, u"UPPER_LIMIT_TO_FIELD_NUMBER") {}
};

}  // namespace kelvo
