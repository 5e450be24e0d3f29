#include "fields/PutCSV.h"

#include "convert/PastoralUTF16.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

const std::array<std::uint8_t, 60> PutSurroCSV::kBuiltInList = kBuiltInSurrogateList;

platform::Result PutSurroCSV::WriteList(const std::u16string& path) {
  // Put in place whole: a run starting at the same moment reads the old file or the new
  // one, never half of it.
  platform::OutputFile file;
  // A link, FIFO or device under the name is never written through.
  platform::Result result =
      file.Create(path, platform::Placement::Replace, platform::Guard::Working);
  if (result) result = file.Write(kBuiltInList.data(), kBuiltInList.size());
  if (result) result = file.Close();
  if (result) return result;
  platform::Result failed = std::move(result).Numbered(writeNumber_);
  ReportError(ErrorMessage(u"Rewrite()", writeNumber_, path), failed);
  return failed;
}

}  // namespace kelvo
