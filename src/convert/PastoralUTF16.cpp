#include "convert/PastoralUTF16.h"

#include <optional>
#include <utility>
#include <vector>

#include "split/Divide.h"
#include "split/FieldsArray.h"
#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/FileRead.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr int kRecordSize = 5;
// Fields of a "surro.csv" line that the table reads.
constexpr int kHighField = 1;
constexpr int kRowField = 4;
constexpr int kColumnField = 5;
constexpr int kReplacementField = 6;
constexpr int kListFields = 7;
// The longest hexadecimal run that has a power of sixteen for every digit.
constexpr int kHexDigits = 8;
// How much of a refused line goes into its report.
constexpr std::size_t kReportedUnits = 129;

std::u16string RefusedLine(std::u16string_view file, std::int64_t lineNumber,
                           std::u16string_view line) {
  std::u16string detail(file);
  detail += u" line ";
  detail += ToText(lineNumber);
  detail += u": ";
  if (line.size() > kReportedUnits) {
    detail += line.substr(0, kReportedUnits);
    detail += u"...";
  } else {
    detail += line;
  }
  return detail;
}

}  // namespace

namespace {
// The entries take three bytes each; the surrogate index starts after them, on an even byte.
constexpr std::int64_t kEntryBytes = (PastoralSceneUTF16::kEntryCount * 3 + 1) / 2 * 2;
constexpr std::int64_t kIndexBytes =
    PastoralSceneUTF16::kRows * PastoralSceneUTF16::kColumns * std::int64_t{2};
}  // namespace

PastoralSceneUTF16::PastoralSceneUTF16(const SurrogateListNumbers& numbers) : numbers_(numbers) {}

platform::Result PastoralSceneUTF16::Allocate() {
  if (entries_ != nullptr) return platform::Result::Ok();
  platform::Result memory = memory_.AllocateTables(kEntryBytes + kIndexBytes);
  if (!memory) return memory;
  entries_ = memory_.Data();
  surrogates_ = reinterpret_cast<std::uint16_t*>(memory_.Data() + kEntryBytes);
  return platform::Result::Ok();
}

char16_t PastoralSceneUTF16::SurrogateUnit(char16_t high, char16_t low) const {
  const int row = high - kHighBase;
  const int column = low - kLowBase;
  if (entries_ == nullptr || row < 0 || row >= kRows || column < 0 || column >= kColumns) return 0;
  return surrogates_[static_cast<std::size_t>(row * kColumns + column)];
}

std::uint8_t PastoralSceneUTF16::SurrogateEntry(char16_t high, char16_t low, int k) const {
  return Entry(SurrogateUnit(high, low), k);
}

int PastoralSceneUTF16::ReplacementBytes(char16_t high, char16_t low, std::uint8_t bytes[2]) const {
  const char16_t unit = SurrogateUnit(high, low);
  if (unit == 0) return 0;
  switch (Entry(unit, 0)) {
    case kTwoBytes:
      bytes[0] = Entry(unit, 1);
      bytes[1] = Entry(unit, 2);
      return 2;
    case kOneByte:
      bytes[0] = Entry(unit, 1);
      return 1;
    case kUnmapped:
      if (unit >= 0x20 && unit <= 0x7F) {
        bytes[0] = static_cast<std::uint8_t>(unit);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

CodeTableLoad PastoralSceneUTF16::LoadTable(const SearchTable& search,
                                            const CodeTableRecord& record) {
  if (platform::Result memory = Allocate(); !memory)
    return {.table = std::move(memory), .report = {}};
  // The whole file in one read.
  CodeTableFile file = ReadCodeTable(search, record, kRecordSize);
  if (file.read) StoreRecords(file.bytes.data(), static_cast<std::int64_t>(file.bytes.size()));
  return {.table = std::move(file.read), .report = std::move(file.report)};
}

void PastoralSceneUTF16::StoreRecords(const std::uint8_t* bytes, std::int64_t size) {
  // Straight into the entries, through a local pointer that no store makes the compiler
  // fetch again; a key above the last unit is passed over.
  std::uint8_t* const entries = entries_;
  const auto put = [entries](char32_t key, std::uint8_t kind, std::uint8_t first,
                             std::uint8_t second) {
    if (key > kLastUnit) return;
    std::uint8_t* const e = entries + 3 * key;
    e[0] = kind;
    e[1] = first;
    e[2] = second;
  };
  const std::int64_t records = entries != nullptr ? size / kRecordSize : 0;
  for (std::int64_t i = 0; i < records; ++i) {
    const std::uint8_t* r = bytes + i * kRecordSize;
    const char32_t key = r[0] + 256u * r[1];
    switch (r[2]) {
      case kUnmapped:  // a single-byte code: the key is the low byte alone
        put(r[0], kUnmapped, r[3], 0);
        break;
      case kOneByte:
        put(key, kOneByte, r[3], 0);
        break;
      default:
        put(key, kTwoBytes, r[3], r[4]);
        break;
    }
  }
  // The read that meets the end of the file enters an all-zero record: U+0000 always ends
  // unmapped with bytes 0 and 0.
  SetEntry(0, 0, kUnmapped);
  SetEntry(0, 1, 0);
  SetEntry(0, 2, 0);
}

void PastoralSceneUTF16::ListPair(char16_t high, int row, int column, char16_t replacement) {
  surrogates_[static_cast<std::size_t>(row * kColumns + column)] = replacement;
  SetEntry(high, 0, kListedHigh);
}

platform::Result PastoralSceneUTF16::LoadSurrogateList() {
  const std::vector<std::uint8_t> builtIn(kBuiltInSurrogateList.begin(),
                                          kBuiltInSurrogateList.end());
  std::vector<std::uint8_t> bytes;
  const ReadBounds bounds{.guard = GuardFor(kSurrogateList), .limit = kListLimit};
  platform::Result read = ReadWhole(kSurrogateList, bytes, platform::ReadMode::Raw, bounds);
  if (read) {
    EnterSurrogateList(bytes);
    return read;
  }
  if (read.refused != platform::Refusal::None) {
    ReportError(
        ErrorMessage(u"Reset()", numbers_.listRefused, RefusedFile(kSurrogateList, read.refused)),
        read);
    EnterSurrogateList(builtIn);
    return platform::Result::Ok();
  }
  switch (read.failed) {
    case platform::Step::Open:
      // A list that could not be written (a read-only directory) leaves the built-in one.
      ReportError(ErrorMessage(u"Reset()", numbers_.listOpen, kSurrogateList), read);
      EnterSurrogateList(builtIn);
      return platform::Result::Ok();
    case platform::Step::Allocate:
      ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray,
                               ToText(platform::FileSize(kSurrogateList).value_or(0) / 2)),
                  read);
      return std::move(read).Numbered(numbers_.unitArray);
    default:
      ReportError(ErrorMessage(u"Reset()", numbers_.listRead, kSurrogateList), read);
      return std::move(read).Numbered(numbers_.listRead);
  }
}

void PastoralSceneUTF16::EnterSurrogateList(const std::vector<std::uint8_t>& bytes) {
  const std::size_t unitCount = bytes.size() / 2;
  const std::size_t start =
      StartsWithByteOrderMark(bytes.data(), static_cast<std::int64_t>(bytes.size())) ? 1 : 0;
  // One splitter serves every line of the list.
  FieldsList fields(numbers_.fields);
  Dividing divider;
  divider.ConfigureQuoting(u'"', u',', false);
  divider.Prepare(&fields, kListFields, u"1111111");
  std::u16string line;
  line.reserve(kLineCapacity);
  std::int64_t lineNumber = 1;
  std::int64_t refused = 0;
  for (std::size_t i = start; i < unitCount; ++i) {
    const char16_t unit = UnitAt(&bytes[2 * i]);
    if (unit == kCarriageReturn) continue;
    if (unit != kLineFeed) {
      line.push_back(unit);
      continue;
    }
    if (EnterListLine(divider, fields, line, lineNumber++, refused < kReportedRefusals) ==
        ListLine::Refused) {
      ++refused;
    }
    line.clear();
  }
  // Units after the last line feed are not a line.
  ReportFurtherRefusals(u"LoadSurrogateList()", kSurrogateList, refused);
}

void PastoralSceneUTF16::ReportFurtherRefusals(std::u16string_view operation,
                                               std::u16string_view file,
                                               std::int64_t refused) const {
  if (refused <= kReportedRefusals) return;
  std::u16string detail(file);
  detail += u": ";
  detail += ToText(refused - kReportedRefusals);
  detail += u" more lines refused";
  ReportError(ErrorMessage(operation, numbers_.furtherRefusals, detail));
}

PastoralSceneUTF16::ListLine PastoralSceneUTF16::EnterListLine(Dividing& divider,
                                                               const FieldsList& fields,
                                                               std::u16string_view line,
                                                               std::int64_t lineNumber,
                                                               bool report) {
  auto refuse = [&] {
    if (report) {
      ReportError(ErrorMessage(u"LoadSurrogateList()", numbers_.refusedLine,
                               RefusedLine(kSurrogateList, lineNumber, line)));
    }
    return ListLine::Refused;
  };
  if (line.size() > static_cast<std::size_t>(kLineCapacity)) return refuse();

  divider.DivideAll(line.data(), static_cast<int>(line.size()));
  const std::u16string highText = fields.item(kHighField);
  const std::u16string rowText = fields.item(kRowField);
  const std::u16string columnText = fields.item(kColumnField);
  const std::u16string replacement = fields.item(kReplacementField);
  const std::optional<std::int32_t> row = ParseDecimal(rowText, Sign::Allowed);
  const std::optional<std::int32_t> column = ParseDecimal(columnText, Sign::Allowed);
  for (const auto& [text, value] : {std::pair{&rowText, &row}, std::pair{&columnText, &column}}) {
    if (!*value && report) {
      ReportError(ErrorMessage(u"sequence_to_integer()", numbers_.notANumber, *text));
    }
  }

  if (HexRunLength(highText) > kHexDigits) return refuse();
  const std::int64_t high = hexadecimal_sequence_to_integer(highText, kHexDigits);
  // The index covers the high surrogates D840h to D8BFh, that is U+20000 to U+3FFFF.
  if (high < kHighBase || high >= kHighBase + kRows) return refuse();
  if (!row || *row < 0 || *row >= kRows || !column || *column < 0 || *column >= kColumns) {
    return refuse();
  }
  ListPair(static_cast<char16_t>(high), *row, *column, replacement.empty() ? 0 : replacement[0]);
  return ListLine::Entered;
}

CodeTableLoad PastoralSceneUTF16::LoadTableAndList(const SearchTable& search,
                                                   const CodeTableRecord& record,
                                                   SurrogateList list) {
  CodeTableLoad loaded = LoadTable(search, record);
  if (!loaded.table) return loaded;
  if (list == SurrogateList::Underscores) {
    LoadUnderscoreList();
  } else {
    loaded.table = LoadSurrogateList();
  }
  return loaded;
}

void PastoralSceneUTF16::LoadUnderscoreList() {
  std::vector<std::uint8_t> bytes;
  const ReadBounds bounds{.guard = GuardFor(kUnderscoreList), .limit = kListLimit};
  const platform::Result read = ReadWhole(kUnderscoreList, bytes, platform::ReadMode::Text, bounds);
  if (read.refused != platform::Refusal::None) {
    ReportError(
        ErrorMessage(u"Reset()", numbers_.listRefused, RefusedFile(kUnderscoreList, read.refused)),
        read);
    EnterUnderscoreList(kBuiltInUnderscoreList);
    return;
  }
  // The lines read before a failure are entered all the same.
  EnterUnderscoreList(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!read) ReportError(ErrorMessage(u"Reset()", numbers_.underscoreRead, kUnderscoreList), read);
}

void PastoralSceneUTF16::EnterUnderscoreList(std::string_view text) {
  std::size_t start = 0;
  std::int64_t lineNumber = 1;
  std::int64_t refused = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    if (end == start) break;  // an empty line ends the list
    const std::u16string line = platform::FromAnsi(text.substr(start, end - start));
    start = next;

    const std::int64_t code = hexadecimal_sequence_to_integer(line, kHexDigits);
    const std::int64_t v = code - 0x10000;
    const int high = 0xD800 + static_cast<int>(v >> 10);
    const int low = 0xDC00 + static_cast<int>(v & 0x3FF);
    const int row = high - kHighBase;
    const int column = low - kLowBase;
    if (HexRunLength(line) > kHexDigits || code < 0x20000 || code > 0x3FFFF || column < 0) {
      if (refused++ < kReportedRefusals) {
        ReportError(ErrorMessage(u"LoadUnderscoreList()", numbers_.refusedUnderscore,
                                 RefusedLine(kUnderscoreList, lineNumber, line)));
      }
    } else {
      ListPair(static_cast<char16_t>(high), row, column, kUnderscore);
    }
    ++lineNumber;
  }
  ReportFurtherRefusals(u"LoadUnderscoreList()", kUnderscoreList, refused);
}

bool PastoralSceneUTF16::IsHexDigit(char16_t character) {
  return (character >= u'0' && character <= u'9') || (character >= u'A' && character <= u'F');
}

int PastoralSceneUTF16::HexRunLength(std::u16string_view text) {
  int length = 0;
  while (static_cast<std::size_t>(length) < text.size() && IsHexDigit(text[length])) ++length;
  return length;
}

std::int64_t PastoralSceneUTF16::hexadecimal_sequence_to_integer(std::u16string_view text,
                                                                 int length) {
  std::int64_t value = 0;
  for (int i = 0; i < length && static_cast<std::size_t>(i) < text.size(); ++i) {
    const char16_t c = text[i];
    if (!IsHexDigit(c)) break;
    value = value * 16 + (c <= u'9' ? c - u'0' : c - u'A' + 10);
  }
  return value;
}

}  // namespace kelvo
