#include "convert/EucCodeTable.h"

#include <new>
#include <vector>

#include "drivers/ProgramRecord.h"
#include "support/ErrorText.h"
#include "support/Text.h"
#include "tables/SearchBinary.h"

namespace kelvo {

namespace {
constexpr std::int64_t kRecordSize = 5;
}

EucCodeTable::EucCodeTable() {
  if (!memory_.AllocateTables(kEntryCount * std::int64_t{sizeof(std::uint32_t)})) {
    throw std::bad_alloc();
  }
  entries_ = reinterpret_cast<std::uint32_t*>(memory_.Data());
}

void EucCodeTable::LoadTable(const FinalEffects& settings) {
  const ProgramRecord& program = CurrentProgram();
  const TableSearchInstance instance{program.tableFile, program.errors.codeTable};
  const std::u16string path =
      FindTableFile(instance, settings.DefaultTableOnly(), settings.AcquireTable(),
                    settings.ShowTable(), &reportFailed_);
  if (path.empty()) {
    ReportAndStop(ErrorMessage(u"Length()", program.errors.engine.emptyTablePath,
                               u"Length(binaryTable) = 0"));
  }
  const std::vector<std::uint8_t> bytes =
      ReadTableFile(path, kRecordSize, program.errors.engine.tableRead);
  StoreRecords(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void EucCodeTable::StoreRecords(const std::uint8_t* bytes, std::int64_t size) {
  for (std::int64_t at = 0; at + kRecordSize <= size; at += kRecordSize) {
    const std::uint8_t* r = bytes + at;
    if (r[2] == 0) {
      entries_[r[0]] = std::uint32_t{r[3]} << 8;
    } else if (r[2] == kOneByteKind) {
      entries_[std::uint32_t{r[1]} << 8 | r[0]] = kOneByteKind | std::uint32_t{r[3]} << 8;
    } else {
      const std::uint32_t key = std::uint32_t{r[1]} << 8 | r[0];
      entries_[key] = kMappedKind | std::uint32_t{r[3]} << 8 | std::uint32_t{r[4]} << 16;
    }
  }
}

std::uint8_t EucCodeTable::Entry(std::int32_t key, std::int32_t index) const {
  if (key < 0 || key >= kEntryCount || index < 0 || index > 2) return 0;
  return static_cast<std::uint8_t>(entries_[key] >> (8 * index));
}

void EucCodeTable::SetEntry(std::int32_t key, std::int32_t index, std::uint8_t value) {
  if (key < 0 || key >= kEntryCount || index < 0 || index > 2) return;
  const int shift = 8 * index;
  entries_[key] = (entries_[key] & ~(std::uint32_t{0xFF} << shift)) | std::uint32_t{value} << shift;
}

}  // namespace kelvo
