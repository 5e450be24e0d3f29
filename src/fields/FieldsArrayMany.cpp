#include "fields/FieldsArrayMany.h"

#include "drivers/ProgramRecord.h"
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

FieldsListMany::FieldsListMany() : items_(kSlots) {}

std::string FieldsListMany::item(int index) const {
  const auto& errors = CurrentProgram().errors;
  if (!CheckIndex(index, errors.itemReadLow, errors.itemReadHigh)) return "";
  return items_[static_cast<std::size_t>(index)];
}

void FieldsListMany::item(const std::string& text, int index) {
  const auto& errors = CurrentProgram().errors;
  if (!CheckIndex(index, errors.itemStoreLow, errors.itemStoreHigh)) return;
  items_[static_cast<std::size_t>(index)] = text;
}

}  // namespace kelvo
