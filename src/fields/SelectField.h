// Field selection: keeps one comma-separated field of every line of a UTF-16 little-endian
// file, converts it to EUC-JP with the forward kernel and writes it with CR LF line ends,
// through the forward engine's machinery.
// Also builds "surro.txt" from "surro.csv".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "convert/StreamPump.h"
#include "convert/Utf16Encoder.h"
#include "convert/Utf16intoEUC.h"

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

// Field selection as an engine: the forward engine's input, blocks and table, under field
// selection's own numbers, with the selection kernel. Its Open is the forward engine's.
class Selecting : public ConvertUtf16intoEUC {
 public:
  Selecting(const SelectionNumbers& numbers, const CodeTableRecord& table,
            const SurrogateListNumbers& lists, std::int32_t fieldNumber);

  // Reads the input a block at a time, keeps the selected field of every line and writes
  // it. The output replaces the file under that name only once it is complete when it is
  // the input itself, or always under Placement::Replace (a list file that concurrent runs
  // may read). A failed write is reported; a failed read ends the program (exit code 1).
  OutputStatus WriteSelectedField(const std::u16string& outputName,
                                  std::optional<platform::Placement> placement = std::nullopt,
                                  platform::Guard guard = platform::Guard::None);

 protected:
  // The selection kernel, whatever the mode: line ends are CR LF; controls stay, but
  // one-byte codes that are controls go.
  BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) override;

 private:
  std::int32_t fieldNumber_;
  std::optional<FieldSelection> selection_;
};

}  // namespace kelvo
