// The reverse converter's standard-input path: standard input is spooled line by line to
// "text.tmp" (every line ending in CR LF), then the spool file is decoded as EUC-JP exactly
// as a file is converted with its line ends kept, and written as UTF-16 with a byte-order
// mark to the output name (standard output when it is empty).
#pragma once

#include <cstdint>
#include <string>

#include "convert/EucEngine.h"
#include "platform/Platform.h"

namespace kelvo {

// The error numbers of this path; the table search and the table read keep the engine's.
struct StandardInputNumbers {
  int writeOutput;   // the output cannot be written
  int showData;      // data.txt cannot be shown
  int spooling;      // standard input cannot be spooled to text.tmp
  int readPlain;     // text.tmp cannot be read by the plain conversion
  int readFiltered;  // nor by the filtered one
  int spoolArray;    // the input block cannot be had
  int outputArray;   // the output block cannot be had
  int measuring;     // text.tmp cannot be opened
  int spoolRefused;  // text.tmp is a link, a FIFO, a device or another user's
};

class StandardInput {
 public:
  StandardInput(const EngineRecord& record, const StandardInputNumbers& numbers);

  // Copies standard input to text.tmp, a block at a time: lines end at LF or at CR LF, a CR
  // standing alone stays in its line, and every line is written followed by CR LF. Returns
  // the bytes written. text.tmp stays locked against concurrent runs until this object is
  // gone. Any failure ends the program with exit code 1 after its report.
  std::int64_t CaptureStandardInput();
  // Measures text.tmp, sizes the buffers and loads the code table.
  OpenResult Open(const SearchTable& search, const std::u16string& outputName);
  platform::Result ShowDataFile() { return engine_.ShowDataFile(); }
  // Decode text.tmp, with or without its control characters, and write the output; a
  // failed write is reported.
  OutputStatus Convert(Controls controls) {
    return engine_.Convert(LineEndMode::AsRead, controls, outputName_);
  }

 private:
  int spooling_;
  platform::FileLock spoolLock_;
  EucEngine engine_;
  std::u16string outputName_;
};

}  // namespace kelvo
