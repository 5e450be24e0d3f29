// The engine machinery that the three converters share: the input, measured when it is
// opened; the pump with its block buffers; the six conversions, each with its own read
// error number; data.txt; and the steps through binary.tmp. What differs, the kernel and
// the code table, comes from each engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/ConversionRules.h"
#include "convert/EngineFile.h"
#include "convert/StreamPump.h"
#include "platform/Result.h"

namespace kelvo {

// What became of a conversion's output; a failure is already reported.
enum class [[nodiscard]] OutputStatus{Written, NotWritten};

// What an engine's Open found, each failure already reported. A table or list that cannot
// be had is not among them: Open ends the run then, with exit code 1.
struct [[nodiscard]] OpenResult {
  // Step::Open, with the engine's open number and the input's name, when the input could
  // not be opened and measured; the table was loaded all the same.
  platform::Result input;
  // Step::Write, with the table report number and data.txt, when the "-w" report of the
  // table search could not be written.
  platform::Result tableReport;
};

class ConversionEngine {
 public:
  virtual ~ConversionEngine() = default;
  ConversionEngine(const ConversionEngine&) = delete;
  ConversionEngine& operator=(const ConversionEngine&) = delete;

  // Copies data.txt to standard output; the failure, after its report, when it cannot.
  platform::Result ShowDataFile();
  // "-t": renews the input's modification time, binary.tmp holding a copy on the way (kept
  // with keep). An input that is not a regular file has no time to renew. A failure comes
  // after its report.
  platform::Result RenewInputTime(bool keep);
  // Replaces the file with binary.tmp (erased unless keep); a failure comes after its report.
  platform::Result CopyFromBinaryTmp(const std::u16string& name, bool keep);

  // Each conversion reads the input, converts it and writes the output (standard output
  // when the name is empty) a block at a time. An output that is the input itself goes to
  // a replacement that takes the input's place only once it is complete. A failed write is
  // reported ("Rewrite() error-<writeOutput>: " + name); a failed read is reported with the
  // conversion's own number and ends the program with exit code 1. Each of the six
  // conversions (three line-end modes, with or without the control filter) has a read
  // number of its own.
  OutputStatus Convert(LineEndMode mode, Controls controls, const std::u16string& outputName);

  const EngineNumbers& Numbers() const { return numbers_; }

 protected:
  ConversionEngine(const EngineNumbers& numbers, int tableReport);

  // The kernel of a conversion in the mode; an engine that cannot make it stops the run.
  virtual BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) = 0;
  // Bytes that open every output (a byte-order mark).
  virtual std::string_view OutputPrefix() const { return {}; }

  // Opens and measures the input; reports "Reset() error-<open>: " + name when it cannot.
  platform::Result OpenInput(const std::u16string& name, ConversionInput::Units units);
  // Runs one conversion with the given read number. The output is placed and guarded by
  // its name (a replacement when it is the input itself) unless placement or guard is
  // given.
  OutputStatus Run(LineEndMode mode, Controls controls, int readNumber,
                   const std::u16string& outputName,
                   std::optional<platform::Placement> placement = std::nullopt,
                   std::optional<platform::Guard> guard = std::nullopt);

  EngineNumbers numbers_;
  ConversionInput input_;
  StreamPump pump_;

 private:
  int tableReport_;
};

}  // namespace kelvo
