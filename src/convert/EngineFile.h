// File operations that the three engines share: showing data.txt, the copies through
// binary.tmp, reading a whole input and writing a whole output. Error numbers come from
// the running program's record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kelvo {

class EngineFiles {
 public:
  // The working file of "-b" and "-t".
  static constexpr char16_t kBinaryTmp[] = u"binary.tmp";

  // Copies data.txt line by line to standard output, each line ending in CR LF. false
  // after reporting "Reset() error-<readNumber>: data.txt" when data.txt cannot be read, or
  // the program's table-report failure when standard output cannot take it.
  [[nodiscard]] static bool ShowDataFile(int readNumber);
  // Opens a UTF-16 input and keeps it open in input: its size in whole code units (0 for
  // an input read to its end, such as a pipe), and a start index of 1 when it begins with
  // the byte-order mark FF FE (0 otherwise). The bytes read to find out are left in head.
  // false, after reporting "Reset() error-<number>: " + name, when it cannot be opened or
  // read.
  static bool OpenUtf16(const std::u16string& name, int number, platform::InputFile& input,
                        std::int64_t& units, int& startIndex, std::uint8_t head[2],
                        int& headLength);
  // Copies the file to binary.tmp; any failure is reported and ends the program with exit
  // code 1.
  static std::int64_t CopyToBinaryTmp(const std::u16string& path);
  // Replaces the file with a complete, flushed copy of binary.tmp and erases binary.tmp
  // unless keep. When the copy fails, the file stays as it was, binary.tmp is kept whatever
  // keep says, and the failure is reported and ends the program with exit code 1.
  static std::int64_t CopyFromBinaryTmp(const std::u16string& path, bool keep);
  // "-t": renews the modification time of the input and of nothing else. The input is
  // copied to binary.tmp on the way, which stays with keep. Any failure is reported and ends
  // the program with exit code 1.
  static void RenewInputTime(const std::u16string& input, bool keep);
  // Refuses a run that uses binary.tmp ("-b", "-t") when its input or output is binary.tmp
  // itself, by any spelling or link: reports the name and ends the program with exit code 1
  // before anything is written.
  static void RefuseBinaryTmpItself(const std::u16string& input, const std::u16string& output);
  // Holds the lock on a working file shared by concurrent runs in one directory (binary.tmp,
  // text.tmp). A lock that another run keeps too long is reported and ends the program with
  // exit code 1.
  static void LockWorkingFile(platform::FileLock& lock, const std::u16string& name);
  // How an output is written: a replacement when it is the input itself (any spelling or
  // link), so that the input stays whole until the output is complete; else in place.
  static platform::Placement PlacementFor(const std::u16string& input,
                                          const std::u16string& output);
  // Reads the whole file into bytes (resized to what was read, at most limit bytes when
  // limit >= 0). false when it cannot be opened or read; nothing is reported.
  static bool ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                        std::int64_t limit = -1);
};

}  // namespace kelvo
