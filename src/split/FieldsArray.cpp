#include "split/FieldsArray.h"

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// Reports a bad index and returns false; true when the index is valid.
bool CheckIndex(int index, int low, int high) {
  if (index < 0) {
    ReportError(ErrorMessage(u"item()", low, u"i < 0"));
    return false;
  }
  if (index >= FieldsList::MAXIMUM_FIELD_COUNT) {
    ReportError(ErrorMessage(u"item()", high, u">= MAXIMUM_FIELD_COUNT"));
    return false;
  }
  return true;
}

}  // namespace

// The slots are made as they are first filled: a slot never filled reads as the empty text.
FieldsList::FieldsList(const FieldListNumbers& numbers) : numbers_(numbers) {}

std::u16string FieldsList::item(int index) const {
  if (!CheckIndex(index, numbers_.readLow, numbers_.readHigh)) return u"";
  const auto at = static_cast<std::size_t>(index);
  return at < items_.size() ? items_[at] : decltype(items_)::value_type();
}

void FieldsList::item(const std::u16string& text, int index) {
  if (!CheckIndex(index, numbers_.storeLow, numbers_.storeHigh)) return;
  const auto at = static_cast<std::size_t>(index);
  if (at >= items_.size()) items_.resize(at + 1);
  items_[at] = text;
}

}  // namespace kelvo
