#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "drivers/ProgramRecord.h"
#include "fields/PutCSV.h"
#include "support/ErrorLog.h"
#include "support/ErrorText.h"
#include "tables/DerivePairs.h"
#include "tables/DeriveTable.h"
#include "tables/SparseEUC.h"

namespace kelvo::fuzz {

extern const std::vector<std::uint8_t> kMS932UTF16;
extern const std::vector<std::uint8_t> kMS932EUCJP;

namespace {

void Discard(const std::u16string&) {}

std::unique_ptr<EucCodeTable> MakeEucTable(const std::vector<std::uint8_t>& records) {
  auto table = std::make_unique<EucCodeTable>();
  Check(table->Allocate().Succeeded(), "no memory for a code table");
  table->StoreRecords(records.data(), static_cast<std::int64_t>(records.size()));
  return table;
}

std::vector<std::uint8_t> DerivedPairs(PairDerivation::Layout layout) {
  SparsePopulationEUC sparse;
  sparse.EnterRecords(kMS932EUCJP);
  return PairDerivation::Pairs(sparse, kMS932UTF16, layout);
}

}  // namespace

void Quiet() {
  // Installed for the rest of the process: the target's inputs run after this returns.
  static ErrorLog discarding({.sink = &Discard});
  static const InstalledErrorLog installed(discarding);
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

Exact::Exact(const std::uint8_t* data, std::size_t size) : Exact(size) {
  if (size > 0) std::memcpy(bytes.get(), data, size);
}

std::uint8_t Input::Byte() {
  return at_ < size_ ? data_[at_++] : 0;
}

const std::vector<std::uint8_t>& Ms932Utf16Source() {
  return kMS932UTF16;
}
const std::vector<std::uint8_t>& Ms932EucSource() {
  return kMS932EUCJP;
}

const std::vector<std::uint8_t>& ForwardTableBytes() {
  static const std::vector<std::uint8_t> bytes = DerivedPairs(PairDerivation::Layout::Utf16First);
  return bytes;
}
const std::vector<std::uint8_t>& ReverseTableBytes() {
  static const std::vector<std::uint8_t> bytes = DerivedPairs(PairDerivation::Layout::EucFirst);
  return bytes;
}
const std::vector<std::uint8_t>& RecoderTableBytes() {
  static const std::vector<std::uint8_t> bytes =
      DeriveTable(kQuilvar.engine.table.tables, 0).Recode(kMS932EUCJP);
  return bytes;
}

const std::vector<std::uint8_t>& BuiltInSurrogateList() {
  static const std::vector<std::uint8_t> bytes(PutSurroCSV::kBuiltInList.begin(),
                                               PutSurroCSV::kBuiltInList.end());
  return bytes;
}
const std::string& SampleUnderscoreList() {
  static const std::string text = "27DA0\r\n20B9F\n2A6B2\n";
  return text;
}

const SurrogateListNumbers& ListNumbers() {
  return kTamorlek.forward.lists;
}

std::unique_ptr<PastoralSceneUTF16> MakeForwardTable(const std::uint8_t* records, std::size_t size,
                                                     SurrogateList list) {
  auto table = std::make_unique<PastoralSceneUTF16>(ListNumbers());
  Check(table->Allocate().Succeeded(), "no memory for the forward table");
  table->StoreRecords(records, static_cast<std::int64_t>(size));
  if (list == SurrogateList::Replacements) {
    table->EnterSurrogateList(BuiltInSurrogateList());
  } else {
    table->EnterUnderscoreList(SampleUnderscoreList());
  }
  return table;
}

std::unique_ptr<PastoralSceneUTF16> TableForLists() {
  auto table = std::make_unique<PastoralSceneUTF16>(ListNumbers());
  Check(table->Allocate().Succeeded(), "no memory for the forward table");
  const std::vector<std::uint8_t>& records = ForwardTableBytes();
  table->StoreRecords(records.data(), std::min<std::int64_t>(1000, records.size()));
  return table;
}

const PastoralSceneUTF16& ForwardTable(SurrogateList list) {
  static const std::unique_ptr<PastoralSceneUTF16> replacements = MakeForwardTable(
      ForwardTableBytes().data(), ForwardTableBytes().size(), SurrogateList::Replacements);
  static const std::unique_ptr<PastoralSceneUTF16> underscores = MakeForwardTable(
      ForwardTableBytes().data(), ForwardTableBytes().size(), SurrogateList::Underscores);
  return list == SurrogateList::Replacements ? *replacements : *underscores;
}

const EucCodeTable& ReverseTable() {
  static const std::unique_ptr<EucCodeTable> table = MakeEucTable(ReverseTableBytes());
  return *table;
}
const EucCodeTable& RecoderTable() {
  static const std::unique_ptr<EucCodeTable> table = MakeEucTable(RecoderTableBytes());
  return *table;
}

}  // namespace kelvo::fuzz
