// The forward converter's engine: reads a whole UTF-16 little-endian file, turns every code
// unit into EUC-JP bytes through the code table, handles line ends in one of three modes,
// optionally drops control characters, and writes the bytes in one pass. It also offers the
// file operations the driver combines for "-b", "-y", "-t" and "-w".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "convert/PastoralUTF16.h"
#include "platform/Platform.h"

namespace kelvo {

class FinalEffects;

class ConvertUtf16intoEUC {
 public:
  // The byte written for a character that cannot be converted.
  static constexpr std::uint8_t kUnconvertible = 0x3F;
  // A value of the control filter that drops the unit under "-s".
  static constexpr std::uint8_t kDrop = 0x07;
  static constexpr int kFilterSize = 224;

  ConvertUtf16intoEUC();
  ~ConvertUtf16intoEUC();
  ConvertUtf16intoEUC(const ConvertUtf16intoEUC&) = delete;
  ConvertUtf16intoEUC& operator=(const ConvertUtf16intoEUC&) = delete;

  // Sizes the input, allocates the arrays and loads the code table with its surrogate list.
  // An input that cannot be sized leaves the unit count at -1 after reporting
  // "Reset() error-828: " + path; the table is loaded all the same.
  void Open(const FinalEffects& settings, const std::u16string& inputPath);
  // Ends the program with the exit code when the input was not sized.
  void HaltIfNoInput(int exitCode) const;

  [[nodiscard]] bool ShowDataFile();
  static std::int64_t FileSizeOf(const std::u16string& path);
  std::int64_t CopyToBinaryTmp(const std::u16string& path);
  std::int64_t CopyFromBinaryTmp(const std::u16string& path, bool keep);
  // Sizes the block buffers of the input units and of the output: the unit count, or -1
  // after reporting "SetLength() error-823: -1" for an input that was not sized. A positive
  // count whose buffers cannot be had is reported ("SetLength() error-823" / "-824") and
  // ends the program with exit code 1.
  std::int64_t AllocateArrays();
  void BuildIdentityBytes();
  void PrepareControlFilter();
  // "-t": renews the input's modification time, binary.tmp holding a copy on the way (kept
  // with keep). An input that is not a regular file has no time to renew.
  void RenewInputTime(bool keep);
  // Whether the "-w" report of the table search could not be written.
  bool TableReportFailed() const { return table_ != nullptr && table_->ReportFailed(); }

  // Each conversion reads the input (opened by Open, or again for a later conversion),
  // converts it and writes the output file a block at a time: 0, or -2 after reporting
  // "Rewrite() error-815: " + path. An output that is the input itself goes to a
  // replacement that takes the input's place only once it is complete. A failed read ends
  // the program with exit code 1.
  int ConvertCrLf(const std::u16string& outputPath);
  int ConvertLf(const std::u16string& outputPath);
  int ConvertAsRead(const std::u16string& outputPath);
  int ConvertCrLfFiltered(const std::u16string& outputPath);
  int ConvertLfFiltered(const std::u16string& outputPath);
  int ConvertAsReadFiltered(const std::u16string& outputPath);

  std::int64_t UnitCount() const { return unitCount_; }
  int StartIndex() const { return startIndex_; }
  const PastoralSceneUTF16* Table() const { return table_.get(); }

 private:
  enum class LineEnds { CrLf, Lf, AsRead };
  int Convert(const std::u16string& outputPath, LineEnds lineEnds, bool filtered, int readError);
  // Fills the lookup table: for every code unit its output bytes and their count under the
  // mode, or a mark for a high surrogate, which needs the next unit.
  void BuildLookup(LineEnds lineEnds, bool filtered);
  // Converts the units from in up to stop into out (a pair begun before stop may take its
  // low surrogate from before end); returns the end of the bytes written and moves in past
  // the units used.
  std::uint8_t* Translate(const std::uint8_t*& in, const std::uint8_t* stop,
                          const std::uint8_t* end, std::uint8_t* out) const;
  // Converts the unit at in (with its low surrogate when it starts a pair) into out;
  // returns the end of the bytes written and moves in past the units used.
  std::uint8_t* TranslateOne(const std::uint8_t*& in, const std::uint8_t* end,
                             std::uint8_t* out) const;
  // Reads, converts and writes the input a block at a time. A failed read ends the program
  // with exit code 1.
  int StreamAndWrite(int readError);

  std::array<std::uint8_t, 256> byteTable_{};
  int startIndex_ = 0;
  std::array<std::uint8_t, kFilterSize> filterTable_{};
  // A stream input (a pipe, a device), opened by Open and read by the conversion, with the
  // bytes Open read to find the byte-order mark; a regular file is opened again by each
  // conversion.
  platform::InputFile input_;
  std::uint8_t head_[2] = {0, 0};
  int headLength_ = 0;
  // An input that is not a regular file (a pipe, a device) is read to its end.
  bool streamed_ = false;
  platform::LargeBuffer units_;  // one block of input bytes, two per code unit
  std::int64_t unitCount_ = -1;
  std::unique_ptr<std::uint8_t[]> output_;  // one block of converted bytes
  std::int64_t outputCapacity_ = 0;         // two bytes per input unit
  std::int64_t blockUnits_ = 0;             // units converted into one output block
  const FinalEffects* settings_ = nullptr;
  std::u16string inputPath_;
  std::u16string outputPath_;
  std::unique_ptr<PastoralSceneUTF16> table_;
  platform::LargeBuffer lookupMemory_;
  std::uint32_t* lookup_ = nullptr;  // 65,536 entries, in lookupMemory_
  // Whether every printable ASCII unit (20h-7Eh) is written as its own byte in the mode,
  // so that runs of them can be copied several at a time.
  bool asciiAsIs_ = false;
};

}  // namespace kelvo
