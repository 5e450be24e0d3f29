#include "fields/PutCSV.h"

#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

// Byte-order mark; U+27DA0 as D85Fh DDA0h; then ",D85F,DDA0,27DA0,31,414," and U+8CE3,
// CR, LF. Fields 4 and 5 (31 and 414) are the row and column of the pair in the code
// table's surrogate index.
const std::array<std::uint8_t, 60> PutSurroCSV::kBuiltInList{
    0xFF, 0xFE, 0x5F, 0xD8, 0xA0, 0xDD, 0x2C, 0x00, 0x44, 0x00, 0x38, 0x00, 0x35, 0x00, 0x46,
    0x00, 0x2C, 0x00, 0x44, 0x00, 0x44, 0x00, 0x41, 0x00, 0x30, 0x00, 0x2C, 0x00, 0x32, 0x00,
    0x37, 0x00, 0x44, 0x00, 0x41, 0x00, 0x30, 0x00, 0x2C, 0x00, 0x33, 0x00, 0x31, 0x00, 0x2C,
    0x00, 0x34, 0x00, 0x31, 0x00, 0x34, 0x00, 0x2C, 0x00, 0xE3, 0x8C, 0x0D, 0x00, 0x0A, 0x00,
};

int PutSurroCSV::WriteList(const std::u16string& path) {
  path_ = path;
  // Put in place whole: a run starting at the same moment reads the old file or the new
  // one, never half of it.
  platform::OutputFile file;
  bool ok = file.Create(path_, platform::Placement::Replace) &&
            file.Write(kBuiltInList.data(), kBuiltInList.size());
  ok = ok && file.Close();
  if (!ok) {
    ReportError(ErrorMessage(u"Rewrite()", kWriteListError, path_));
    return -2;
  }
  return 0;
}

}  // namespace kelvo
