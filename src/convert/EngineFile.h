// What the three engines share besides the conversion itself: their error numbers, the
// showing of data.txt, the copies through binary.tmp, the locks on working files and the
// placement of an output. The engine or the driver decides whether the run stops.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Platform.h"
#include "tables/SearchBinary.h"

namespace kelvo {

// Error numbers of the engine machinery.
struct EngineNumbers {
  int open;         // the input cannot be opened
  int unitArray;    // the input block cannot be had
  int outputArray;  // the output block cannot be had
  int writeOutput;  // the output cannot be written
  int showData;     // data.txt cannot be shown
  int copyTo;       // the copy to binary.tmp failed
  int copyFrom;     // the copy from binary.tmp (or the renewal of the input's time) failed
  // Read failures of the conversions with CR LF, LF and as-read line ends, then the same
  // three with the control filter.
  std::array<int, 6> read;
  std::array<int, 2> readToStandardOutput;  // the recoder's standard-output conversions
  int lockTimeout;                          // a working file stayed locked by another run too long
  int binaryTmpItself;  // a run through binary.tmp names binary.tmp as its input or output
  int workingFile;      // binary.tmp or text.tmp is a link, a FIFO, a device or another user's
  int inputChanged;     // the input changed while it was read
};

// All that an engine of one program reports with and loads.
struct EngineRecord {
  EngineNumbers numbers;
  CodeTableRecord table;
};

// Each operation that fails reports its failure and returns it: the step, the number it was
// reported with, the path and the system's code.
class EngineFiles {
 public:
  // Copies data.txt line by line to standard output, each line ending in CR LF. Reports
  // "Reset() error-<readNumber>: data.txt" when data.txt cannot be read, or
  // "Rewrite() error-<reportNumber>: " when standard output cannot take it.
  static platform::Result ShowDataFile(int readNumber, int reportNumber);
  // Replaces the file with a complete, flushed copy of binary.tmp and erases binary.tmp
  // unless keep. When the copy fails, the file stays as it was and binary.tmp is kept
  // whatever keep says.
  static platform::Result CopyFromBinaryTmp(const std::u16string& path, bool keep,
                                            const EngineNumbers& numbers);
  // "-t": renews the modification time of the input and of nothing else. The input is
  // copied to binary.tmp on the way, which stays with keep.
  static platform::Result RenewInputTime(const std::u16string& input, bool keep,
                                         const EngineNumbers& numbers);
  // Whether a run through binary.tmp ("-b", "-t") may go on: it fails when its input or
  // output is binary.tmp itself, by any spelling or link.
  static platform::Result BinaryTmpUsable(const std::u16string& input, const std::u16string& output,
                                          const EngineNumbers& numbers);
  // Holds the lock on a working file shared by concurrent runs in one directory (binary.tmp,
  // text.tmp), made with mode 0600 when it is missing. Fails when another run keeps it too
  // long, or when the name holds a link, a FIFO, a device or another user's file; a file
  // that cannot be locked at all is nothing to share, and the run goes on.
  static platform::Result LockWorkingFile(platform::FileLock& lock, const std::u16string& name,
                                          const EngineNumbers& numbers);
  // How an output is written: a replacement when it is the input itself (any spelling or
  // link), so that the input stays whole until the output is complete; else in place.
  static platform::Placement PlacementFor(const std::u16string& input,
                                          const std::u16string& output);
};

}  // namespace kelvo
