#include "tables/DerivedTableFile.h"

#include "platform/Platform.h"
#include "support/ErrorText.h"

namespace kelvo {

void DerivedTableFile::Put(const std::u16string& tableName,
                           const std::vector<std::uint8_t>& records,
                           const std::u16string& failureMessage) {
  // A replacement under a name of this run's own, flushed to disk and renamed over the
  // table: concurrent derivations never share a file, and a reader sees the old table or
  // the new one, whole.
  platform::OutputFile out;
  bool ok = out.Create(tableName, platform::Placement::Replace) &&
            out.Write(records.data(), static_cast<std::int64_t>(records.size()));
  ok = ok && out.Close();
  if (!ok) {
    out.Discard();
    ReportAndStop(failureMessage);
  }
}

}  // namespace kelvo
