// Splits one option word that carries numbers ("-r2", or a range such as "-I3x5") into its
// letter prefix and its numbers. The option scanner makes one short-lived instance per
// candidate word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

class NumberedTerm {
 public:
  // The open end of a word that cannot be a range.
  static constexpr std::int32_t kNoRange = 2147483647;

  // sequenceToInteger: the error number of a text that is no number.
  explicit NumberedTerm(int sequenceToInteger) : sequenceToInteger_(sequenceToInteger) {}

  // How many characters at the end of the text, read from the end, are decimal digits.
  static std::int32_t CountTrailingDigits(std::u16string_view text);

  // Separates the trailing digits from the prefix; no range is possible afterwards.
  void Split(const std::u16string& word);
  // The same, keeping openEnd as the number of a range written without a second number.
  void SplitRange(const std::u16string& word, std::int32_t openEnd);
  // After SplitRange: whether the word is a range, prefix + digits + separator + digits or
  // prefix + digits (then the open end is its first number).
  bool FindRange();

  // The range prefix for a range, else the prefix.
  std::u16string Prefix() const;
  // The trailing digits as a number; -1 (and an error-log entry) when they are not one.
  std::int32_t FirstNumber();
  // The digits before the separator of a range; -1 when the word is no range.
  std::int32_t SecondNumber();

  // The text as a decimal 32-bit number; -1 and an error-log entry when it is empty, holds
  // a character that is no digit, or is out of range.
  std::int32_t sequence_to_integer(const std::u16string& text);

 private:
  void SplitWith(const std::u16string& word, std::int32_t openEnd);

  int sequenceToInteger_;

  std::int32_t wordLength_ = 0;
  std::u16string prefix_;
  std::int32_t openEnd_ = kNoRange;
  std::u16string rangePrefix_;
  std::int32_t prefixLength_ = 0;
  std::u16string shortenedPrefix_;
  std::u16string trailingDigits_;
  std::int32_t trailingDigitCount_ = 0;
  std::u16string secondDigits_;
  bool isRange_ = false;
  std::int32_t shortenedLength_ = 0;
};

}  // namespace kelvo
