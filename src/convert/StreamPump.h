// The streaming pump: reads an input a block at a time, runs a conversion kernel over each
// block and writes the converted bytes, and alone turns what goes wrong on the way into a
// report. The kernels know nothing of files, messages or error numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Platform.h"
#include "platform/Result.h"

namespace kelvo {

// A conversion kernel: bytes in, bytes out.
class BlockKernel {
 public:
  virtual ~BlockKernel() = default;
  // Converts the size bytes at in into out, which has room for all that they can give;
  // returns the number of bytes written. consumed is set to the input bytes used: all of
  // them in the final block, and otherwise all but the start of a sequence that the next
  // block completes, which the pump puts before the next block.
  virtual std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final,
                               std::uint8_t* out, std::int64_t& consumed) = 0;
};

// The input of a conversion. A regular file is measured when it is opened and read again by
// each conversion up to that size; anything else (a pipe, a FIFO, a device) stays open from
// the start and is read to its end.
class ConversionInput {
 public:
  enum class Units { Bytes = 1, Utf16 = 2 };

  // Opens and measures the input; a UTF-16 input's first unit is read at once, to see
  // whether it is the byte-order mark. Fails (Step::Open or Step::Read; nothing is reported)
  // when it cannot be opened or read; the input is then unmeasured. An empty name (standard
  // input) is no input.
  platform::Result Open(const std::u16string& name, Units units,
                        platform::Guard guard = platform::Guard::None);
  void Close();

  const std::u16string& Name() const { return name_; }
  // Not a regular file: read to its end.
  bool Streamed() const { return streamed_; }
  // The bytes a conversion reads of a regular file (whole units); 0 for a stream; none when
  // unmeasured.
  std::optional<std::int64_t> Size() const { return size_; }
  // Bytes at the start that a conversion skips: the byte-order mark of a UTF-16 input.
  std::int64_t SkippedBytes() const { return skipped_; }

 private:
  friend class StreamPump;

  std::u16string name_;
  Units units_ = Units::Bytes;
  platform::InputFile file_;
  platform::Guard guard_ = platform::Guard::None;
  bool streamed_ = false;
  std::optional<std::int64_t> size_;
  std::int64_t fileSize_ = 0;  // the whole size of a regular file when it was measured
  std::int64_t skipped_ = 0;
  // Bytes of a stream read by Open, which come first in its conversion.
  std::uint8_t head_[2] = {0, 0};
  std::int64_t headLength_ = 0;
};

// Where the output of a conversion goes, and the numbers of its reports.
struct PumpTarget {
  std::u16string name;  // empty: standard output
  platform::Placement placement = platform::Placement::Truncate;
  std::string_view prefix;  // bytes written before all others (a byte-order mark)
  int readNumber;           // "Reset() error-<readNumber>: " + input name
  int writeNumber;          // "Rewrite() error-<writeNumber>: " + output name
  platform::Guard guard = platform::Guard::None;  // the guard of the output file
  int changedNumber = 0;  // "Reset() error-<changedNumber>: " + input name: changed while read
};

enum class [[nodiscard]] PumpOutcome{
    Written,
    ReadFailed,   // reported; the output was given up
    WriteFailed,  // reported; a replacement was given up, the file it was to replace is whole
    // reported; the input was cut, grown or rewritten while it was read: a replacement was
    // given up, a separate output stays as written
    InputChanged,
};

// What became of the converted bytes of one block handed to the write end.
enum class [[nodiscard]] BlockWrite{Done, Failed};

// The two ends of the pump's block loop, apart from files.
struct PumpEnds {
  // Reads up to count bytes into buffer: the count read, fewer only where the input ends;
  // none on failure.
  std::function<std::optional<std::int64_t>(std::uint8_t* buffer, std::int64_t count)> read;
  // Takes the converted bytes of one block.
  std::function<BlockWrite(const std::uint8_t* bytes, std::int64_t count)> write;
};

// How a block may be cut into parts that convert apart, each on its own thread, and give
// together the bytes the block gives whole.
struct KernelParts {
  // The kernel of part 1, 2, ... (part 0 is the pump's own kernel), fresh for a conversion:
  // it keeps nothing from bytes before its part. Asked for on the converting thread, before
  // the parts are converted; each part's kernel serves one thread at a time. Null when it
  // cannot be had: the blocks are then cut into fewer parts.
  std::function<BlockKernel*(int part)> kernel;
  // The last place at or before at (a byte count from in, above 0) after which the bytes of
  // a part may be cut; 0 when there is none.
  std::int64_t (*cut)(const std::uint8_t* in, std::int64_t at) = nullptr;
  // The output room of a part of n input bytes: fixed + perByte * n.
  std::int64_t perByte = 0;
  std::int64_t fixed = 0;
};

// EUC-JP bytes may be cut after any byte below 80h: no sequence goes on past one.
std::int64_t CutAfterSingleByte(const std::uint8_t* in, std::int64_t at);
// UTF-16 units may be cut before any unit that is not a low surrogate.
std::int64_t CutBeforeLeadingUnit(const std::uint8_t* in, std::int64_t at);

// How the pump places its work on threads. With threads, a reader and a writer run beside
// the converting thread, a ring of blocks between them; a large block may be cut into parts
// that convert at once. With one processor, a ring of fewer than two blocks, an input of one
// block, or where threads cannot be had, one thread reads, converts and writes in turn.
// With more than two processors, a block is cut into parts, one for each processor but the
// one that the reader's and the writer's copying keeps busy.
struct PumpThreads {
  unsigned processors = 0;  // 0: as many as the system has
  int ring = 3;             // blocks between the reader, the converting thread and the writer
  std::int64_t block = 0;   // bytes read at a time; 0: the input block's size
  // A block is cut into parts only when each part has at least this many bytes.
  std::int64_t smallestPart = std::int64_t{1} << 16;
  int mostParts = 8;
};

class StreamPump {
 public:
  // Replaces the threads' settings.
  void SetThreads(const PumpThreads& threads) { threads_ = threads; }
  // How blocks may be cut into parts; none (the default) converts every block whole, on one
  // thread. Kept for the conversions that follow.
  void SetParts(KernelParts parts) { parts_ = std::move(parts); }

  // The input block, with room before it for the bytes a kernel carries over; Step::Allocate
  // (nothing reported) when the memory cannot be had.
  platform::Result AllocateInput(std::int64_t block, std::int64_t carried);
  // The output of one block; Step::Allocate (nothing reported) when the memory cannot be had.
  platform::Result AllocateOutput(std::int64_t bytes);
  // Both blocks for a UTF-16 input of unitCount units: an input block of up to 131,072
  // units (the whole input when it is smaller and not streamed) with room for one unit
  // carried over, and an output block of two bytes a unit and outputSlack bytes more.
  // Neither is zero-filled. A failure is reported as "SetLength()" with unitArray and the
  // unit count, or with outputArray and twice it; Step::Allocate with that number then.
  platform::Result AllocateUnitBlocks(std::int64_t unitCount, bool streamed,
                                      std::int64_t outputSlack, int unitArray, int outputArray);
  bool Allocated() const { return input_ && output_; }

  // Reads the input (opened again when it is a regular file), converts it a block at a time
  // and writes the output, which is created once the first block has been read. An input
  // that is unmeasured, or that fails to open or read, is reported with the read number and
  // gives up the output; an output that cannot be written is reported with the write
  // number. The input is closed before the output is put in place: the output may replace
  // it. A regular input whose size or modification time changed between its measuring and
  // the end of its reading is reported with the change number.
  PumpOutcome Run(ConversionInput& input, BlockKernel& kernel, const PumpTarget& target);

  // The block loop of Run, over any ends, with the buffers allocated: reads at most
  // remaining bytes (those left over past the last whole unit of unitBytes are dropped),
  // converts them a block at a time after skipping the first skip bytes, and writes the
  // output of each block, prefix first. carried bytes already stand at the start of the
  // input block. Nothing is reported.
  PumpOutcome Pump(const PumpEnds& ends, BlockKernel& kernel, std::int64_t unitBytes,
                   std::int64_t remaining, std::int64_t skip, std::string_view prefix,
                   std::int64_t carried = 0);

 private:
  struct Ring;
  // The block loop on one thread, and on several.
  PumpOutcome PumpAlone(const PumpEnds& ends, BlockKernel& kernel, std::int64_t unitBytes,
                        std::int64_t remaining, std::int64_t skip, std::string_view prefix,
                        std::int64_t carried);
  PumpOutcome PumpThreaded(Ring& ring, unsigned processors, const PumpEnds& ends,
                           BlockKernel& kernel, std::int64_t unitBytes, std::int64_t remaining,
                           std::int64_t skip, std::string_view prefix, std::int64_t carried);
  // The number of threads that convert a block, 1 when blocks are not cut.
  int PartCount(unsigned processors) const;

  platform::LargeBuffer input_;
  std::int64_t block_ = 0;
  std::int64_t carriedRoom_ = 0;
  platform::LargeBuffer output_;
  std::int64_t outputBytes_ = 0;
  PumpThreads threads_;
  KernelParts parts_;
};

}  // namespace kelvo
