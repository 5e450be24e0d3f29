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
    case Step::Stamp:
      return u"cannot renew the modification time of";
    case Step::Allocate:
      return u"cannot allocate memory for";
    case Step::Load:
      return u"cannot load";
  }
  return u"";
}

const char16_t* Why(Refusal refusal) {
  switch (refusal) {
    case Refusal::None:
      break;
    case Refusal::Link:
      return u"a symbolic link";
    case Refusal::NotRegular:
      return u"not a regular file";
    case Refusal::WritableByAll:
      return u"writable by everyone";
    case Refusal::Stranger:
      return u"owned by another user";
    case Refusal::TooLarge:
      return u"too large";
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
  if (refused != Refusal::None) {
    text += u": ";
    text += Why(refused);
  } else if (systemCode != 0) {
    text += u": ";
    text += FromAnsi(SystemReason(systemCode));
  }
  return text;
}

}  // namespace kelvo::platform
