// File operations that the three engines share: showing data.txt, the copies through
// binary.tmp, reading a whole input and writing a whole output. Error numbers come from
// the running program's record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

class EngineFiles {
 public:
  // Copies data.txt line by line to standard output, each line ending in CR LF. false
  // after reporting "Reset() error-<number>: data.txt", with the caller's number.
  static bool ShowDataFile(int number);
  // Measures a UTF-16 input: its size in whole code units, and a start index of 1 when it
  // begins with the byte-order mark FF FE (0 otherwise). false, after reporting
  // "Reset() error-<number>: " + name, when it cannot be opened or read.
  static bool MeasureUtf16(const std::u16string& name, int number, std::int64_t& units,
                           int& startIndex);
  // Copies the file to binary.tmp and erases it unless keep; returns the bytes copied.
  // Any failure is reported and ends the program with exit code 1.
  static std::int64_t CopyToBinaryTmp(const std::u16string& path, bool keep);
  // Copies binary.tmp to the file and erases binary.tmp unless keep.
  static std::int64_t CopyFromBinaryTmp(const std::u16string& path, bool keep);
  // Writes count bytes to the file (standard output when the name is empty). 0, or -2
  // after reporting "Rewrite() error-N: " + path.
  static int WriteOutput(const std::u16string& path, const void* data, std::int64_t count);
  // Reads the whole file into bytes (resized to what was read, at most limit bytes when
  // limit >= 0). false when it cannot be opened or read; nothing is reported.
  static bool ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                        std::int64_t limit = -1);
};

}  // namespace kelvo
