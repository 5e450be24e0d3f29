// The reverse converter's standard-input path: standard input is spooled line by line to
// "text.tmp" (every line ending in CR LF), then the spool file is decoded as EUC-JP exactly
// as a file is converted with its line ends kept, and written as UTF-16 with a byte-order
// mark to the output name of the run settings (standard output when it is empty).
#pragma once

#include <cstdint>
#include <string>

#include "cmdline/FinalEffect.h"
#include "convert/EucEngine.h"
#include "platform/Platform.h"

namespace kelvo {

class StandardInput {
 public:
  StandardInput();

  // Copies standard input to text.tmp, a block at a time: lines end at LF or at CR LF, a CR
  // standing alone stays in its line, and every line is written followed by CR LF. Returns
  // the bytes written. text.tmp stays locked against concurrent runs until this object is
  // gone. Any failure ends the program with exit code 1 after
  // "Reset() error-184: text.tmp".
  std::int64_t CaptureStandardInput();
  // Measures text.tmp, sizes the arrays and loads the code table.
  void Open(const FinalEffects& settings);
  bool ShowDataFile();
  void PrepareControlFilter();
  // Decode text.tmp and write the output: 0, or -2 after "Rewrite() error-182: " + name.
  int Convert();
  // The same with control characters removed.
  int ConvertFiltered();
  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return engine_.TableReportFailed(); }

 private:
  platform::FileLock spoolLock_;
  EucEngine engine_;
  std::u16string outputName_;
};

}  // namespace kelvo
