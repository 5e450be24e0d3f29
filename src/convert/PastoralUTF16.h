// The forward converter's code table: for every UTF-16 code unit from 0000h to FFE6h how it
// is written in EUC-JP, and the surrogate index that maps each listed supplementary-plane
// character (a high and a low surrogate) to a BMP code unit whose entry gives the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/Result.h"
#include "split/FieldsArray.h"
#include "tables/SearchBinary.h"

namespace kelvo {

class Dividing;

// The error numbers of the surrogate lists.
struct SurrogateListNumbers {
  int unitArray;            // surro.csv does not fit in memory ("SetLength()")
  int refusedLine;          // a surro.csv line that does not fit
  int notANumber;           // a row or column of surro.csv that is no number
  int listOpen;             // surro.csv cannot be opened
  int listRead;             // surro.csv cannot be read
  int refusedUnderscore;    // a surro.txt line that does not fit
  int underscoreRead;       // surro.txt cannot be read
  int furtherRefusals;      // how many more list lines were refused
  int listRefused;          // a list is not one to trust, or too large: the built-in one serves
  FieldListNumbers fields;  // the field list of a surro.csv line
};

// The built-in surrogate replacement list: one line that replaces U+27DA0 by U+8CE3, as
// UTF-16 little-endian text with a byte-order mark and CR LF. Fields 4 and 5 (31 and 414) are
// the row and column of the pair in the code table's surrogate index.
inline constexpr std::array<std::uint8_t, 60> kBuiltInSurrogateList{
    0xFF, 0xFE, 0x5F, 0xD8, 0xA0, 0xDD, 0x2C, 0x00, 0x44, 0x00, 0x38, 0x00, 0x35, 0x00, 0x46,
    0x00, 0x2C, 0x00, 0x44, 0x00, 0x44, 0x00, 0x41, 0x00, 0x30, 0x00, 0x2C, 0x00, 0x32, 0x00,
    0x37, 0x00, 0x44, 0x00, 0x41, 0x00, 0x30, 0x00, 0x2C, 0x00, 0x33, 0x00, 0x31, 0x00, 0x2C,
    0x00, 0x34, 0x00, 0x31, 0x00, 0x34, 0x00, 0x2C, 0x00, 0xE3, 0x8C, 0x0D, 0x00, 0x0A, 0x00,
};
// The built-in list of code points written as low lines: the code point of the list above.
inline constexpr std::string_view kBuiltInUnderscoreList = "27DA0\r\n";

// Which list maps the supplementary-plane characters.
enum class SurrogateList {
  Replacements,  // surro.csv: each listed pair to its replacement
  Underscores,   // surro.txt ("-u"): each listed code point to the fullwidth low line
};

class PastoralSceneUTF16 {
 public:
  // Entry kinds.
  static constexpr std::uint8_t kUnmapped = 0;    // left to the engine's own rules
  static constexpr std::uint8_t kTwoBytes = 1;    // two-byte EUC-JP code
  static constexpr std::uint8_t kOneByte = 2;     // one-byte code
  static constexpr std::uint8_t kListedHigh = 3;  // high surrogate named in the list

  // One entry for each code unit 0000h to FFE6h.
  static constexpr int kEntryCount = 65511;
  static constexpr char32_t kLastUnit = 0xFFE6;
  // The surrogate index: row r belongs to the high surrogate D840h + r, column c to the low
  // surrogate DC02h + c.
  static constexpr int kRows = 128;
  static constexpr int kColumns = 1024;
  static constexpr char16_t kHighBase = 0xD840;
  static constexpr char16_t kLowBase = 0xDC02;
  // Longest line of "surro.csv" that is read (CR excluded).
  static constexpr int kLineCapacity = 129;
  // What every character of "surro.txt" becomes: the fullwidth low line.
  static constexpr char16_t kUnderscore = 0xFF3F;
  // Refused lines of a list that are reported one by one; the rest are counted in one
  // report, so that a broken list cannot flood the directory with logs.
  static constexpr std::int64_t kReportedRefusals = 20;
  // The largest list file that is read, far above any real list (the index has room for
  // 131,072 pairs, about 60 bytes a line): a larger one is refused before it is read.
  static constexpr std::int64_t kListLimit = std::int64_t{16} << 20;

  explicit PastoralSceneUTF16(const SurrogateListNumbers& numbers);
  PastoralSceneUTF16(const PastoralSceneUTF16&) = delete;
  PastoralSceneUTF16& operator=(const PastoralSceneUTF16&) = delete;

  // Takes the table's zeroed memory, once; Step::Allocate (nothing reported) when it cannot
  // be had. Until it is had, entries read as 0 and stores are ignored.
  platform::Result Allocate();
  // Takes the memory, finds "UTF16~EUC-JP.bin" with the switches and fills the table from
  // its 5-byte records; a later record for a key replaces an earlier one. The table fails,
  // after the reports, when the search fails or the file found cannot be read or is no
  // whole number of records.
  CodeTableLoad LoadTable(const SearchTable& search, const CodeTableRecord& record);
  // Enters the pairs listed in "surro.csv". The failure, after the report, when the file
  // cannot be read. Lines that do not fit are reported and skipped. A list that is missing,
  // not one to trust or too large is reported and the built-in list entered instead.
  platform::Result LoadSurrogateList();
  // Enters the code points listed in "surro.txt", each mapped to the fullwidth low line. A
  // list that cannot be read is reported; the lines read before are entered all the same. A
  // list that is not one to trust or too large is reported and the built-in one entered.
  void LoadUnderscoreList();
  // The same from bytes in hand: the table's records (a trailing partial record is
  // ignored), the bytes of "surro.csv" and those of "surro.txt".
  void StoreRecords(const std::uint8_t* bytes, std::int64_t size);
  void EnterSurrogateList(const std::vector<std::uint8_t>& bytes);
  void EnterUnderscoreList(std::string_view text);
  // LoadTable, then the list; the table fails when either cannot be loaded.
  CodeTableLoad LoadTableAndList(const SearchTable& search, const CodeTableRecord& record,
                                 SurrogateList list);

  // Byte k (0 = kind, 1, 2) of the entry of the unit; 0 for a unit above FFE6h or a k
  // outside 0 to 2.
  std::uint8_t Entry(char32_t unit, int k) const {
    if (entries_ == nullptr || unit > kLastUnit || k < 0 || k > 2) return 0;
    return entries_[unit * 3 + static_cast<unsigned>(k)];
  }
  void SetEntry(char32_t unit, int k, std::uint8_t value) {
    if (entries_ == nullptr || unit > kLastUnit || k < 0 || k > 2) return;
    entries_[unit * 3 + static_cast<unsigned>(k)] = value;
  }
  // All entries at once, three bytes (kind, byte 1, byte 2) for each unit from 0000h to
  // kLastUnit, for a caller that turns the whole table into a form of its own.
  const std::uint8_t* Entries() const { return entries_; }
  // The code unit the surrogate index holds for the pair; 0 when the pair is not listed
  // or lies outside the index.
  char16_t SurrogateUnit(char16_t high, char16_t low) const;
  // Byte k of the entry of that code unit.
  std::uint8_t SurrogateEntry(char16_t high, char16_t low, int k) const;
  // The bytes written for a listed pair: the replacement's two-byte or one-byte code, or
  // its own byte when it is an unmapped unit from 20h to 7Fh. Returns the number of bytes
  // (1 or 2), or 0 when the pair has no usable replacement.
  int ReplacementBytes(char16_t high, char16_t low, std::uint8_t bytes[2]) const;

  // Value of the leading run of upper-case hexadecimal digits, at most length of them.
  static std::int64_t hexadecimal_sequence_to_integer(std::u16string_view text, int length);
  // Length of the leading run of upper-case hexadecimal digits.
  static int HexRunLength(std::u16string_view text);
  static bool IsHexDigit(char16_t character);

 private:
  // What became of a list line.
  enum class [[nodiscard]] ListLine{Entered, Refused};
  // Enters one line of "surro.csv" (CR already dropped); lineNumber counts from 1. A line
  // that does not fit is refused, with its reports when report is set.
  ListLine EnterListLine(Dividing& divider, const FieldsList& fields, std::u16string_view line,
                         std::int64_t lineNumber, bool report);
  // The one report for the refused lines of a list beyond those reported one by one.
  void ReportFurtherRefusals(std::u16string_view operation, std::u16string_view file,
                             std::int64_t refused) const;
  // Marks the high surrogate and stores the replacement of the pair.
  void ListPair(char16_t high, int row, int column, char16_t replacement);

  // The entries and the surrogate index share one zeroed block of table memory; pages of
  // the index that are never written cost nothing.
  SurrogateListNumbers numbers_;
  platform::LargeBuffer memory_;
  std::uint8_t* entries_ = nullptr;      // kEntryCount x (kind, byte 1, byte 2)
  std::uint16_t* surrogates_ = nullptr;  // kRows x kColumns
};

}  // namespace kelvo
