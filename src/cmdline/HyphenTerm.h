// The option scanner: turns the command line, together with the option words of the
// program's settings file, into the run settings. The options and the texts come from the
// program's option record.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "cmdline/FinalEffect.h"
#include "cmdline/OptionTable.h"

namespace kelvo {

// What the option scanner of one program reads and reports with.
struct OptionRecord {
  std::u16string name;           // the command name, in the report of a missing first word
  std::u16string settingsFile;   // "set_tamorlek.txt"
  std::u16string defaultOutput;  // "tamorlek.txt"
  OptionTable table;             // the program's options
  struct Numbers {
    int paramStr;           // no first argument
    int settingsFile;       // the settings file cannot be read
    int sequenceToInteger;  // a number in a word is no number
    int settingsRefused;    // the settings file is not one to trust, or too large
  } numbers;
};

class HyphenTerms {
 public:
  // Number of option lines taken from the settings file (after its first line).
  static constexpr int kSetFileSlots = 64;
  // Characters of a settings-file line that count.
  static constexpr std::size_t kSetFileLineLength = 256;
  // The largest settings file that is read; a larger one is refused before it is read.
  static constexpr std::int64_t kSetFileLimit = std::int64_t{64} << 10;

  HyphenTerms(const std::vector<std::u16string>& arguments, const OptionRecord& record);

  // Without a first argument there is nothing to scan: false after the report.
  [[nodiscard]] bool SetUpTerms();
  // Reads the settings file, builds the word list and interprets every word.
  void ScanTerms();
  // The same with the settings file's bytes in hand.
  void ScanTerms(std::string_view settingsText);
  // Reads the option lines of the settings file (its first line names a table, which the
  // table search reads itself).
  void ReadSetFile();
  // Reads the bytes of a settings file the same way.
  void ReadSetText(std::string_view settingsText);

  // The run settings that the words give: the one place where words become settings.
  FinalEffects Settings() const;

  // Whether a flag is on after the scan.
  bool On(OptionEffect flag) const { return flags_[static_cast<std::size_t>(flag)]; }
  const std::u16string& InputName() const { return inputName_; }
  // The name that followed "-o".
  const std::u16string& NamedOutput() const { return oValue_; }
  // The later plain word; if there is none, the program's default output name, or
  // nothing under "-z".
  std::u16string OutputName() const;
  // 3071 under "-Z", else 255.
  std::int32_t FieldLimit() const;
  // The "-r" number; the field limit when none was given.
  std::int32_t FieldNumber() const;

  // The words as interpreted: "-0", the settings-file words, the expanded arguments.
  const std::vector<std::u16string>& WordList() const { return wordList_; }
  // Settings-file option lines, slots 1 to 64 (index 0 unused).
  const std::vector<std::u16string>& SetFileWords() const { return setFileWords_; }

 private:
  void ResetResults();
  // Builds the word list from the settings-file words and the arguments, and interprets it.
  void InterpretWords();
  void ExpandArgument(const std::u16string& argument);
  void Interpret(const std::u16string& word);
  void TakePlainWord(const std::u16string& word);
  // The entry of the word among the given kinds, or null.
  const OptionEntry* Find(std::u16string_view word, std::initializer_list<OptionKind> kinds) const;
  // Turns a flag or a name option on or off.
  void Switch(const OptionEntry& entry, bool on);
  bool TakeNumber(const std::u16string& word);
  bool TakeRange(const std::u16string& word);

  std::vector<std::u16string> arguments_;
  OptionRecord record_;

  std::vector<std::u16string> wordList_;
  std::vector<std::u16string> setFileWords_;

  std::array<bool, static_cast<std::size_t>(OptionEffect::Count)> flags_{};
  // For each entry of the table: a name option waiting for its plain word.
  std::vector<bool> awaiting_;
  bool awaitInput_ = true;
  std::int32_t rValue_ = -1;

  std::u16string inputName_;
  std::u16string outputName_;
  std::u16string oValue_;
};

}  // namespace kelvo
