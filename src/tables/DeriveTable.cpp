#include "tables/DeriveTable.h"

#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/Text.h"
#include "tables/DerivedTableFile.h"
#include "tables/SearchBinary.h"

namespace kelvo {

namespace {
// The EUC-JP byte before a half-width katakana, and the kind of a record whose two-byte
// EUC-JP key stands for one Shift_JIS byte.
constexpr std::uint8_t kSingleShift = 0x8E;
constexpr std::uint8_t kOneByteKind = 2;

bool IsKatakana(std::uint8_t b) {
  return b >= 0xA1 && b <= 0xDF;
}
}  // namespace

DeriveTable::DeriveTable(const TableRecord& record, int failed)
    : written_(std::make_unique<std::bitset<65536>>()), record_(record), failed_(failed) {}

platform::Result DeriveTable::Derive() {
  // A source that cannot be read or is no whole number of records is refused before
  // anything is written.
  std::vector<std::uint8_t> source;
  if (platform::Result read =
          ReadTableFile(kEucSource, kSourceRecordSize, failed_, record_, source);
      !read) {
    return read;
  }
  return DerivedTableFile::Put(kRecoderTable, Recode(source),
                               ErrorMessage(u"Reset()", failed_, kEucSource));
}

std::vector<std::uint8_t> DeriveTable::Recode(const std::vector<std::uint8_t>& source) {
  written_->reset();
  std::vector<std::uint8_t> records;
  records.reserve(source.size() / kSourceRecordSize * kTableRecordSize);
  for (std::size_t at = 0; at + kSourceRecordSize <= source.size(); at += kSourceRecordSize) {
    const std::uint8_t* r = &source[at];
    const bool single = r[1] == 0;
    // A half-width katakana is the two-byte EUC-JP code 8Eh + byte whose Shift_JIS form is
    // the one byte; any other single-byte code whose EUC-JP form is not ASCII gets no record.
    const bool katakana = single && IsKatakana(r[0]) && r[2] == kSingleShift && IsKatakana(r[3]);
    if (single && !katakana && r[2] >= 0x80) continue;
    const std::size_t code = single && !katakana ? r[2] : r[2] * 256u + r[3];
    if (written_->test(code)) continue;
    written_->set(code);
    if (katakana) {
      records.insert(records.end(), {r[2], r[3], kOneByteKind, r[0], 0});
    } else if (single) {
      records.insert(records.end(), {r[2], r[3], 0, r[0], 0});
    } else {
      records.insert(records.end(), {r[2], r[3], 1, r[0], r[1]});
    }
  }
  return records;
}

}  // namespace kelvo
