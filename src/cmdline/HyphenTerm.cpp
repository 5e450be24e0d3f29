#include "cmdline/HyphenTerm.h"

#include <algorithm>

#include "cmdline/Numbered.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/FileRead.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// The number a range written without its second part ends at.
constexpr std::int32_t kOpenRangeEnd = 2147483646;
constexpr std::int32_t kNarrowFieldLimit = 255;
constexpr std::int32_t kWideFieldLimit = 3071;
// Bytes kept of one settings-file line: enough for its first 256 characters in any
// supported code page.
constexpr std::size_t kLineByteLimit = HyphenTerms::kSetFileLineLength * 4;
// The mark that begins a comment on a settings-file line.
constexpr char16_t kCommentMark = u'\t';

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool IsPrintable(char16_t c) {
  return c >= u' ' && c <= u'~';
}

bool StartsWith(std::u16string_view word, std::u16string_view start) {
  return word.substr(0, start.size()) == start;
}

}  // namespace

HyphenTerms::HyphenTerms(const std::vector<std::u16string>& arguments, const OptionRecord& record)
    : arguments_(arguments), record_(record) {}

bool HyphenTerms::SetUpTerms() {
  if (arguments_.empty() || arguments_[0].empty()) {
    ReportError(ErrorMessage(u"ParamStr()", record_.numbers.paramStr,
                             u"ParamStr(1) = EMPTY\r\n" + record_.name + u" --help\r\n"));
    return false;
  }
  return true;
}

namespace {

// The lines of a settings file as its bytes come in: line 0 names a table and is passed over
// here, lines 1 to 64 fill the slots, and the rest is not read.
class SetFileLines {
 public:
  explicit SetFileLines(std::vector<std::u16string>& slots) : slots_(slots) {}

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
        if (bytes_.size() < kLineByteLimit) bytes_.push_back(c);
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
    std::string_view bytes(bytes_);
    if (line_ == 0) {
      // The first line names a table, which the table search reads; here only its
      // byte-order mark counts, for the encoding of the lines after it.
      utf8_ = DropUtf8Mark(bytes);
    } else {
      std::u16string text = SettingsText(bytes, utf8_);
      if (text.size() > HyphenTerms::kSetFileLineLength) {
        text.resize(HyphenTerms::kSetFileLineLength);
      }
      const std::size_t comment = text.find(kCommentMark);
      if (comment != std::u16string::npos) text.resize(comment);
      slots_[static_cast<std::size_t>(line_)] = text;
    }
    bytes_.clear();
    ++line_;
  }

  std::vector<std::u16string>& slots_;
  int line_ = 0;
  std::string bytes_;
  bool lastWasCR_ = false;
  bool utf8_ = false;  // the file began with a UTF-8 byte-order mark
};

}  // namespace

void HyphenTerms::ReadSetFile() {
  const std::u16string& settingsFile = record_.settingsFile;
  setFileWords_.assign(kSetFileSlots + 1, std::u16string());

  // A settings file steers the run: one that a stranger could have planted, or that is too
  // large to be one, counts as missing.
  platform::InputFile file;
  const platform::Result opened =
      file.Open(settingsFile, platform::ReadMode::Text, platform::Guard::Steering);
  if (!opened) {
    if (opened.refused != platform::Refusal::None) {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsRefused,
                               RefusedFile(settingsFile, opened.refused)),
                  opened);
    } else {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsFile, settingsFile), opened);
    }
    return;
  }
  if (file.Size() > kSetFileLimit) {
    ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsRefused,
                             RefusedFile(settingsFile, platform::Refusal::TooLarge)));
    return;
  }

  SetFileLines lines(setFileWords_);
  char block[4096];
  for (;;) {
    std::int64_t count = 0;
    const platform::Result read = file.Read(block, sizeof block, count);
    if (!read) {
      ReportError(ErrorMessage(u"Reset()", record_.numbers.settingsFile, settingsFile), read);
      return;
    }
    if (count == 0) break;
    if (!lines.Take(block, count)) return;
  }
  lines.Finish();
}

void HyphenTerms::ReadSetText(std::string_view settingsText) {
  setFileWords_.assign(kSetFileSlots + 1, std::u16string());
  SetFileLines lines(setFileWords_);
  if (lines.Take(settingsText.data(), static_cast<std::int64_t>(settingsText.size()))) {
    lines.Finish();
  }
}

void HyphenTerms::ResetResults() {
  flags_.fill(false);
  awaiting_.assign(record_.table.size(), false);
  awaitInput_ = true;
  rValue_ = -1;
  inputName_.clear();
  outputName_.clear();
  oValue_.clear();
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
  } else if (const OptionEntry* alias = Find(argument, {OptionKind::Alias})) {
    for (std::u16string_view word : alias->expansion) {
      if (!word.empty()) wordList_.emplace_back(word);
    }
  } else if (StartsWith(argument, u"--")) {
    // A long word that the program does not list is one unknown word, ignored whole: split
    // into letters, a typed "--verbose" would take the input as the "-o" name.
    wordList_.push_back(argument);
  } else if (argument[0] != u'-') {
    wordList_.push_back(argument);
  } else if (!IsPrintable(argument[2]) || argument[2] == u'-' || argument[2] == u'\\' ||
             IsDigit(argument[2])) {
    wordList_.push_back(argument);
  } else if (Find(std::u16string_view(argument).substr(0, 2), {OptionKind::Text})) {
    wordList_.push_back(argument);
  } else {
    for (std::size_t i = 1; i < argument.size(); ++i) {
      wordList_.push_back(std::u16string{u'-', argument[i]});
    }
  }
}

const OptionEntry* HyphenTerms::Find(std::u16string_view word,
                                     std::initializer_list<OptionKind> kinds) const {
  for (const OptionEntry& entry : record_.table) {
    if (entry.word == word && std::find(kinds.begin(), kinds.end(), entry.kind) != kinds.end()) {
      return &entry;
    }
  }
  return nullptr;
}

void HyphenTerms::Switch(const OptionEntry& entry, bool on) {
  if (entry.kind == OptionKind::Name) {
    awaiting_[static_cast<std::size_t>(&entry - record_.table.data())] = on;
    if (!on && entry.effect == OptionEffect::OutputName) oValue_.clear();
  } else {
    flags_[static_cast<std::size_t>(entry.effect)] = on;
  }
}

void HyphenTerms::Interpret(const std::u16string& word) {
  // A plain word is a name.
  if (word[0] != u'-') {
    TakePlainWord(word);
    return;
  }
  // A flag or a name option, and either of them followed by "-", which turns it off.
  if (const OptionEntry* entry = Find(word, {OptionKind::Flag, OptionKind::Name})) {
    Switch(*entry, true);
    return;
  }
  if (word.size() < 3) return;
  const std::u16string_view head = std::u16string_view(word).substr(0, 2);
  if (word[2] == u'-') {
    if (const OptionEntry* entry = Find(head, {OptionKind::Flag, OptionKind::Name})) {
      Switch(*entry, false);
      return;
    }
  }
  // A number or a range. Any other word that begins with "-" (values that nothing reads
  // among them) is ignored.
  if (IsDigit(word[2]) && !TakeNumber(word)) static_cast<void>(TakeRange(word));
}

void HyphenTerms::TakePlainWord(const std::u16string& word) {
  for (std::size_t i = 0; i < awaiting_.size(); ++i) {
    if (awaiting_[i]) {
      awaiting_[i] = false;
      if (record_.table[i].effect == OptionEffect::OutputName) oValue_ = word;
      return;
    }
  }
  if (awaitInput_) {
    inputName_ = word;
    awaitInput_ = false;
  } else {
    outputName_ = word;
  }
}

// A number too large is reported by NumberedTerm, also where nothing reads it.
bool HyphenTerms::TakeNumber(const std::u16string& word) {
  NumberedTerm term(record_.numbers.sequenceToInteger);
  term.Split(word);
  const OptionEntry* entry = Find(term.Prefix(), {OptionKind::Number});
  if (entry == nullptr) return false;
  const std::int32_t number = term.FirstNumber();
  if (entry->effect == OptionEffect::FieldNumber) rValue_ = number;
  return true;
}

bool HyphenTerms::TakeRange(const std::u16string& word) {
  NumberedTerm term(record_.numbers.sequenceToInteger);
  term.SplitRange(word, kOpenRangeEnd);
  if (!term.FindRange() || Find(term.Prefix(), {OptionKind::Range}) == nullptr) return false;
  static_cast<void>(term.FirstNumber());
  static_cast<void>(term.SecondNumber());
  return true;
}

std::u16string HyphenTerms::OutputName() const {
  if (outputName_.empty() && !On(OptionEffect::NoDefaultOutput)) return record_.defaultOutput;
  return outputName_;
}

std::int32_t HyphenTerms::FieldLimit() const {
  return On(OptionEffect::WideFields) ? kWideFieldLimit : kNarrowFieldLimit;
}

std::int32_t HyphenTerms::FieldNumber() const {
  return rValue_ != -1 ? rValue_ : FieldLimit();
}

FinalEffects HyphenTerms::Settings() const {
  using E = OptionEffect;
  return FinalEffects{
      .inputName = inputName_,
      .outputName = oValue_.empty() ? OutputName() : oValue_,
      .fieldNumber = FieldNumber(),
      .fieldLimit = FieldLimit(),
      // Without "-L" lines always end in CR LF; with it, "-0" (on unless cancelled) decides.
      .lineEnds = !On(E::LineFeedMode) || On(E::WithCR) ? LineEndMode::CrLf : LineEndMode::Lf,
      .controls = On(E::RemoveControls) ? Controls::Removed : Controls::Kept,
      .search = {.defaultTableOnly = On(E::DefaultTableOnly),
                 .acquireTable = On(E::AcquireTable),
                 .showTable = On(E::ShowTable)},
      .surrogates =
          On(E::UnderscoreSurrogates) ? SurrogateList::Underscores : SurrogateList::Replacements,
      .sameTime = On(E::SameTime),
      .viaBinaryTmp = On(E::ViaBinaryTmp),
      .keepBinaryTmp = On(E::KeepBinaryTmp),
  };
}

}  // namespace kelvo
