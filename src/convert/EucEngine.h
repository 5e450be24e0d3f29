// The engine machinery that the reverse converter (EUC-JP to UTF-16), its standard-input
// path and the recoder (EUC-JP to Shift_JIS) share: sizing the input, the two arrays, the
// code table, the six conversions and the writing of the result. What differs is given to
// the constructor: the output form, the error numbers and the code table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cmdline/FinalEffect.h"
#include "convert/EucCodeTable.h"
#include "convert/EucDecoder.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {

class EucEngine {
 public:
  EucEngine(const EucOutputForm& form, const EngineNumbers& numbers,
            std::unique_ptr<EucCodeTable> table);
  EucEngine(const EucEngine&) = delete;
  EucEngine& operator=(const EucEngine&) = delete;

  // Measures the input (reporting "Reset() error-<open>: " + name when it cannot be
  // opened; the size stays -1), sizes the arrays and loads the code table.
  void Open(const FinalEffects& settings, const std::u16string& inputName);
  // Ends the program with the exit code when the input could not be measured.
  void HaltIfNoInput(int exitCode) const;
  // Copies data.txt to standard output; false after "Reset() error-<showData>: data.txt".
  bool ShowDataFile();
  // The copies through binary.tmp; any failure ends the program with exit code 1.
  std::int64_t CopyToBinaryTmp(const std::u16string& name);
  std::int64_t CopyFromBinaryTmp(const std::u16string& name, bool keep);
  // "-t": renews the input's modification time, binary.tmp holding a copy on the way (kept
  // with keep). An input that is not a regular file has no time to renew.
  void RenewInputTime(bool keep);
  // Makes the filtered conversions drop control characters.
  void PrepareControlFilter();
  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return table_->ReportFailed(); }

  // Read the whole input, decode it and write it to the output name (standard output when
  // it is empty): 0, or -2 after "Rewrite() error-<writeOutput>: " + output name. A read failure
  // ends the program with exit code 1 after "Reset() error-<read>: " + input name.
  int ConvertCrLf(const std::u16string& outputName);
  int ConvertLf(const std::u16string& outputName);
  int ConvertAsRead(const std::u16string& outputName);
  int ConvertCrLfFiltered(const std::u16string& outputName);
  int ConvertLfFiltered(const std::u16string& outputName);
  int ConvertAsReadFiltered(const std::u16string& outputName);

  // The file conversion as the run settings choose it, after Open and HaltIfNoInput: under
  // "-t" the input's time is renewed (binary.tmp holding a copy on the way); "-s" picks
  // the filtered loop; the line-end flags pick CR LF, LF or as read; under "-b" the loop
  // writes binary.tmp, which then replaces the output. binary.tmp is locked against other
  // runs for all that time. Returns the exit code: 0, or 1 when the output could not be
  // written (binary.tmp is then not copied on).
  int ConvertBySettings(const FinalEffects& settings);

  // Sizes the input and output block buffers: the input size, or -1 / -3 after reporting
  // that the input / output buffer cannot be had (with a measured input the program then
  // ends with exit code 1).
  std::int64_t AllocateArrays();
  // Size of a file in bytes, -1 when it cannot be opened.
  static std::int64_t FileSizeOf(const std::u16string& name);

  std::int64_t InputSize() const { return inputSize_; }

 protected:
  // Reads the input, decodes it and writes the output to outputName (standard output when
  // it is empty): 0, or -2 after "Rewrite() error-<writeOutput>: " + output name. A read
  // failure ends the program with exit code 1 after "Reset() error-<readNumber>: " + input.
  int Convert(LineEndMode mode, bool filtered, int readNumber, const std::u16string& outputName);
  // The LF line ends met by the last Decode.
  std::int64_t LineEnds() const { return lineEnds_; }
  const EngineNumbers& Numbers() const { return numbers_; }

 private:
  int Stream(EucDecoder& decoder, int readNumber);

  EucOutputForm form_;
  EngineNumbers numbers_;
  std::unique_ptr<EucCodeTable> table_;
  ControlFilter filter_{};
  // A stream input (a pipe, a device), opened by Open and read by the conversion; a regular
  // file is opened again by each conversion.
  platform::InputFile inputFile_;
  // An input that is not a regular file (a pipe, a device) is read to its end.
  bool streamed_ = false;
  std::unique_ptr<std::uint8_t[]> input_;
  std::int64_t inputSize_ = -1;
  std::unique_ptr<std::uint8_t[]> output_;
  std::int64_t outputCapacity_ = -3;
  std::u16string inputName_;
  std::u16string outputName_;
  std::int64_t lineEnds_ = 0;
};

}  // namespace kelvo
