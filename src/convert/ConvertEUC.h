// The recoder's engine: a whole EUC-JP file to Shift_JIS, through "EUC-JP~Shift_JIS.bin",
// written to a file or to standard output. An unmapped sequence gives its first byte.
#pragma once

#include <cstdint>

#include "convert/EucEngine.h"

namespace kelvo {

class Conversion : public EucEngine {
 public:
  explicit Conversion(const EngineRecord& record);

  // Convert the input with CR LF line ends and write it to standard output (LineEnds()
  // then counts the LF line ends met). A failed write is reported; a read failure ends the
  // program with exit code 1 after its report.
  OutputStatus ConvertToStandardOutput();
  // The same with control characters removed.
  OutputStatus ConvertToStandardOutputFiltered();
};

}  // namespace kelvo
