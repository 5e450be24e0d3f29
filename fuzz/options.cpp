// The option scanner on arbitrary argument vectors, for each program, and the numbered words
// it splits: no word may crash it, and a split word must come back whole.
#include "FuzzSupport.h"
#include "cmdline/HyphenTerm.h"
#include "cmdline/Numbered.h"
#include "drivers/ProgramRecord.h"
#include "support/Text.h"

using namespace kelvo;

namespace {

// The arguments: UTF-16 units of the input, split at U+0000 (no argument holds one).
std::vector<std::u16string> Arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> arguments(1);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = UnitAt(data + i);
    if (unit == 0) {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(unit);
    }
  }
  return arguments;
}

void CheckNumbered(const std::u16string& word) {
  NumberedTerm term(0);
  term.Split(word);
  const std::int32_t digits = NumberedTerm::CountTrailingDigits(word);
  fuzz::Check(digits >= 0 && static_cast<std::size_t>(digits) <= word.size(), "digit count");
  fuzz::Check(term.Prefix() == word.substr(0, word.size() - static_cast<std::size_t>(digits)),
              "prefix of a split word");
  const std::int32_t number = term.FirstNumber();
  const std::optional<std::int32_t> parsed =
      ParseDecimal(std::u16string_view(word).substr(word.size() - static_cast<std::size_t>(digits)),
                   Sign::Refused);
  fuzz::Check(number == parsed.value_or(-1), "number of a split word");
  NumberedTerm range(0);
  range.SplitRange(word, 2147483646);
  if (range.FindRange()) {
    fuzz::Check(range.Prefix().size() <= word.size(), "range prefix longer than its word");
    fuzz::Check(word.compare(0, range.Prefix().size(), range.Prefix()) == 0,
                "range prefix not at the start of its word");
    static_cast<void>(range.FirstNumber());
    static_cast<void>(range.SecondNumber());
  } else {
    fuzz::Check(range.SecondNumber() == -1, "second number without a range");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  static const ProgramRecord* const kPrograms[] = {&kTamorlek, &kBrenodax, &kQuilvar};
  const ProgramRecord& program = *kPrograms[input.Byte() % 3];
  const std::vector<std::u16string> arguments = Arguments(input.Rest(), input.RestSize());
  HyphenTerms terms(arguments, program.options);
  if (!terms.SetUpTerms()) return 0;
  terms.ScanTerms(std::string_view());
  static_cast<void>(terms.Settings());
  const std::int32_t limit = terms.FieldLimit();
  fuzz::Check(limit == 255 || limit == 3071, "field limit");
  static_cast<void>(terms.FieldNumber());
  for (const std::u16string& word : terms.WordList()) {
    if (!word.empty()) CheckNumbered(word);
  }
  return 0;
}
