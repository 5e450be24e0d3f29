// Field selection: keeps one comma-separated field of every line of a UTF-16 little-endian
// file, converts it to EUC-JP through the forward code table and writes it with CR LF line
// ends. Also builds "surro.txt" from "surro.csv".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "convert/PastoralUTF16.h"
#include "platform/Platform.h"

namespace kelvo {

class FinalEffects;

class Selecting {
 public:
  // Error numbers of the sites in this unit.
  static constexpr int kWriteError = 357;        // "Rewrite() error-357: " + output name
  static constexpr int kReadError = 359;         // "Reset() error-359: " + input name
  static constexpr int kUnitArrayError = 360;    // "SetLength() error-360: " + unit count
  static constexpr int kOutputArrayError = 361;  // "SetLength() error-361: " + capacity
  static constexpr int kOpenError = 362;         // "Reset() error-362: " + input name
  // The byte written for a character that cannot be converted.
  static constexpr std::uint8_t kUnconvertible = 0x3F;
  static constexpr std::uint8_t kDrop = 0x07;
  static constexpr int kFilterSize = 224;

  Selecting();
  ~Selecting();
  Selecting(const Selecting&) = delete;
  Selecting& operator=(const Selecting&) = delete;

  // Keeps the settings and fills the byte filter of one-byte codes.
  void AttachSettings(const FinalEffects& settings);
  // Sizes the input, allocates the arrays and loads the code table with its surrogate list.
  // An input that cannot be sized leaves the unit count at -1 after reporting
  // "Reset() error-362: " + name.
  void Open(const FinalEffects& settings, const std::u16string& inputName);
  // Ends the program with the exit code when the input was not sized.
  void HaltIfNoInput(int exitCode) const;
  // Reads the input a block at a time, keeps the selected field of every line and writes
  // it: 0, or -2 after reporting "Rewrite() error-357: " + name. The output replaces the
  // file under that name only once it is complete when it is the input itself, or when
  // replace is set (a list file that concurrent runs may read). A failed read ends the
  // program (exit code 1).
  int WriteSelectedField(const std::u16string& outputName, bool replace = false);

  static std::int64_t FileSizeOf(const std::u16string& name);
  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return table_ != nullptr && table_->ReportFailed(); }
  std::int64_t UnitCount() const { return unitCount_; }

 private:
  // Where a line's scan stands between blocks.
  struct ScanState {
    std::int64_t field = 1;
    bool keeping = false;
    bool quoted = false;
    bool firstLine = true;
  };
  void FillCodeArray();
  std::int64_t AllocateArrays();
  // Selects from the units from in up to stop (a pair begun before stop may take its low
  // surrogate from before end) into out; returns the end of the bytes written and moves in
  // past the units used.
  std::uint8_t* Select(const std::uint8_t*& in, const std::uint8_t* stop, const std::uint8_t* end,
                       std::uint8_t* out, ScanState& state) const;

  std::array<std::uint8_t, 256> codeArray_{};
  int startIndex_ = 0;
  std::array<std::uint8_t, kFilterSize> byteFilter_{};
  // A stream input (a pipe, a device), opened by Open and read by the selection, with the
  // bytes Open read to find the byte-order mark; a regular file is opened again.
  platform::InputFile input_;
  std::uint8_t head_[2] = {0, 0};
  int headLength_ = 0;
  bool streamed_ = false;        // not a regular file: read to its end
  platform::LargeBuffer units_;  // one block of input bytes, two per code unit
  std::int64_t blockUnits_ = 0;
  std::int64_t unitCount_ = -1;
  platform::LargeBuffer output_;  // one block of output
  std::int64_t outputCapacity_ = 0;
  const FinalEffects* settings_ = nullptr;
  std::u16string inputName_;
  std::u16string outputName_;
  char16_t quote_ = u'"';
  bool dropSeparatorsInQuotes_ = false;
  char16_t separator_ = u',';
  std::int32_t fieldNumber_ = 0;
  std::unique_ptr<PastoralSceneUTF16> table_;
};

}  // namespace kelvo
