#include "split/FieldsArray.h"

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

bool FieldIndexValid(int index, int low, int high, std::u16string_view limitName) {
  if (index < 0) {
    ReportError(ErrorMessage(u"item()", low, u"i < 0"));
    return false;
  }
  if (index >= kFieldLimit) {
    ReportError(ErrorMessage(u"item()", high, u">= " + std::u16string(limitName)));
    return false;
  }
  return true;
}

}  // namespace kelvo
