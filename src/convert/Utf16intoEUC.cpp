#include "convert/Utf16intoEUC.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cmdline/FinalEffect.h"
#include "convert/EngineFile.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr std::size_t kLookupSize = 65536;

// A lookup entry: output byte 1 in bits 0-7, byte 2 in bits 8-15, the byte count in bits
// 16-17. A high surrogate carries kPairStart (and kListed when the list names it): its
// bytes depend on the unit after it.
constexpr std::uint32_t kPairStart = 0x80000000u;
constexpr std::uint32_t kListed = 0x40000000u;

constexpr std::uint32_t Bytes(std::uint8_t first, std::uint8_t second, std::uint32_t count) {
  return first | static_cast<std::uint32_t>(second) << 8 | count << 16;
}

inline char16_t UnitAt(const std::uint8_t* p) {
  return static_cast<char16_t>(p[0] | p[1] << 8);
}

// When the eight units at in are all printable ASCII (20h-7Eh), writes their eight bytes
// to out and returns true.
inline bool CopyPrintableAscii(const std::uint8_t* in, std::uint8_t* out) {
#if defined(__SSE2__)
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  // Signed comparisons: units of 8000h and above count as negative and fail the first.
  const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16(0x1F)),
                                          _mm_cmplt_epi16(units, _mm_set1_epi16(0x7F)));
  if (_mm_movemask_epi8(printable) != 0xFFFF) return false;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
  return true;
#else
  // Four units in each 64-bit word, as little-endian lanes of 16 bits. A lane of 00h-7Fh
  // plus 60h reaches 80h exactly when it is 20h or more; plus 1 it reaches 80h only when
  // it is 7Fh. No lane carries into the next.
  constexpr std::uint64_t kHighBits = 0xFF80FF80FF80FF80u;
  constexpr std::uint64_t kBit7 = 0x0080008000800080u;
  std::uint64_t words[2];
  std::memcpy(words, in, 16);
  for (std::uint64_t v : words) {
    const std::uint64_t atLeastSpace = v + 0x0060006000600060u;
    const std::uint64_t isDelete = v + 0x0001000100010001u;
    if ((v & kHighBits) != 0 || (atLeastSpace & ~isDelete & kBit7) != kBit7) return false;
  }
  for (int i = 0; i < 8; ++i) out[i] = in[2 * i];
  return true;
#endif
}

// Units converted into one output block.
constexpr std::int64_t kBlockUnits = 1 << 17;

// The largest unit count whose input and output arrays can be addressed.
constexpr std::int64_t kMaximumUnits = static_cast<std::int64_t>(PTRDIFF_MAX / 4);

}  // namespace

ConvertUtf16intoEUC::ConvertUtf16intoEUC() = default;
ConvertUtf16intoEUC::~ConvertUtf16intoEUC() = default;

void ConvertUtf16intoEUC::Open(const FinalEffects& settings, const std::u16string& inputPath) {
  unitCount_ = -1;
  settings_ = &settings;
  inputPath_ = inputPath;
  outputPath_.clear();

  input_.Close();
  if (EngineFiles::OpenUtf16(inputPath_, CurrentProgram().errors.engine.open, input_, unitCount_,
                             startIndex_, head_, headLength_)) {
    streamed_ = !input_.IsRegular();
  }
  // A regular file is read again from its start by the conversion; only a stream, which
  // cannot be read twice, stays open with the bytes read from it.
  if (!streamed_) {
    input_.Close();
    headLength_ = 0;
  }
  outputCapacity_ = 2 * unitCount_;

  BuildIdentityBytes();
  byteTable_[0] = byteTable_[62];  // an unmapped U+0000 is written as ">"

  AllocateArrays();

  table_ = std::make_unique<PastoralSceneUTF16>();
  table_->LoadTableAndList(settings);
}

void ConvertUtf16intoEUC::HaltIfNoInput(int exitCode) const {
  if (unitCount_ < 0) Stop(exitCode);
}

bool ConvertUtf16intoEUC::ShowDataFile() {
  return EngineFiles::ShowDataFile(CurrentProgram().errors.engine.showData);
}

std::int64_t ConvertUtf16intoEUC::FileSizeOf(const std::u16string& path) {
  return platform::FileSize(path);
}

std::int64_t ConvertUtf16intoEUC::CopyToBinaryTmp(const std::u16string& path) {
  return EngineFiles::CopyToBinaryTmp(path);
}

std::int64_t ConvertUtf16intoEUC::CopyFromBinaryTmp(const std::u16string& path, bool keep) {
  return EngineFiles::CopyFromBinaryTmp(path, keep);
}

std::int64_t ConvertUtf16intoEUC::AllocateArrays() {
  const EngineNumbers& numbers = CurrentProgram().errors.engine;
  units_.Release();
  output_.reset();
  if (unitCount_ < 0) {
    ReportError(ErrorMessage(u"SetLength()", numbers.unitArray, ToText(unitCount_)));
    return -1;
  }
  // The input is converted one block at a time: a block of units, with room for a unit
  // kept from the block before, and a block of output, with room for the two bytes that
  // every unit may give and for a pair's low surrogate past the block. Neither is
  // zero-filled: the conversion overwrites what it uses.
  blockUnits_ = unitCount_ < kBlockUnits && !streamed_ ? unitCount_ : kBlockUnits;
  if (unitCount_ <= kMaximumUnits) units_.Allocate(2 * blockUnits_ + 2);
  if (!units_) {
    ReportAndStop(ErrorMessage(u"SetLength()", numbers.unitArray, ToText(unitCount_)));
  }
  output_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(2 * blockUnits_ + 2)]);
  if (!output_) {
    units_.Release();
    ReportAndStop(ErrorMessage(u"SetLength()", numbers.outputArray, ToText(outputCapacity_)));
  }
  return unitCount_;
}

void ConvertUtf16intoEUC::RenewInputTime(bool keep) {
  if (!streamed_) EngineFiles::RenewInputTime(inputPath_, keep);
}

void ConvertUtf16intoEUC::BuildIdentityBytes() {
  for (std::size_t i = 0; i < byteTable_.size(); ++i) byteTable_[i] = static_cast<std::uint8_t>(i);
}

void ConvertUtf16intoEUC::PrepareControlFilter() {
  for (int i = 0; i < kFilterSize; ++i) {
    const bool control = i <= 0x1F || (i >= 0x7F && i <= 0xA0);
    filterTable_[static_cast<std::size_t>(i)] = control ? kDrop : static_cast<std::uint8_t>(i);
  }
}

int ConvertUtf16intoEUC::ConvertCrLf(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::CrLf, false, CurrentProgram().errors.engine.read[0]);
}
int ConvertUtf16intoEUC::ConvertLf(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::Lf, false, CurrentProgram().errors.engine.read[1]);
}
int ConvertUtf16intoEUC::ConvertAsRead(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::AsRead, false, CurrentProgram().errors.engine.read[2]);
}
int ConvertUtf16intoEUC::ConvertCrLfFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::CrLf, true, CurrentProgram().errors.engine.read[3]);
}
int ConvertUtf16intoEUC::ConvertLfFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::Lf, true, CurrentProgram().errors.engine.read[4]);
}
int ConvertUtf16intoEUC::ConvertAsReadFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::AsRead, true, CurrentProgram().errors.engine.read[5]);
}

int ConvertUtf16intoEUC::Convert(const std::u16string& outputPath, LineEnds lineEnds, bool filtered,
                                 int readError) {
  outputPath_ = outputPath;
  if (unitCount_ < 0 || !units_) ReportAndStop(ErrorMessage(u"Reset()", readError, inputPath_));
  if (!input_.IsOpen()) {
    // A later conversion reads the input from its start again.
    headLength_ = 0;
    if (!input_.Open(inputPath_, platform::ReadMode::Raw)) {
      ReportAndStop(ErrorMessage(u"Reset()", readError, inputPath_));
    }
  }
  BuildLookup(lineEnds, filtered);
  return StreamAndWrite(readError);
}

int ConvertUtf16intoEUC::StreamAndWrite(int readError) {
  platform::OutputFile file;
  bool ok = file.Create(outputPath_, EngineFiles::PlacementFor(inputPath_, outputPath_));
  std::uint8_t* const buffer = units_.Data();
  const std::int64_t blockBytes = 2 * blockUnits_;
  // A regular file is converted up to the whole units it was measured at; anything else to
  // its end.
  std::int64_t remaining =
      streamed_ ? std::numeric_limits<std::int64_t>::max() : 2 * unitCount_;  // bytes not read
  // The bytes Open read come first.
  std::int64_t carry = std::min<std::int64_t>(headLength_, remaining);
  std::memcpy(buffer, head_, static_cast<std::size_t>(carry));
  remaining -= carry;
  headLength_ = 0;
  bool first = true;
  while (ok) {
    // The buffer holds a block and the unit kept from the block before; a byte left over
    // (only from a stream that ended) keeps the units aligned.
    const std::int64_t want = std::min(remaining, blockBytes - (carry & 1));
    const std::int64_t got = want > 0 ? input_.ReadFully(buffer + carry, want) : 0;
    if (got < 0) {
      input_.Close();
      file.Discard();
      ReportAndStop(ErrorMessage(u"Reset()", readError, inputPath_));
    }
    remaining -= got;
    const bool final = got < want || remaining == 0;
    // A file that shrank since Open, or a stream, ends at its last whole unit.
    const std::int64_t available = final ? (carry + got) & ~std::int64_t{1} : carry + got;
    const std::uint8_t* in = buffer;
    if (first) in += available < 2 * startIndex_ ? available : 2 * startIndex_;
    first = false;
    const std::uint8_t* const end = buffer + available;
    // Before the last block the final unit waits: it may be a high surrogate whose low
    // surrogate comes with the next block. A pair may still take it as its low surrogate.
    const std::uint8_t* const stop = final || end - in < 2 ? end : end - 2;
    const std::uint8_t* const last = Translate(in, stop, end, output_.get());
    ok = file.Write(output_.get(), last - output_.get());
    if (final) break;
    carry = end - in;
    std::memmove(buffer, in, static_cast<std::size_t>(carry));
  }
  // The input is closed before the output is put in place: the output may replace it.
  input_.Close();
  ok = ok && file.Close();
  if (!ok) {
    file.Discard();
    ReportError(
        ErrorMessage(u"Rewrite()", CurrentProgram().errors.engine.writeOutput, outputPath_));
    return -2;
  }
  return 0;
}

void ConvertUtf16intoEUC::BuildLookup(LineEnds lineEnds, bool filtered) {
  if (lookup_ == nullptr) {
    if (!lookupMemory_.AllocateTables(kLookupSize * sizeof(std::uint32_t))) throw std::bad_alloc();
    lookup_ = reinterpret_cast<std::uint32_t*>(lookupMemory_.Data());
  }
  const std::uint32_t unconvertible = Bytes(kUnconvertible, 0, 1);
  // Units from 256 up straight from the table's entries, in one pass without calls: an
  // unmapped one is a "?", or the start of a pair when it is a high surrogate.
  const std::uint8_t* const entries = table_->Entries();
  constexpr std::size_t kTableEnd = PastoralSceneUTF16::kLastUnit + 1;
  for (std::size_t u = byteTable_.size(); u < kLookupSize; ++u) {
    const std::uint8_t* const e = entries + 3 * (u < kTableEnd ? u : 0);
    const std::uint8_t kind = u < kTableEnd ? e[0] : PastoralSceneUTF16::kUnmapped;
    std::uint32_t entry;
    if (kind == PastoralSceneUTF16::kTwoBytes) {
      entry = Bytes(e[1], e[2], 2);
    } else if (kind == PastoralSceneUTF16::kOneByte) {
      entry = Bytes(e[1], 0, 1);
    } else if (kind == PastoralSceneUTF16::kListedHigh) {
      entry = kPairStart | kListed | unconvertible;
    } else if (u >= kHighFirst && u <= kHighLast) {
      entry = kPairStart | unconvertible;
    } else {
      entry = unconvertible;
    }
    lookup_[u] = entry;
  }
  // Units below 256: the line-end mode, the control filter and the byte table decide
  // those the table leaves unmapped. An unmapped unit of 80h-FFh is a "?": its own byte
  // would be an EUC-JP lead byte without a trail, which takes the next character with it.
  for (std::size_t u = 0; u < byteTable_.size(); ++u) {
    const std::uint8_t* const e = entries + 3 * u;
    std::uint32_t entry;
    if (e[0] == PastoralSceneUTF16::kTwoBytes) {
      entry = Bytes(e[1], e[2], 2);
    } else if (e[0] == PastoralSceneUTF16::kOneByte) {
      entry = Bytes(e[1], 0, 1);
    } else if (u == kLineFeed) {
      entry = lineEnds == LineEnds::CrLf ? Bytes(0x0D, 0x0A, 2) : Bytes(0x0A, 0, 1);
    } else if (u == kCarriageReturn) {
      entry = lineEnds == LineEnds::AsRead ? Bytes(0x0D, 0, 1) : Bytes(0, 0, 0);
    } else if (filtered && u < filterTable_.size() && filterTable_[u] == kDrop) {
      entry = Bytes(0, 0, 0);
    } else if (u >= 0x80) {
      entry = unconvertible;
    } else {
      entry = Bytes(byteTable_[u], 0, 1);
    }
    lookup_[u] = entry;
  }
  asciiAsIs_ = std::endian::native == std::endian::little;
  for (std::uint32_t u = 0x20; u <= 0x7E; ++u) {
    if (lookup_[u] != Bytes(static_cast<std::uint8_t>(u), 0, 1)) asciiAsIs_ = false;
  }
}

std::uint8_t* ConvertUtf16intoEUC::Translate(const std::uint8_t*& from, const std::uint8_t* stop,
                                             const std::uint8_t* end, std::uint8_t* out) const {
  const std::uint32_t* const lookup = lookup_;
  const std::uint8_t* in = from;
  // Every unit yields at most two bytes, and a pair of units at most two, so the output
  // block (two bytes per unit) has room for the two bytes stored before the count is
  // applied.
  while (stop - in >= 16) {
    // Eight units at a time. A run of printable ASCII, written as it is, needs no table.
    if (asciiAsIs_ && CopyPrintableAscii(in, out)) {
      out += 8;
      in += 16;
      continue;
    }
    // Otherwise each unit through the table, without a branch per unit: its two bytes are
    // stored and the output moves on by its count. Only a high surrogate, which needs the
    // unit after it, sends the eight units through the general step.
    std::uint32_t entries[8];
    std::uint32_t marks = 0;
    for (int k = 0; k < 8; ++k) {
      entries[k] = lookup[UnitAt(in + 2 * k)];
      marks |= entries[k];
    }
    if (marks & kPairStart) {
      const std::uint8_t* const chunkEnd = in + 16;
      while (in < chunkEnd) out = TranslateOne(in, end, out);
      continue;
    }
    for (const std::uint32_t entry : entries) {
      out[0] = static_cast<std::uint8_t>(entry);
      out[1] = static_cast<std::uint8_t>(entry >> 8);
      out += (entry >> 16) & 3;
    }
    in += 16;
  }
  while (in < stop) out = TranslateOne(in, end, out);
  from = in;
  return out;
}

std::uint8_t* ConvertUtf16intoEUC::TranslateOne(const std::uint8_t*& in, const std::uint8_t* end,
                                                std::uint8_t* out) const {
  const char16_t unit = UnitAt(in);
  const std::uint32_t entry = lookup_[unit];
  in += 2;
  if (!(entry & kPairStart)) {
    out[0] = static_cast<std::uint8_t>(entry);
    out[1] = static_cast<std::uint8_t>(entry >> 8);
    return out + ((entry >> 16) & 3);
  }
  // A high surrogate: with a low surrogate after it, the two make one character, written
  // as the list's replacement or as one "?". Otherwise it stands alone as a "?" and the
  // next unit is converted on its own.
  if (in < end) {
    const char16_t low = UnitAt(in);
    if (low >= kLowFirst && low <= kLowLast) {
      in += 2;
      std::uint8_t bytes[2];
      const int count = (entry & kListed) ? table_->ReplacementBytes(unit, low, bytes) : 0;
      if (count > 0) {
        std::memcpy(out, bytes, static_cast<std::size_t>(count));
        return out + count;
      }
    }
  }
  *out = kUnconvertible;
  return out + 1;
}

}  // namespace kelvo
