// The settings file: its first line names a table, the next 64 lines are option words, each
// cut at 256 characters and at a tab. The text must come back byte for byte through the code
// page.
#include "FuzzSupport.h"
#include "cmdline/HyphenTerm.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::u16string> arguments{u"in.txt"};
  HyphenTerms terms(arguments, kTamorlek.options);
  fuzz::Check(terms.SetUpTerms(), "set-up");
  terms.ScanTerms(text);
  const std::vector<std::u16string>& words = terms.SetFileWords();
  fuzz::Check(words.size() == HyphenTerms::kSetFileSlots + 1, "slot count");
  for (const std::u16string& word : words) {
    fuzz::Check(word.size() <= HyphenTerms::kSetFileLineLength, "option line too long");
    fuzz::Check(word.find_first_of(u"\t\r\n") == std::u16string::npos, "tab or line end kept");
  }
  fuzz::Check(platform::ToAnsi(platform::FromAnsi(text)) == text,
              "text changed through the code page");
  static_cast<void>(terms.FieldNumber());
  static_cast<void>(terms.OutputName());
  return 0;
}
