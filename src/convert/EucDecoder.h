// The EUC-JP decoding kernel that the reverse converter and the recoder share: EUC-JP bytes
// are decoded in one pass against an EucCodeTable.
//
// A byte of 80h or more pairs with the byte after it, whatever that byte is; the pair's key
// is second * 256 + first. A lower byte stands alone and is its own key. A key of the
// mapped kind gives its two value bytes; a key of the one-byte kind gives its first value
// byte as one character. Otherwise a single LF or CR follows the line-end mode, the control
// filter (under Controls::Removed) drops a sequence whose first byte is a control, and any
// other sequence gives one character: a byte in the output's character width (the second
// byte of an unmapped pair for UTF-16, the first byte for Shift_JIS). A lead byte at the
// very end of the input is dropped.
//
// 8Fh followed by two bytes of A1h-FEh is one three-byte character (the supplementary
// kanji), which no table maps: it gives one replacement character, or nothing when the
// control filter drops 8Fh. An 8Fh without two such bytes after it is a lead byte without
// its trail: it is dropped, and the bytes after it are decoded as if it were not there.
#pragma once

#include <array>
#include <cstdint>

#include "convert/AsciiRuns.h"
#include "convert/ConversionRules.h"
#include "convert/EucCodeTable.h"
#include "convert/StreamPump.h"
#include "platform/Platform.h"

namespace kelvo {

// What distinguishes one output encoding from the other.
struct EucOutputForm {
  bool byteOrderMark;                // the output starts with FF FE
  bool wideUnits;                    // a character byte b is written as the UTF-16 unit b 00
  bool unmappedPairGivesSecondByte;  // else an unmapped pair gives its first byte
  std::uint16_t replacement;         // a character no table maps: a UTF-16 unit, or a byte
};

// UTF-16 little-endian with a byte-order mark (the reverse converter).
inline constexpr EucOutputForm kUtf16Output{.byteOrderMark = true,
                                            .wideUnits = true,
                                            .unmappedPairGivesSecondByte = true,
                                            .replacement = 0xFFFD};
// Shift_JIS bytes (the recoder).
inline constexpr EucOutputForm kShiftJisOutput{.byteOrderMark = false,
                                               .wideUnits = false,
                                               .unmappedPairGivesSecondByte = false,
                                               .replacement = kUnconvertible};

class EucDecoder : public BlockKernel {
 public:
  // Which of the loop's steps run: all of them; all but those of an instruction set that
  // the build does not assume (AVX2), which the processor may lack; or only the byte-by-byte
  // ones, which are the oracle of the others.
  enum class Steps { Fast, Baseline, ByteByByte };

  EucDecoder(const EucCodeTable& table, const EucOutputForm& form, LineEndMode mode,
             Controls controls, Steps steps = Steps::Fast);

  // Room that Decode needs for an input of size bytes, whatever the bytes and the mode:
  // the byte-order mark, at most 4 (UTF-16) or 2 (Shift_JIS) bytes per input byte, and
  // the slack of the block stores. -1 when it does not fit a 64-bit count.
  static std::int64_t Capacity(const EucOutputForm& form, std::int64_t size);

  // Decodes size input bytes into out, which must hold Capacity(form, size) bytes, the
  // byte-order mark first; returns the number of bytes written.
  std::int64_t Decode(const std::uint8_t* in, std::int64_t size, std::uint8_t* out);

  // Decodes one block of a longer input, without the byte-order mark, into out, which must
  // hold Capacity(form, size) bytes; returns the number of bytes written. consumed is set to
  // the input bytes used: all of them, except the start of a sequence that ends a block
  // which is not final (a lead byte, or 8Fh and one byte of a three-byte sequence: at most
  // kMostCarried bytes), which the caller puts before the next block. In the final block
  // such bytes are lead bytes without their trail and are dropped.
  std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final, std::uint8_t* out,
                       std::int64_t& consumed) override;
  // The most input bytes that Convert leaves for the next block.
  static constexpr std::int64_t kMostCarried = 2;

  // Makes ready now the steps that otherwise wait for the first large block (those of AVX2,
  // where the processor has it), so that a small input takes them too; false when their
  // memory cannot be had, and the decoder then goes on without them.
  bool PrepareLargeBlockSteps();

  // The LF line ends met (LF bytes without a mapping) since the decoder was made.
  std::int64_t LineEnds() const { return lineEnds_; }

 private:
  // What a byte below 80h gives: up to four bytes.
  struct SingleAction {
    std::uint8_t bytes[4];
    std::uint8_t length;
    std::uint8_t lineEnd;
  };

  // Decodes from p up to end into out (moved past the bytes written), in the output width;
  // returns where it stopped: end, or the start of a sequence that the next block completes.
  template <bool kWide>
  const std::uint8_t* DecodeBytes(const std::uint8_t* p, const std::uint8_t* end, bool final,
                                  std::uint8_t*& out, std::int64_t& lineEnds) const;
  // Makes the output of the two-byte keys for the AVX2 steps; false when its memory cannot
  // be had.
  bool MakePairOutput();
  // Decodes the two or three bytes at p, at least two before end, whose key has neither a
  // two-byte nor a one-byte mapping, into out; returns the bytes written. next is set to the
  // position after the sequence, or to null when a three-byte sequence needs a byte past
  // the end of a block that is not final.
  int Unmapped(const std::uint8_t* p, const std::uint8_t* end, bool final, std::uint8_t* out,
               const std::uint8_t*& next) const;
  bool Dropped(std::uint8_t first) const { return removeControls_ && IsControlCode(first); }

  const std::uint32_t* entries_;
  EucOutputForm form_;
  bool removeControls_;
  SingleAction single_[128];
  // Printable ASCII (20h-7Eh) gives itself in the character width: runs of it may be
  // copied in blocks.
  bool asciiRuns_ = false;
  // Runs of two-byte sequences are looked up several at a time.
  bool pairRuns_ = false;
  // The AVX2 steps: their rules, and the output of the two-byte keys in the rules, made
  // when the first large block comes.
  bool avx2_ = false;
  ascii::EucStepRules stepRules_{};
  platform::LargeBuffer pairOutputMemory_;
  std::int64_t lineEnds_ = 0;
};

}  // namespace kelvo
