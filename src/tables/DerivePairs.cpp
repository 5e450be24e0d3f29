#include "tables/DerivePairs.h"

#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/Text.h"
#include "tables/DerivedTableFile.h"

namespace kelvo {

namespace {
// The single-byte half-width katakana of MS932, and the EUC-JP byte that comes before them.
constexpr std::uint8_t kKatakanaFirst = 0xA1;
constexpr std::uint8_t kKatakanaLast = 0xDF;
constexpr std::uint8_t kSingleShift = 0x8E;
}  // namespace

PairDerivation::PairDerivation(const TableRecord& record, const DerivationNumbers& numbers)
    : record_(record), numbers_(numbers) {}

platform::Result PairDerivation::Derive(const SearchTable& search, Layout layout) const {
  SparsePopulationEUC sparse;
  if (platform::Result loaded = sparse.LoadTable(search, record_, numbers_); !loaded) {
    return loaded;
  }
  // A source that cannot be read or is no whole number of records is refused before
  // anything is written.
  std::vector<std::uint8_t> source;
  if (platform::Result read =
          ReadTableFile(kUtf16Source, kSourceRecordSize, numbers_.failed, record_, source);
      !read) {
    return read;
  }
  const char16_t* const tableName = layout == Layout::Utf16First ? kForwardTable : kReverseTable;
  return DerivedTableFile::Put(tableName, Pairs(sparse, source, layout),
                               ErrorMessage(u"Reset()", numbers_.failed, kUtf16Source));
}

std::vector<std::uint8_t> PairDerivation::Pairs(const SparsePopulationEUC& sparse,
                                                const std::vector<std::uint8_t>& source,
                                                Layout layout) {
  std::vector<std::uint8_t> records;
  records.reserve(source.size() / kSourceRecordSize * kTableRecordSize);
  for (std::size_t at = 0; at + kSourceRecordSize <= source.size(); at += kSourceRecordSize) {
    const std::uint8_t* r = &source[at];
    std::uint8_t kind, euc1, euc2;
    if (r[1] == 0 && r[0] >= kKatakanaFirst && r[0] <= kKatakanaLast) {
      // A half-width katakana is written in EUC-JP as the single shift 8Eh and its byte.
      kind = 1;
      euc1 = kSingleShift;
      euc2 = r[0];
    } else if (r[1] == 0) {
      if (r[0] >= 0x80) continue;  // no EUC-JP form of its own
      kind = 0;
      euc1 = r[0];
      euc2 = 0;
    } else {
      const int key = r[0] * 256 + r[1];
      kind = 1;
      euc1 = sparse.Entry(key, 0);
      euc2 = sparse.Entry(key, 1);
    }
    if (layout == Layout::Utf16First) {
      records.insert(records.end(), {r[2], r[3], kind, euc1, euc2});
    } else {
      records.insert(records.end(), {euc1, euc2, kind, r[2], r[3]});
    }
  }
  return records;
}

}  // namespace kelvo
