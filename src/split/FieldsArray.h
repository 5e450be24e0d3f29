// A list of UTF-16 fields with a fixed number of slots, filled by the UTF-16 splitter.
#pragma once

#include <string>
#include <vector>

namespace kelvo {

// The error numbers of a field list's reports of a bad index.
struct FieldListNumbers {
  int readLow, readHigh;    // reading below 0, or at or above the limit
  int storeLow, storeHigh;  // storing below 0, or at or above the limit
};

class FieldsList {
 public:
  // Valid indexes are 0 to MAXIMUM_FIELD_COUNT - 1.
  static constexpr int MAXIMUM_FIELD_COUNT = 3071;
  static constexpr int kSlots = 3072;

  explicit FieldsList(const FieldListNumbers& numbers);

  // The field at the index; a bad index is reported and gives the empty text.
  std::u16string item(int index) const;
  // Puts the text at the index; a bad index is reported and nothing is stored.
  void item(const std::u16string& text, int index);
  // Empties every slot.
  void Clear() { items_.clear(); }

 private:
  FieldListNumbers numbers_;
  std::vector<std::u16string> items_;
};

}  // namespace kelvo
