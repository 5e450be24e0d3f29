// Field selection: keeps one comma-separated field of every line of a UTF-16 little-endian
// file, converts it to EUC-JP with the forward kernel and writes it with CR LF line ends.
// Also builds "surro.txt" from "surro.csv".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "convert/Engine.h"
#include "convert/PastoralUTF16.h"
#include "convert/StreamPump.h"
#include "convert/Utf16Encoder.h"

namespace kelvo {

// The error numbers of field selection.
struct SelectionNumbers {
  int write;         // the output cannot be written
  int read;          // the input cannot be read
  int unitArray;     // the input block cannot be had
  int outputArray;   // the output block cannot be had
  int open;          // the input cannot be opened
  int inputChanged;  // the input changed while it was read
};

// The selection kernel: the forward kernel's characters, kept for one field of every line.
// A quote opens and closes a quoted part, where a separator is data; only the first line
// end closes an open quote, later ones let a quoted field span lines. The separator that
// ends the kept field is written with it; every line ends in CR LF.
class FieldSelection : public BlockKernel {
 public:
  static constexpr char16_t kQuote = u'"';
  static constexpr char16_t kSeparator = u',';
  // The units that the encoder leaves to the selection: built with these marked.
  static constexpr char16_t kMarked[] = u"\n\",";

  FieldSelection(const Utf16Encoder& encoder, std::int32_t fieldNumber);

  std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final, std::uint8_t* out,
                       std::int64_t& consumed) override;

 private:
  const Utf16Encoder& encoder_;
  std::int32_t fieldNumber_;
  // Where a line's scan stands between blocks.
  std::int64_t field_ = 1;
  bool keeping_;
  bool quoted_ = false;
  bool firstLine_ = true;
};

class Selecting {
 public:
  Selecting(const SelectionNumbers& numbers, const CodeTableRecord& table,
            const SurrogateListNumbers& lists);
  Selecting(const Selecting&) = delete;
  Selecting& operator=(const Selecting&) = delete;

  // Sizes the input, allocates the block buffers and loads the code table with its
  // surrogate list. An input that cannot be sized leaves the unit count at -1 after
  // reporting "Reset() error-<open>: " + name. A table or list that cannot be had ends the
  // program with exit code 1.
  void Open(const SearchTable& search, SurrogateList list, std::int32_t fieldNumber,
            const std::u16string& inputName);
  // Ends the program with the exit code when the input was not sized.
  void HaltIfNoInput(int exitCode) const;
  // Reads the input a block at a time, keeps the selected field of every line and writes
  // it. The output replaces the file under that name only once it is complete when it is
  // the input itself, or always under Placement::Replace (a list file that concurrent runs
  // may read). A failed write is reported; a failed read ends the program (exit code 1).
  OutputStatus WriteSelectedField(const std::u16string& outputName,
                                  std::optional<platform::Placement> placement = std::nullopt,
                                  platform::Guard guard = platform::Guard::None);

  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return table_ != nullptr && table_->ReportFailed(); }
  std::int64_t UnitCount() const { return input_.Measured() ? input_.Size() / 2 : -1; }

 private:
  void AllocateArrays();

  SelectionNumbers numbers_;
  CodeTableRecord tableRecord_;
  SurrogateListNumbers lists_;
  ConversionInput input_;
  StreamPump pump_;
  std::int32_t fieldNumber_ = 0;
  std::unique_ptr<PastoralSceneUTF16> table_;
  Utf16Encoder encoder_;
};

}  // namespace kelvo
