#include "tables/DeriveTable.h"

#include "drivers/ProgramRecord.h"
#include "support/ErrorText.h"
#include "support/Text.h"
#include "tables/DerivedTableFile.h"
#include "tables/SearchBinary.h"

namespace kelvo {

DeriveTable::DeriveTable() : written_(std::make_unique<std::bitset<65536>>()) {}

void DeriveTable::Derive() {
  const std::u16string failure =
      ErrorMessage(u"Reset()", CurrentProgram().errors.derivationFailed, kSource);
  // A source that cannot be read or is no whole number of records is refused before
  // anything is written.
  const std::vector<std::uint8_t> source =
      ReadTableFile(kSource, kSourceRecordSize, CurrentProgram().errors.derivationFailed);
  DerivedTableFile::Put(kTableName, Recode(source), failure);
}

std::vector<std::uint8_t> DeriveTable::Recode(const std::vector<std::uint8_t>& source) {
  written_->reset();
  std::vector<std::uint8_t> records;
  records.reserve(source.size() / kSourceRecordSize * kTableRecordSize);
  for (std::size_t at = 0; at + kSourceRecordSize <= source.size(); at += kSourceRecordSize) {
    const std::uint8_t* r = &source[at];
    const bool single = r[1] == 0;
    // Half-width katakana, whose EUC-JP form has two bytes, get no single-byte record.
    if (single && r[2] >= 0x80) continue;
    const std::size_t code = single ? r[2] : r[2] * 256u + r[3];
    if (written_->test(code)) continue;
    written_->set(code);
    if (single) {
      records.insert(records.end(), {r[2], r[3], 0, r[0], 0});
    } else {
      records.insert(records.end(), {r[2], r[3], 1, r[0], r[1]});
    }
  }
  return records;
}

}  // namespace kelvo
