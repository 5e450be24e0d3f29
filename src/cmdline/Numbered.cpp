#include "cmdline/Numbered.h"

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
}  // namespace

std::int32_t NumberedTerm::CountTrailingDigits(std::u16string_view text) {
  std::int32_t count = 0;
  for (std::size_t i = text.size(); i > 0 && IsDigit(text[i - 1]); --i) ++count;
  return count;
}

void NumberedTerm::SplitWith(const std::u16string& word, std::int32_t openEnd) {
  isRange_ = false;
  openEnd_ = openEnd;
  wordLength_ = static_cast<std::int32_t>(word.size());
  trailingDigitCount_ = CountTrailingDigits(word);
  const std::size_t cut = word.size() - static_cast<std::size_t>(trailingDigitCount_);
  trailingDigits_ = word.substr(cut);
  prefix_ = word.substr(0, cut);
  prefixLength_ = static_cast<std::int32_t>(prefix_.size());
}

void NumberedTerm::Split(const std::u16string& word) {
  SplitWith(word, kNoRange);
}

void NumberedTerm::SplitRange(const std::u16string& word, std::int32_t openEnd) {
  SplitWith(word, openEnd);
}

bool NumberedTerm::FindRange() {
  shortenedLength_ = static_cast<std::int32_t>(prefix_.size()) - 1;
  shortenedPrefix_ = prefix_.empty() ? std::u16string() : prefix_.substr(0, prefix_.size() - 1);
  const std::int32_t before = CountTrailingDigits(shortenedPrefix_);
  if (before > 0) {
    prefixLength_ = shortenedLength_ - before;
    secondDigits_ = shortenedPrefix_.substr(static_cast<std::size_t>(prefixLength_));
    rangePrefix_ = shortenedPrefix_.substr(0, static_cast<std::size_t>(prefixLength_));
    isRange_ = true;
  } else if (openEnd_ == kNoRange) {
    isRange_ = false;
  } else {
    secondDigits_ = trailingDigits_;
    rangePrefix_ = prefix_;
    trailingDigits_ = ToText(openEnd_);
    isRange_ = true;
  }
  return isRange_;
}

std::u16string NumberedTerm::Prefix() const {
  return isRange_ ? rangePrefix_ : prefix_;
}

std::int32_t NumberedTerm::FirstNumber() {
  return sequence_to_integer(trailingDigits_);
}

std::int32_t NumberedTerm::SecondNumber() {
  return isRange_ ? sequence_to_integer(secondDigits_) : -1;
}

std::int32_t NumberedTerm::sequence_to_integer(const std::u16string& text) {
  if (const std::optional<std::int32_t> value = ParseDecimal(text, Sign::Refused)) return *value;
  ReportError(ErrorMessage(u"sequence_to_integer()", sequenceToInteger_, text));
  return -1;
}

}  // namespace kelvo
