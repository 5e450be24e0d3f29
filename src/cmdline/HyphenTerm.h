// The option scanner: turns the command line, together with the option words of the
// program's settings file, into flags, numbers and file names. The option set and the
// texts come from the program's option record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// What the option scanner of one program reads and reports with.
struct OptionRecord {
  std::u16string name;           // the command name, in the report of a missing first word
  std::u16string settingsFile;   // "set_tamorlek.txt"
  std::u16string defaultOutput;  // "tamorlek.txt"
  bool fieldOptions;             // the program takes "-r", "-u" and "-Z"
  bool outAlias;                 // the program takes "--out"
  struct Numbers {
    int paramStr;           // no first argument
    int listNameLow;        // listName below 1
    int listNameHigh;       // listName above 2
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

  // Sets the constants. Without a first argument there is nothing to scan: false after the
  // report.
  [[nodiscard]] bool SetUpTerms();
  // Reads the settings file, builds the word list and interprets every word.
  void ScanTerms();
  // The same with the settings file's bytes in hand.
  void ScanTerms(std::string_view settingsText);
  // Reads the settings file into TableName and the settings-file words.
  void ReadSetFile();
  // Reads the bytes of a settings file the same way.
  void ReadSetText(std::string_view settingsText);

  // Flags read by the drivers.
  bool WithCR() const { return flags_[kWithCR]; }
  bool AcquireTable() const { return flags_[kAcquireTable]; }
  bool ViaBinaryTmp() const { return flags_[kViaBinaryTmp]; }
  bool DefaultTableOnly() const { return flags_[kDefaultTableOnly]; }
  bool GuideWanted() const { return flags_[kGuideWanted]; }
  bool LineFeedMode() const { return flags_[kLineFeedMode]; }
  bool RemoveControls() const { return flags_[kRemoveControls]; }
  bool SameTime() const { return flags_[kSameTime]; }
  bool UnderscoreSurrogates() const { return flags_[kUnderscoreSurrogates]; }
  bool VersionWanted() const { return flags_[kVersionWanted]; }
  bool ShowTable() const { return flags_[kShowTable]; }
  bool KeepBinaryTmp() const { return flags_[kKeepBinaryTmp]; }
  bool NoDefaultOutput() const { return flags_[kNoDefaultOutput]; }
  bool WideFields() const { return flags_[kWideFields]; }

  const std::u16string& InputName() const { return inputName_; }
  const std::u16string& TableName() const { return tableName_; }
  // 1: the name that followed "-o"; 2: the name that followed "-_"; any other index gives
  // an empty name and an error-log entry.
  std::u16string listName(int index);
  // The later plain word; if there is none, the program's default output name, or
  // nothing under "-z".
  std::u16string OutputName();
  // The "-P" number; 1 when none was given.
  std::int32_t PNumber() const;
  // 3071 under "-Z", else 255.
  std::int32_t FieldLimit();
  // The "-r" number; the field limit when none was given.
  std::int32_t FieldNumber();

  // The character code of a "-J" or "-Q" word after a prefix of the given length.
  std::int32_t DecodeCharacter(std::u16string_view word, int prefixLength) const;
  // The byte value of "xHH" (upper-case hexadecimal digits); 0 for anything else.
  std::int32_t HexCode(std::u16string_view text) const;

  // Values that no program reads but that the words carry all the same.
  std::int32_t CurlyCloseNumber() const { return curlyClose_; }  // "-}"
  std::int32_t CurlyOpenNumber() const { return curlyOpen_; }    // "-{"
  std::int32_t RangeIUpper() const { return rangeI_[0]; }        // "-I"
  std::int32_t RangeILower() const { return rangeI_[1]; }
  std::int32_t RangeTildeUpper() const { return rangeTilde_[0]; }  // "-~"
  std::int32_t RangeTildeLower() const { return rangeTilde_[1]; }
  const std::u16string& OnBits() const { return onBits_; }        // "-e"
  const std::u16string& OffBits() const { return offBits_; }      // "-E"
  std::int32_t JoinCode() const { return joinCode_; }             // "-J"
  std::int32_t QuoteCode() const { return quoteCode_; }           // "-Q"
  const std::u16string& JoinText() const { return joinText_; }    // "-j"
  const std::u16string& QuoteText() const { return quoteText_; }  // "-q"

  // The words as interpreted: "-0", the settings-file words, the expanded arguments.
  const std::vector<std::u16string>& WordList() const { return wordList_; }
  // Settings-file option lines, slots 1 to 64 (index 0 unused).
  const std::vector<std::u16string>& SetFileWords() const { return setFileWords_; }

 private:
  enum Flag {
    kAwaitO,
    kAwaitUnderscore,
    kAcquireTable,
    kViaBinaryTmp,
    kGuideWanted,
    kVersionWanted,
    kLineFeedMode,
    kKeepBinaryTmp,
    kDefaultTableOnly,
    kRemoveControls,
    kSameTime,
    kShowTable,
    kNoDefaultOutput,
    kWithCR,
    kUnderscoreSurrogates,
    kWideFields,
    kFlagCount
  };
  struct FlagWord {
    std::u16string_view word;
    Flag flag;
  };

  void ResetResults();
  // Builds the word list from the settings-file words and the arguments, and interprets it.
  void InterpretWords();
  void ExpandArgument(const std::u16string& argument);
  void Interpret(const std::u16string& word);
  void TakePlainWord(const std::u16string& word);
  // The flag of an option word of this program, or kFlagCount.
  Flag FlagOf(std::u16string_view word) const;
  bool TakeNumber(const std::u16string& word);
  bool TakeRange(const std::u16string& word);

  std::vector<std::u16string> arguments_;
  OptionRecord record_;
  std::vector<FlagWord> optionTable_;
  bool fieldOptions_ = false;
  bool outAlias_ = false;

  std::u16string printable_;
  std::u16string hexTable_;
  char16_t commentMark_ = u'\t';
  std::u16string lineBreak_;
  std::u16string space_;

  std::vector<std::u16string> wordList_;
  std::vector<std::u16string> setFileWords_;
  std::u16string tableName_;

  std::array<bool, kFlagCount> flags_{};
  bool awaitInput_ = true;
  std::int32_t curlyClose_ = -1;
  std::int32_t curlyOpen_ = -1;
  std::int32_t pValue_ = -1;
  std::int32_t rValue_ = -1;
  std::array<std::int32_t, 2> rangeI_{2147483647, -1};
  std::array<std::int32_t, 2> rangeTilde_{2147483647, -1};
  std::int32_t joinCode_ = 44;
  std::int32_t quoteCode_ = 34;
  std::int32_t fieldLimit_ = 255;
  bool fieldLimitKnown_ = false;

  std::u16string inputName_;
  std::u16string outputName_;
  std::u16string oValue_;
  std::u16string underscoreValue_;
  std::u16string onBits_;
  std::u16string offBits_;
  std::u16string joinText_;
  std::u16string quoteText_;
};

}  // namespace kelvo
