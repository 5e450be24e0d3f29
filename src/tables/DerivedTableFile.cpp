#include "tables/DerivedTableFile.h"

#include "platform/Platform.h"
#include "support/ErrorText.h"

namespace kelvo {

void DerivedTableFile::Put(const std::u16string& tableName,
                           const std::vector<std::uint8_t>& records,
                           const std::u16string& failureMessage) {
  const std::u16string temporary = TemporaryName(tableName);
  platform::OutputFile out;
  bool ok =
      out.Create(temporary) && out.Write(records.data(), static_cast<std::int64_t>(records.size()));
  ok = out.Close() && ok;
  ok = ok && platform::ReplaceFile(temporary, tableName);
  if (!ok) {
    platform::RemoveFile(temporary);
    ReportAndStop(failureMessage);
  }
}

}  // namespace kelvo
