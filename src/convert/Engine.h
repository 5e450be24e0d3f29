// The engine machinery that the three converters share: the input, measured when it is
// opened; the pump with its block buffers; the six conversions, each with its own read
// error number; data.txt; and the steps through binary.tmp. What differs, the kernel and
// the code table, comes from each engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/ConversionRules.h"
#include "convert/EngineFile.h"
#include "convert/StreamPump.h"

namespace kelvo {

// What became of a conversion's output; a failure is already reported.
enum class [[nodiscard]] OutputStatus{Written, NotWritten};

class ConversionEngine {
 public:
  virtual ~ConversionEngine() = default;
  ConversionEngine(const ConversionEngine&) = delete;
  ConversionEngine& operator=(const ConversionEngine&) = delete;

  // Ends the program with the exit code when the input could not be measured.
  void HaltIfNoInput(int exitCode) const;
  // Copies data.txt to standard output; false after the report when it cannot.
  [[nodiscard]] bool ShowDataFile();
  // "-t": renews the input's modification time, binary.tmp holding a copy on the way (kept
  // with keep). An input that is not a regular file has no time to renew. False after the
  // report.
  [[nodiscard]] bool RenewInputTime(bool keep);
  // Replaces the file with binary.tmp (erased unless keep); false after the report.
  [[nodiscard]] bool CopyFromBinaryTmp(const std::u16string& name, bool keep);
  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return tableReportFailed_; }

  // Each conversion reads the input, converts it and writes the output (standard output
  // when the name is empty) a block at a time. An output that is the input itself goes to
  // a replacement that takes the input's place only once it is complete. A failed write is
  // reported ("Rewrite() error-<writeOutput>: " + name); a failed read is reported with the
  // conversion's own number and ends the program with exit code 1.
  OutputStatus ConvertCrLf(const std::u16string& outputName);
  OutputStatus ConvertLf(const std::u16string& outputName);
  OutputStatus ConvertAsRead(const std::u16string& outputName);
  OutputStatus ConvertCrLfFiltered(const std::u16string& outputName);
  OutputStatus ConvertLfFiltered(const std::u16string& outputName);
  OutputStatus ConvertAsReadFiltered(const std::u16string& outputName);
  // The conversion of the mode and the control filter.
  OutputStatus Convert(LineEndMode mode, Controls controls, const std::u16string& outputName);

  const EngineNumbers& Numbers() const { return numbers_; }

 protected:
  ConversionEngine(const EngineNumbers& numbers, int tableReport);

  // The kernel of a conversion in the mode; an engine that cannot make it stops the run.
  virtual BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) = 0;
  // Bytes that open every output (a byte-order mark).
  virtual std::string_view OutputPrefix() const { return {}; }

  // Opens and measures the input; reports "Reset() error-<open>: " + name when it cannot.
  bool OpenInput(const std::u16string& name, ConversionInput::Units units);
  // Runs one conversion with the given read number.
  OutputStatus Run(LineEndMode mode, Controls controls, int readNumber,
                   const std::u16string& outputName);
  void SetTableReportFailed(bool failed) { tableReportFailed_ = failed; }

  EngineNumbers numbers_;
  ConversionInput input_;
  StreamPump pump_;

 private:
  int tableReport_;
  bool tableReportFailed_ = false;
};

}  // namespace kelvo
