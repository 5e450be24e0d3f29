// The two source tables' loader and the three derivations on arbitrary records: the input
// is cut into an MS932~EUC-JP part and an MS932~UTF16 part. Every derived table is whole
// records, the pairs keep one record for each source record they take, and the recoder's
// table names each EUC-JP code once.
#include <bitset>

#include "FuzzSupport.h"
#include "drivers/ProgramRecord.h"
#include "tables/DerivePairs.h"
#include "tables/DeriveTable.h"
#include "tables/SparseEUC.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::size_t cut = std::min<std::size_t>(input.Byte() * 4u, input.RestSize());
  const std::vector<std::uint8_t> euc(input.Rest(), input.Rest() + cut);
  const std::vector<std::uint8_t> utf16(input.Rest() + cut, input.Rest() + input.RestSize());

  SparsePopulationEUC sparse;
  sparse.EnterRecords(euc);
  fuzz::Check(sparse.Entry(0, 0) == 0 && sparse.Entry(0, 1) == 0, "entry 0 not cleared");
  for (const auto layout : {PairDerivation::Layout::Utf16First, PairDerivation::Layout::EucFirst}) {
    const std::vector<std::uint8_t> pairs = PairDerivation::Pairs(sparse, utf16, layout);
    fuzz::Check(pairs.size() % 5 == 0, "pairs are not whole records");
    fuzz::Check(pairs.size() / 5 <= utf16.size() / 4, "more pairs than source records");
  }
  DeriveTable recoder(kQuilvar.engine.table.tables, 0);
  const std::vector<std::uint8_t> records = recoder.Recode(euc);
  fuzz::Check(records.size() % 5 == 0, "recoded table is not whole records");
  std::bitset<65536> seen;
  for (std::size_t at = 0; at < records.size(); at += 5) {
    const std::size_t key =
        records[at + 2] == 0 ? records[at] : records[at] * 256u + records[at + 1];
    fuzz::Check(!seen.test(key), "an EUC-JP code recoded twice");
    seen.set(key);
  }
  return 0;
}
