// The lists of fields with a fixed number of slots that the splitters fill: UTF-16 fields
// (FieldsList) and byte-string fields (FieldsListMany, in FieldsArrayMany.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// Both field lists hold fields 0 to kFieldLimit - 1.
inline constexpr int kFieldLimit = 3071;

// The error numbers of a field list's reports of a bad index.
struct FieldListNumbers {
  int readLow, readHigh;    // reading below 0, or at or above the limit
  int storeLow, storeHigh;  // storing below 0, or at or above the limit
};

// Whether index is 0 to kFieldLimit - 1; a bad one is reported with the number low or high,
// the latter naming the limit as limitName.
bool FieldIndexValid(int index, int low, int high, std::u16string_view limitName);

// The slots of a field list, made as they are first filled: a slot never filled reads as
// the empty text.
template <class Text>
class FieldSlots {
 public:
  // The field at the index; a bad index is reported and gives the empty text.
  Text item(int index) const {
    if (!FieldIndexValid(index, numbers_.readLow, numbers_.readHigh, limitName_)) {
      return Text();
    }
    const auto at = static_cast<std::size_t>(index);
    return at < items_.size() ? items_[at] : Text();
  }
  // Puts the text at the index; a bad index is reported and nothing is stored.
  void item(const Text& text, int index) {
    if (!FieldIndexValid(index, numbers_.storeLow, numbers_.storeHigh, limitName_)) {
      return;
    }
    const auto at = static_cast<std::size_t>(index);
    if (at >= items_.size()) items_.resize(at + 1);
    items_[at] = text;
  }
  // Empties every slot.
  void Clear() { items_.clear(); }

 protected:
  FieldSlots(const FieldListNumbers& numbers, std::u16string_view limitName)
      : numbers_(numbers), limitName_(limitName) {}

 private:
  FieldListNumbers numbers_;
  std::u16string_view limitName_;
  std::vector<Text> items_;
};

class FieldsList : public FieldSlots<std::u16string> {
 public:
  // Valid indexes are 0 to MAXIMUM_FIELD_COUNT - 1.
  static constexpr int MAXIMUM_FIELD_COUNT = kFieldLimit;

  explicit FieldsList(const FieldListNumbers& numbers)
      : FieldSlots(numbers, u"MAXIMUM_FIELD_COUNT") {}
};

}  // namespace kelvo
