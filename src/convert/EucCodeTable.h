// A code table indexed directly by a 16-bit EUC-JP key: one entry for every key, each
// holding a kind byte and two value bytes in output order. The key of a two-byte sequence
// is its second byte times 256 plus its first byte; the key of a single byte is the byte.
// The reverse converter's table (value bytes: a UTF-16 code unit, low byte first) and the
// recoder's table (value bytes: Shift_JIS bytes) have this one shape and load alike.
#pragma once

#include <cstdint>

#include "platform/Platform.h"
#include "platform/Result.h"
#include "tables/SearchBinary.h"

namespace kelvo {

class EucCodeTable {
 public:
  static constexpr std::int32_t kEntryCount = 65536;
  // The kind of a key that is a two-byte sequence with a mapping.
  static constexpr std::uint8_t kMappedKind = 1;
  // The kind of a two-byte key whose mapping is one byte, the first value byte (a
  // half-width katakana in Shift_JIS).
  static constexpr std::uint8_t kOneByteKind = 2;
  static constexpr int kRecordSize = 5;

  EucCodeTable() = default;
  virtual ~EucCodeTable() = default;
  EucCodeTable(const EucCodeTable&) = delete;
  EucCodeTable& operator=(const EucCodeTable&) = delete;

  // Takes the table's zeroed memory, once; Step::Allocate (nothing reported) when it cannot
  // be had. Until it is had, entries read as 0 and stores are ignored.
  platform::Result Allocate();
  // Takes the memory, finds the program's table file, reads it in one go and stores its
  // records. The table fails, after the reports, when the search fails, or when the file
  // found cannot be read or is no whole number of records.
  CodeTableLoad LoadTable(const SearchTable& search, const CodeTableRecord& record);

  // Stores 5-byte records b0 b1 b2 b3 b4: b2 = 0 makes entry b0 kind 0 with the values
  // b3, 0; b2 = 2 makes entry b1 * 256 + b0 kind 2 with the values b3, 0; any other b2 makes
  // that entry kind 1 with the values b3, b4. A later record overwrites an earlier one; a
  // trailing partial record is ignored.
  void StoreRecords(const std::uint8_t* bytes, std::int64_t size);

  // One byte of an entry: index 0 is the kind, 1 and 2 the value bytes. Keys outside the
  // table and other indexes read as 0.
  std::uint8_t Entry(std::int32_t key, std::int32_t index) const;
  // Writes one byte of an entry; keys outside the table and other indexes are ignored.
  void SetEntry(std::int32_t key, std::int32_t index, std::uint8_t value);

  // Every entry packed as kind | value1 << 8 | value2 << 16, for the conversion loops.
  const std::uint32_t* Packed() const { return entries_; }

 private:
  static bool Inside(std::int32_t key, std::int32_t index) {
    return key >= 0 && key < kEntryCount && index >= 0 && index <= 2;
  }

  // Zeroed table memory, filled in one large page where the system offers them.
  platform::LargeBuffer memory_;
  std::uint32_t* entries_ = nullptr;
};

}  // namespace kelvo
