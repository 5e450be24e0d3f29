#include "convert/EucCodeTable.h"

#include <utility>

namespace kelvo {

platform::Result EucCodeTable::Allocate() {
  if (entries_ != nullptr) return platform::Result::Ok();
  platform::Result memory =
      memory_.AllocateTables(kEntryCount * std::int64_t{sizeof(std::uint32_t)});
  if (!memory) return memory;
  entries_ = reinterpret_cast<std::uint32_t*>(memory_.Data());
  return platform::Result::Ok();
}

CodeTableLoad EucCodeTable::LoadTable(const SearchTable& search, const CodeTableRecord& record) {
  if (platform::Result memory = Allocate(); !memory)
    return {.table = std::move(memory), .report = {}};
  CodeTableFile file = ReadCodeTable(search, record, kRecordSize);
  if (file.read) StoreRecords(file.bytes.data(), static_cast<std::int64_t>(file.bytes.size()));
  return {.table = std::move(file.read), .report = std::move(file.report)};
}

void EucCodeTable::StoreRecords(const std::uint8_t* bytes, std::int64_t size) {
  if (entries_ == nullptr) return;
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
  if (entries_ == nullptr || !Inside(key, index)) return 0;
  return static_cast<std::uint8_t>(entries_[key] >> (8 * index));
}

void EucCodeTable::SetEntry(std::int32_t key, std::int32_t index, std::uint8_t value) {
  if (entries_ == nullptr || !Inside(key, index)) return;
  const int shift = 8 * index;
  entries_[key] = (entries_[key] & ~(std::uint32_t{0xFF} << shift)) | std::uint32_t{value} << shift;
}

}  // namespace kelvo
