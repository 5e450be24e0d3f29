#include "split/FieldsArrayMany.h"

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
  if (index >= FieldsListMany::UPPER_LIMIT_TO_FIELD_NUMBER) {
    ReportError(ErrorMessage(u"item()", high, u">= UPPER_LIMIT_TO_FIELD_NUMBER"));
    return false;
  }
  return true;
}

}  // namespace

// The slots are made as they are first filled: a slot never filled reads as the empty text.
FieldsListMany::FieldsListMany(const FieldListNumbers& numbers) : numbers_(numbers) {}

std::string FieldsListMany::item(int index) const {
  if (!CheckIndex(index, numbers_.readLow, numbers_.readHigh)) return "";
  const auto at = static_cast<std::size_t>(index);
  return at < items_.size() ? items_[at] : decltype(items_)::value_type();
}

void FieldsListMany::item(const std::string& text, int index) {
  if (!CheckIndex(index, numbers_.storeLow, numbers_.storeHigh)) return;
  const auto at = static_cast<std::size_t>(index);
  if (at >= items_.size()) items_.resize(at + 1);
  items_[at] = text;
}

}  // namespace kelvo
