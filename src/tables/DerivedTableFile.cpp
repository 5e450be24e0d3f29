#include "tables/DerivedTableFile.h"

#include "platform/Platform.h"
#include "support/ErrorText.h"

namespace kelvo {

platform::Result DerivedTableFile::Put(const std::u16string& tableName,
                                       const std::vector<std::uint8_t>& records,
                                       const std::u16string& failureMessage) {
  // A replacement under a name of this run's own, flushed to disk and renamed over the
  // table: concurrent derivations never share a file, and a reader sees the old table or
  // the new one, whole.
  platform::OutputFile out;
  platform::Result result = out.Create(tableName, platform::Placement::Replace);
  if (result) result = out.Write(records.data(), static_cast<std::int64_t>(records.size()));
  if (result) result = out.Close();
  if (!result) {
    out.Discard();
    ReportError(failureMessage, result);
  }
  return result;
}

}  // namespace kelvo
