#include "tables/PathEXE.h"

#include <climits>
#include <utility>

#include "platform/Platform.h"
#include "split/DivideSJIS.h"
#include "split/FieldsArrayMany.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// Shift_JIS lead bytes only mean something when the OEM code page is Shift_JIS. On a UTF-8
// or single-byte code page a byte from 0x81 up is an ordinary part of a name, and reading
// it as a lead byte would swallow the separator after it.
bool OemIsShiftJis() {
  return platform::ToOem(u"\u3042") == "\x82\xA0";
}

}  // namespace

CommandPath::CommandPath(const CommandPathNumbers& numbers) : numbers_(numbers) {}

void CommandPath::Initialize() {
  std::u16string value;
  if (!platform::ReadSearchVariable(value)) value.clear();
  InitializeFrom(std::move(value));
}

void CommandPath::InitializeFrom(std::u16string value) {
  characterTable_.clear();
  for (int k = 1; k <= kCharacterTableLength; ++k) characterTable_.push_back(static_cast<char>(k));

  value.resize(std::min(value.size(), value.find(u'\0')));

  // A directory written with a trailing separator loses it, except the last one.
  const char16_t list = platform::PathListSeparator();
  const std::u16string trailing{platform::DirectorySeparator(), list};
  std::u16string cleaned;
  cleaned.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value.compare(i, trailing.size(), trailing) == 0) continue;
    cleaned.push_back(value[i]);
  }
  // ASCII stays as it is; other characters are carried in the OEM code page, the encoding
  // the candidates are read back from.
  pathBytes_ = platform::ToOem(cleaned);
}

std::optional<std::u16string> CommandPath::Search(const std::u16string& fileName) {
  for (std::u16string& candidate : Candidates(fileName)) {
    if (CanOpen(candidate)) return std::move(candidate);
  }
  return std::nullopt;
}

std::vector<std::u16string> CommandPath::Candidates(const std::u16string& fileName) {
  std::vector<std::u16string> candidates;
  std::string name = platform::ToOem(fileName);
  name.resize(std::min(name.size(), name.find('\0')));
  // A value too long for an int cannot be split; it names nothing that can be opened.
  if (pathBytes_.size() > static_cast<std::size_t>(INT_MAX)) return candidates;

  FieldsListMany fields(numbers_.list);
  DividingSJIS splitter(numbers_.queue);
  splitter.Configure(characterTable_, platform::PathListSeparator());
  splitter.SetDoubleByte(OemIsShiftJis());
  splitter.Prepare(&fields, kMaximumEntries);
  const int count = splitter.DivideAppending(pathBytes_.data(), static_cast<int>(pathBytes_.size()),
                                             name, platform::DirectorySeparator());

  const std::size_t suffixLength = name.size() + 1;
  for (int i = 0; i < count; ++i) {
    const std::string field = fields.item(i);
    // An entry as long as the splitter's field buffer may have been cut; a cut entry would
    // name a different directory, so it is passed over.
    if (field.size() >= DividingSJIS::kFieldBufferSize + suffixLength) continue;
    std::u16string candidate = platform::FromOem(field);
    candidate.resize(std::min(candidate.size(), candidate.find(u'\0')));
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

platform::Result CommandPath::CanOpen(const std::u16string& candidate) {
  platform::Result opened =
      platform::CanOpen(candidate, platform::ReadMode::Raw, platform::Guard::Steering);
  if (opened) return opened;
  if (opened.refused != platform::Refusal::None) {
    ReportError(ErrorMessage(u"Reset()", numbers_.refused, RefusedFile(candidate, opened.refused)),
                opened);
    return std::move(opened).Numbered(numbers_.refused);
  }
  ReportError(ErrorMessage(u"Reset()", numbers_.candidate, candidate), opened);
  return std::move(opened).Numbered(numbers_.candidate);
}

}  // namespace kelvo
