#include "cmdline/HyphenTerm.h"

#include <algorithm>

#include "cmdline/Numbered.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// Length of the default "-e" and "-E" bit strings: one bit per possible field.
constexpr std::size_t kBitStringLength = 3071;
// The number a range written without its second part ends at.
constexpr std::int32_t kOpenRangeEnd = 2147483646;
constexpr std::int32_t kNarrowFieldLimit = 255;
constexpr std::int32_t kWideFieldLimit = 3071;
// Bytes kept of one settings-file line: enough for its first 256 characters in any
// supported code page.
constexpr std::size_t kLineByteLimit = HyphenTerms::kSetFileLineLength * 4;

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool StartsWith(std::u16string_view word, std::u16string_view start) {
  return word.substr(0, start.size()) == start;
}

}  // namespace

HyphenTerms::HyphenTerms(const std::vector<std::u16string>& arguments, const OptionRecord& record)
    : arguments_(arguments), record_(record) {}

bool HyphenTerms::SetUpTerms() {
  fieldOptions_ = record_.fieldOptions;
  outAlias_ = record_.outAlias;

  printable_.clear();
  for (char16_t c = u' '; c <= u'~'; ++c) printable_.push_back(c);
  static constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
  hexTable_.clear();
  for (int value = 0; value < 256; ++value) {
    hexTable_.push_back(u'x');
    hexTable_.push_back(kHexDigits[value / 16]);
    hexTable_.push_back(kHexDigits[value % 16]);
  }
  commentMark_ = u'\t';
  lineBreak_ = u"\r\n";
  space_ = u" ";
  if (arguments_.empty() || arguments_[0].empty()) {
    ReportError(ErrorMessage(
        u"ParamStr()", record_.numbers.paramStr,
        u"ParamStr(1) = EMPTY" + lineBreak_ + record_.name + space_ + u"--help" + lineBreak_));
    return false;
  }

  optionTable_ = {
      {u"-0", kWithCR},           {u"-a", kAcquireTable},    {u"-b", kViaBinaryTmp},
      {u"-d", kDefaultTableOnly}, {u"-G", kGuideWanted},     {u"-L", kLineFeedMode},
      {u"-o", kAwaitO},           {u"-_", kAwaitUnderscore}, {u"-s", kRemoveControls},
      {u"-t", kSameTime},         {u"-V", kVersionWanted},   {u"-w", kShowTable},
      {u"-y", kKeepBinaryTmp},    {u"-z", kNoDefaultOutput},
  };
  if (fieldOptions_) {
    optionTable_.push_back({u"-u", kUnderscoreSurrogates});
    optionTable_.push_back({u"-Z", kWideFields});
  }
  return true;
}

namespace {

// The lines of a settings file as its bytes come in: line 0 is the table name, lines 1 to 64
// fill the slots, and the rest is not read.
class SetFileLines {
 public:
  SetFileLines(std::u16string& tableName, std::vector<std::u16string>& slots, char16_t comment)
      : tableName_(tableName), slots_(slots), comment_(comment) {}

  // Takes the next bytes; false once every line that counts is in.
  bool Take(const char* block, std::int64_t count) {
    for (std::int64_t i = 0; i < count && line_ <= HyphenTerms::kSetFileSlots; ++i) {
      const char c = block[i];
      if (c == '\n') {
        if (!lastWasCR_) FinishLine();
        lastWasCR_ = false;
      } else if (c == '\r') {
        FinishLine();
        lastWasCR_ = true;
      } else {
        lastWasCR_ = false;
        if (line_ == 0 || bytes_.size() < kLineByteLimit) bytes_.push_back(c);
      }
    }
    return line_ <= HyphenTerms::kSetFileSlots;
  }

  // A last line without a line end.
  void Finish() {
    if (!bytes_.empty() && line_ <= HyphenTerms::kSetFileSlots) FinishLine();
  }

 private:
  void FinishLine() {
    std::u16string text = platform::FromAnsi(bytes_);
    bytes_.clear();
    if (line_ == 0) {
      tableName_ = text;
    } else {
      if (text.size() > HyphenTerms::kSetFileLineLength) {
        text.resize(HyphenTerms::kSetFileLineLength);
      }
      const std::size_t comment = text.find(comment_);
      if (comment != std::u16string::npos) text.resize(comment);
      slots_[static_cast<std::size_t>(line_)] = text;
    }
    ++line_;
  }

  std::u16string& tableName_;
  std::vector<std::u16string>& slots_;
  char16_t comment_;
  int line_ = 0;
  std::string bytes_;
  bool lastWasCR_ = false;
};

}  // namespace

void HyphenTerms::ReadSetFile() {
  const std::u16string& settingsFile = record_.settingsFile;
  setFileWords_.assign(kSetFileSlots + 1, std::u16string());

  // A settings file steers the run: one that a stranger could have planted, or that is too
  // large to be one, counts as missing.
  platform::InputFile file;
  if (!file.Open(settingsFile, platform::ReadMode::Text, platform::Guard::Steering)) {
    if (file.Refused() != platform::Refusal::None) {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsRefused,
                               RefusedFile(settingsFile, file.Refused())));
    } else {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsFile, settingsFile));
    }
    return;
  }
  if (file.Size() > kSetFileLimit) {
    ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsRefused,
                             RefusedFile(settingsFile, platform::Refusal::TooLarge)));
    return;
  }

  SetFileLines lines(tableName_, setFileWords_, commentMark_);
  char block[4096];
  for (;;) {
    const std::int64_t count = file.Read(block, sizeof block);
    if (count < 0) {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsFile, settingsFile));
      return;
    }
    if (count == 0) break;
    if (!lines.Take(block, count)) return;
  }
  lines.Finish();
}

void HyphenTerms::ReadSetText(std::string_view settingsText) {
  setFileWords_.assign(kSetFileSlots + 1, std::u16string());
  SetFileLines lines(tableName_, setFileWords_, commentMark_);
  if (lines.Take(settingsText.data(), static_cast<std::int64_t>(settingsText.size()))) {
    lines.Finish();
  }
}

void HyphenTerms::ResetResults() {
  flags_.fill(false);
  awaitInput_ = true;
  curlyClose_ = -1;
  curlyOpen_ = -1;
  pValue_ = -1;
  rValue_ = -1;
  rangeI_ = {2147483647, -1};
  rangeTilde_ = {2147483647, -1};
  joinCode_ = 44;
  quoteCode_ = 34;
  inputName_.clear();
  outputName_.clear();
  oValue_.clear();
  underscoreValue_.clear();
  onBits_.assign(kBitStringLength, u'1');
  offBits_.assign(kBitStringLength, u'0');
  joinText_ = u"_";
  quoteText_ = u"_";
  tableName_.clear();
  fieldLimitKnown_ = false;
}

void HyphenTerms::ScanTerms() {
  ResetResults();
  ReadSetFile();
  InterpretWords();
}

void HyphenTerms::ScanTerms(std::string_view settingsText) {
  ResetResults();
  ReadSetText(settingsText);
  InterpretWords();
}

void HyphenTerms::InterpretWords() {
  wordList_.clear();
  wordList_.push_back(u"-0");
  for (int slot = 1; slot <= kSetFileSlots; ++slot) {
    const std::u16string& word = setFileWords_[static_cast<std::size_t>(slot)];
    if (word.empty()) break;
    wordList_.push_back(word);
  }
  for (const std::u16string& argument : arguments_) ExpandArgument(argument);

  for (const std::u16string& word : wordList_) {
    if (!word.empty()) Interpret(word);
  }
}

void HyphenTerms::ExpandArgument(const std::u16string& argument) {
  if (argument.size() < 3) {
    wordList_.push_back(argument);
  } else if (argument == u"-CRLF") {
    wordList_.push_back(u"-0");
  } else if (argument == u"--help" || argument == u"-VC") {
    wordList_.push_back(u"-G");
  } else if (argument == u"-LF") {
    wordList_.push_back(u"-0-");
    wordList_.push_back(u"-L");
  } else if (outAlias_ && argument == u"--out") {
    wordList_.push_back(u"-o-");
    wordList_.push_back(u"-z");
  } else if (argument[0] != u'-') {
    wordList_.push_back(argument);
  } else if (printable_.find(argument[2]) == std::u16string::npos || argument[2] == u'-' ||
             argument[2] == u'\\' || IsDigit(argument[2])) {
    wordList_.push_back(argument);
  } else if (StartsWith(argument, u"-j") || StartsWith(argument, u"-q")) {
    wordList_.push_back(argument);
  } else {
    for (std::size_t i = 1; i < argument.size(); ++i) {
      wordList_.push_back(std::u16string{u'-', argument[i]});
    }
  }
}

HyphenTerms::Flag HyphenTerms::FlagOf(std::u16string_view word) const {
  for (const FlagWord& entry : optionTable_) {
    if (entry.word == word) return entry.flag;
  }
  return kFlagCount;
}

void HyphenTerms::Interpret(const std::u16string& word) {
  // a. plain word
  if (word[0] != u'-') {
    TakePlainWord(word);
    return;
  }
  // b. flag
  if (Flag flag = FlagOf(word); flag != kFlagCount) {
    flags_[flag] = true;
    return;
  }
  const bool long3 = word.size() >= 3;
  // c. negation
  if (long3 && word[2] == u'-') {
    if (Flag flag = FlagOf(std::u16string_view(word).substr(0, 2)); flag != kFlagCount) {
      flags_[flag] = false;
      if (flag == kAwaitO) oValue_.clear();
      if (flag == kAwaitUnderscore) underscoreValue_.clear();
      return;
    }
  }
  // d. single number, e. range
  if (long3 && IsDigit(word[2])) {
    if (TakeNumber(word) || TakeRange(word)) return;
  }
  const std::u16string_view head = std::u16string_view(word).substr(0, 2);
  // f. bit string
  if (long3 && (word[2] == u'0' || word[2] == u'1')) {
    if (head == u"-e") {
      onBits_ = word.substr(2);
      return;
    }
    if (head == u"-E") {
      offBits_ = word.substr(2);
      return;
    }
  }
  // g. character
  if (head == u"-J" || head == u"-Q") {
    std::int32_t& code = head == u"-J" ? joinCode_ : quoteCode_;
    code = DecodeCharacter(word, 2);
    if (code != 0) return;
  }
  // h. string
  if (long3 && (head == u"-j" || head == u"-q")) {
    if (head == u"-j") {
      joinText_ = word.substr(2);
      joinCode_ = 0;
    } else {
      quoteText_ = word.substr(2);
      quoteCode_ = 0;
    }
  }
  // i. anything else is ignored
}

void HyphenTerms::TakePlainWord(const std::u16string& word) {
  if (flags_[kAwaitO]) {
    oValue_ = word;
    flags_[kAwaitO] = false;
  } else if (flags_[kAwaitUnderscore]) {
    underscoreValue_ = word;
    flags_[kAwaitUnderscore] = false;
  } else if (awaitInput_) {
    inputName_ = word;
    awaitInput_ = false;
  } else {
    outputName_ = word;
  }
}

bool HyphenTerms::TakeNumber(const std::u16string& word) {
  NumberedTerm term(record_.numbers.sequenceToInteger);
  term.Split(word);
  const std::u16string prefix = term.Prefix();
  std::int32_t* target = nullptr;
  if (prefix == u"-}") {
    target = &curlyClose_;
  } else if (prefix == u"-{") {
    target = &curlyOpen_;
  } else if (prefix == u"-P") {
    target = &pValue_;
  } else if (fieldOptions_ && prefix == u"-r") {
    target = &rValue_;
  }
  if (target == nullptr) return false;
  *target = term.FirstNumber();
  return true;
}

bool HyphenTerms::TakeRange(const std::u16string& word) {
  NumberedTerm term(record_.numbers.sequenceToInteger);
  term.SplitRange(word, kOpenRangeEnd);
  if (!term.FindRange()) return false;
  const std::u16string prefix = term.Prefix();
  std::array<std::int32_t, 2>* target = nullptr;
  if (prefix == u"-I") {
    target = &rangeI_;
  } else if (prefix == u"-~") {
    target = &rangeTilde_;
  }
  if (target == nullptr) return false;
  (*target)[0] = term.FirstNumber();
  (*target)[1] = term.SecondNumber();
  return true;
}

std::int32_t HyphenTerms::DecodeCharacter(std::u16string_view word, int prefixLength) const {
  if (prefixLength < 1 || word.size() < static_cast<std::size_t>(prefixLength)) return 44;
  const std::size_t at = static_cast<std::size_t>(prefixLength);
  if (word.size() <= at) return 0;
  const int first = word[at] & 0xFF;
  if (first != '\\') return first;
  const int second = word.size() > at + 1 ? (word[at + 1] & 0xFF) : 0;
  switch (second) {
    case 't':
      return 9;
    case 's':
      return 32;
    case 'l':
      return 124;
    case 'v':
      return 62;
    case 'A':
    case 0xCD:
      return 60;
    case 'x':
      return HexCode(word.substr(at + 1, 3));
    default:
      return 44;
  }
}

std::int32_t HyphenTerms::HexCode(std::u16string_view text) const {
  const std::size_t found = text.empty() ? std::u16string::npos : hexTable_.find(text);
  if (found == std::u16string::npos) return 0;
  return static_cast<std::int32_t>(found / 3);
}

std::u16string HyphenTerms::listName(int index) {
  if (index == 1) return oValue_;
  if (index == 2) return underscoreValue_;
  const int number = index <= 0 ? record_.numbers.listNameLow : record_.numbers.listNameHigh;
  ReportError(ErrorMessage(u"listName()", number, ToText(index)));
  return std::u16string();
}

std::u16string HyphenTerms::OutputName() {
  if (outputName_.empty() && !flags_[kNoDefaultOutput]) {
    outputName_ = record_.defaultOutput;
  }
  return outputName_;
}

std::int32_t HyphenTerms::PNumber() const {
  return pValue_ == -1 ? 1 : pValue_;
}

std::int32_t HyphenTerms::FieldLimit() {
  fieldLimit_ = flags_[kWideFields] ? kWideFieldLimit : kNarrowFieldLimit;
  fieldLimitKnown_ = true;
  return fieldLimit_;
}

std::int32_t HyphenTerms::FieldNumber() {
  if (rValue_ != -1) return rValue_;
  return fieldLimitKnown_ ? fieldLimit_ : FieldLimit();
}

}  // namespace kelvo
