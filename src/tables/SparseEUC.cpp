#include "tables/SparseEUC.h"

#include "support/FileNames.h"

namespace kelvo {

SparsePopulationEUC::SparsePopulationEUC()
    : entries_(std::make_unique<std::array<std::array<std::uint8_t, 2>, kEntryCount>>()) {}

platform::Result SparsePopulationEUC::LoadTable(const SearchTable& search,
                                                const TableRecord& record,
                                                const DerivationNumbers& numbers) {
  const std::optional<FoundTable> found =
      FindTableFile({kEucSource, numbers.source}, search, record);
  if (!found) return platform::Result::Failed(platform::Step::Load, kEucSource);
  // A table that cannot be read whole is no source to derive from.
  std::vector<std::uint8_t> bytes;
  platform::Result read =
      ReadTableFile(found->path, kRecordSize, numbers.sourceRead, record, bytes, found->file.get());
  if (read) EnterRecords(bytes);
  return read;
}

void SparsePopulationEUC::EnterRecords(const std::vector<std::uint8_t>& bytes) {
  const std::size_t records = bytes.size() / kRecordSize;
  for (std::size_t n = 1; n <= records; ++n) {
    const std::uint8_t* r = &bytes[(n - 1) * kRecordSize];
    const int key = n <= kSingleByteRecords ? r[0] : r[0] * 256 + r[1];
    if (key > kLastKey) continue;
    (*entries_)[key] = {r[2], r[3]};
  }
  (*entries_)[0] = {0, 0};
}

std::uint8_t SparsePopulationEUC::Entry(int key, int k) const {
  return Inside(key, k) ? (*entries_)[key][k] : 0;
}

void SparsePopulationEUC::SetEntry(int key, int k, std::uint8_t value) {
  if (Inside(key, k)) (*entries_)[key][k] = value;
}

}  // namespace kelvo
