#include "support/PathEXE.h"

#include <vector>

#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char kQuote = '"';

// Splits at the list separator; a separator inside quotes vanishes, the quotes stay. An
// empty last entry is not counted.
std::vector<std::string> SplitEntries(const std::string& bytes, char separator, int limit) {
  std::vector<std::string> entries;
  std::string field;
  bool quoted = false;
  for (char b : bytes) {
    if (b == kQuote) {
      quoted = !quoted;
      field.push_back(b);
    } else if (b == separator) {
      if (quoted) continue;
      entries.push_back(field);
      field.clear();
      if (static_cast<int>(entries.size()) >= limit) return entries;
    } else {
      field.push_back(b);
    }
  }
  if (!field.empty()) entries.push_back(field);
  return entries;
}

}  // namespace

void CommandPath::Initialize(bool report) {
  report_ = report;
  pathBytes_.clear();
  std::u16string value;
  if (!platform::ReadSearchVariable(value)) return;
  // A directory written with a trailing separator loses it (except the last one).
  const char16_t list = platform::PathListSeparator();
  const std::u16string trailing{platform::DirectorySeparator(), list};
  std::u16string cleaned;
  cleaned.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value.compare(i, 2, trailing) == 0) continue;
    cleaned.push_back(value[i]);
  }
  pathBytes_ = platform::ToOem(cleaned);
}

std::u16string CommandPath::Search(const std::u16string& fileName) {
  const std::string name = platform::ToOem(fileName);
  const char separator = static_cast<char>(platform::PathListSeparator());
  const char directory = static_cast<char>(platform::DirectorySeparator());
  for (const std::string& entry : SplitEntries(pathBytes_, separator, kMaximumEntries)) {
    candidate_ = platform::FromOem(entry + directory + name);
    if (CanOpen(candidate_)) return candidate_;
  }
  return u"";
}

bool CommandPath::CanOpen(const std::u16string& candidate) {
  if (platform::CanOpen(candidate, platform::ReadMode::Raw)) return true;
  if (report_) {
    ReportError(ErrorMessage(u"Reset()", CurrentProgram().errors.pathCandidate, candidate));
  }
  return false;
}

}  // namespace kelvo
