// The EUC-JP decoding kernel that the reverse converter and the recoder share: EUC-JP bytes
// are decoded in one pass against an EucCodeTable.
//
// A byte below 80h is itself: its key is the byte. A key of the mapped kind gives its two
// value bytes; a key of the one-byte kind gives its first value byte as one character.
// Otherwise an LF or CR follows the line-end mode, the control filter (under
// Controls::Removed) drops a control, and any other byte gives itself in the output's
// character width.
//
// 8Eh or A1h-FEh followed by A1h-FEh is a two-byte sequence, whose key is second * 256 +
// first: a mapped key gives its value bytes as above; an unmapped one gives its second byte
// (UTF-16) or the replacement (Shift_JIS), or nothing when the control filter drops its
// first byte. 8Fh followed by two bytes of A1h-FEh is one three-byte character (the
// supplementary kanji), which no table maps: it gives the replacement, or nothing when the
// control filter drops 8Fh.
//
// Any other byte of 80h or more is one invalid byte on its own: 80h-8Dh, 90h-A0h and FFh; a
// first byte whose next byte cannot continue it, or that is the last of the input; 8Fh
// without two such bytes. It gives the replacement (nothing under the control filter) and
// decoding goes on at the very next byte, so that a line end or a letter after a stray
// byte keeps its own meaning and each stray byte shows where it was.
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
  bool unmappedPairGivesSecondByte;  // else an unmapped pair gives the replacement
  // An invalid byte, or a character no table maps: a UTF-16 unit, or a byte.
  std::uint16_t replacement;
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
  // which is not final (a first byte, or 8Fh and one byte of a three-byte sequence: at most
  // kMostCarried bytes), which the caller puts before the next block. In the final block
  // such bytes are invalid bytes.
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
  // Decodes the sequence at p, whose first byte is 80h or more, into out; returns the bytes
  // written. next is set to the position after the sequence (after the one byte of an
  // invalid byte), or to null when the sequence may go on past the end of a block that is
  // not final.
  template <bool kWide>
  int HighSequence(const std::uint8_t* p, const std::uint8_t* end, bool final, std::uint8_t* out,
                   const std::uint8_t*& next) const;
  // Writes the replacement at out; returns the bytes written.
  template <bool kWide>
  int Replacement(std::uint8_t* out) const;
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
