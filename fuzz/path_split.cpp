// The search along PATH: the value split into directories, each joined to the table name;
// and the byte splitter under it, with and without Shift_JIS double bytes. No more entries
// than the search tries, and each candidate ends in the separator and the name.
#include "FuzzSupport.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "split/DivideSJIS.h"
#include "split/FieldsArrayMany.h"
#include "tables/PathEXE.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.Byte();
  // The value, then after a zero byte the file name.
  const std::string_view rest(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
  const std::size_t zero = rest.find('\0');
  const std::string_view value = rest.substr(0, zero);
  const std::string_view name =
      zero == std::string_view::npos ? std::string_view("UTF16~EUC-JP.bin") : rest.substr(zero + 1);

  const CommandPathNumbers& numbers = kTamorlek.engine.table.tables.path;
  CommandPath search(numbers);
  search.InitializeFrom(platform::FromOem(value));
  const std::u16string fileName = platform::FromOem(name);
  const std::vector<std::u16string> candidates = search.Candidates(fileName);
  fuzz::Check(candidates.size() <= CommandPath::kMaximumEntries, "too many candidates");
  std::u16string suffix(1, platform::DirectorySeparator());
  suffix += platform::FromOem(platform::ToOem(fileName.substr(0, fileName.find(u'\0'))));
  for (const std::u16string& candidate : candidates) {
    if (candidate.find(u'\0') != std::u16string::npos) continue;
    fuzz::Check(candidate.size() >= suffix.size() &&
                    candidate.compare(candidate.size() - suffix.size(), suffix.size(), suffix) == 0,
                "a candidate does not end in the name");
  }

  // The splitter itself, in the shape the search uses and in others.
  FieldsListMany fields(numbers.list);
  DividingSJIS splitter(numbers.queue);
  splitter.ConfigureQuoting(search.CharacterTable(), choice & 1 ? 34 : 39, choice & 2 ? 58 : 59,
                            choice & 4);
  splitter.SetDoubleByte(choice & 8);
  const int limit = choice & 16 ? CommandPath::kMaximumEntries : 1 + choice % 7;
  splitter.Prepare(&fields, limit);
  const int count = choice & 32
                        ? splitter.DivideConverting(value.data(), 1, static_cast<int>(value.size()))
                        : splitter.DivideAppending(value.data(), static_cast<int>(value.size()),
                                                   std::string(name), 47);
  fuzz::Check(count >= 0 && count <= limit, "field count out of range");
  for (int i = 0; i < count; ++i) static_cast<void>(fields.item(i));
  return 0;
}
