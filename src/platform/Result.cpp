#include "platform/Result.h"

#include "platform/Platform.h"

namespace kelvo::platform {

namespace {
const char16_t* Verb(Step step) {
  switch (step) {
    case Step::None:
      break;
    case Step::Open:
      return u"cannot open";
    case Step::Create:
      return u"cannot create";
    case Step::Read:
      return u"cannot read";
    case Step::Write:
      return u"cannot write";
    case Step::Close:
      return u"cannot finish writing";
    case Step::Rename:
      return u"cannot put in place";
    case Step::Remove:
      return u"cannot remove";
    case Step::Lock:
      return u"cannot lock";
    case Step::Allocate:
      return u"cannot allocate memory for";
    case Step::Load:
      return u"cannot load";
  }
  return u"";
}
}  // namespace

std::u16string Result::Describe() const {
  if (Succeeded()) return {};
  std::u16string text = Verb(failed);
  text += u" '";
  text += detail;
  text += u"'";
  if (systemCode != 0) {
    text += u": ";
    text += FromAnsi(SystemReason(systemCode));
  }
  return text;
}

}  // namespace kelvo::platform
