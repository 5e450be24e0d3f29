#include "split/FieldsArray.h"

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// This list exists only in the forward converter, so its numbers are its own.
constexpr int kReadLow = 770;
constexpr int kReadHigh = 771;
constexpr int kStoreLow = 772;
constexpr int kStoreHigh = 773;

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
FieldsList::FieldsList() = default;

std::u16string FieldsList::item(int index) const {
  if (!CheckIndex(index, kReadLow, kReadHigh)) return u"";
  const auto at = static_cast<std::size_t>(index);
  return at < items_.size() ? items_[at] : decltype(items_)::value_type();
}

void FieldsList::item(const std::u16string& text, int index) {
  if (!CheckIndex(index, kStoreLow, kStoreHigh)) return;
  const auto at = static_cast<std::size_t>(index);
  if (at >= items_.size()) items_.resize(at + 1);
  items_[at] = text;
}

}  // namespace kelvo
