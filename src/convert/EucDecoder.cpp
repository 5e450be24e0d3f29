#include "convert/EucDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "convert/AsciiRuns.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kCr = 0x0D;
// The first byte of a three-byte sequence.
constexpr std::uint8_t kThreeByteLead = 0x8F;

// The second byte of a two-byte sequence, and the second and third of a three-byte one.
inline bool IsTrail(std::uint8_t b) {
  return b >= 0xA1 && b <= 0xFE;
}
// The first byte of a two-byte sequence: the single shift 8Eh (half-width katakana), or
// A1h-FEh.
inline bool IsPairLead(std::uint8_t b) {
  return b == 0x8E || IsTrail(b);
}

// The key of the two bytes at p: the second byte times 256 plus the first.
inline std::uint32_t KeyAt(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint16_t key;
    std::memcpy(&key, p, 2);
    return key;
  } else {
    return std::uint32_t{p[1]} << 8 | p[0];
  }
}

// Stores the two value bytes of an entry at o.
inline void PutValueBytes(std::uint8_t* o, std::uint32_t entry) {
  if constexpr (std::endian::native == std::endian::little) {
    const auto bytes = static_cast<std::uint16_t>(entry >> 8);
    std::memcpy(o, &bytes, 2);
  } else {
    o[0] = static_cast<std::uint8_t>(entry >> 8);
    o[1] = static_cast<std::uint8_t>(entry >> 16);
  }
}

// Room for the widest block store past the last byte written.
constexpr std::int64_t kSlack = 64;
// Bytes looked at by one step of an ASCII run.
constexpr std::int64_t kRunStep = 16;
// The AVX2 steps: the bytes they need before the end of the input, and the block size from
// which they pay for their table.
constexpr std::int64_t kAvx2Reach = 96;
constexpr std::int64_t kAvx2From = std::int64_t{1} << 16;

}  // namespace

EucDecoder::EucDecoder(const EucCodeTable& table, const EucOutputForm& form, LineEndMode mode,
                       Controls controls, Steps steps)
    : entries_(table.Packed()), form_(form), removeControls_(controls == Controls::Removed) {
  const std::uint8_t width = form.wideUnits ? 2 : 1;
  // Appends one character byte in the output's width.
  auto put = [width](SingleAction& a, std::uint8_t b) {
    a.bytes[a.length] = b;
    if (width == 2) a.bytes[a.length + 1] = 0;
    a.length = static_cast<std::uint8_t>(a.length + width);
  };
  for (int b = 0; b < 128; ++b) {
    SingleAction& a = single_[b];
    a = SingleAction{{0, 0, 0, 0}, 0, 0};
    const std::uint32_t entry = entries_[b];
    if ((entry & 0xFF) == EucCodeTable::kMappedKind) {
      a.bytes[0] = static_cast<std::uint8_t>(entry >> 8);
      a.bytes[1] = static_cast<std::uint8_t>(entry >> 16);
      a.length = 2;
    } else if ((entry & 0xFF) == EucCodeTable::kOneByteKind) {
      put(a, static_cast<std::uint8_t>(entry >> 8));
    } else if (b == kLf) {
      if (mode == LineEndMode::CrLf) put(a, kCr);
      put(a, kLf);
      a.lineEnd = 1;
    } else if (b == kCr) {
      if (mode == LineEndMode::AsRead) put(a, kCr);
    } else if (!Dropped(static_cast<std::uint8_t>(b))) {
      put(a, static_cast<std::uint8_t>(b));
    }
  }
  asciiRuns_ = steps != Steps::ByteByByte;
  pairRuns_ = steps != Steps::ByteByByte;
  for (int b = 0x20; b < 0x7F; ++b) {
    const SingleAction& a = single_[b];
    if (a.length != width || a.bytes[0] != b || (width == 2 && a.bytes[1] != 0)) {
      asciiRuns_ = false;
    }
  }
  // Which control bytes the AVX2 steps may pass as plain bytes: those that give themselves
  // alone (an LF counted as a line end), and a CR LF whose CR gives nothing and whose LF
  // gives CR LF.
  auto gives = [&](std::uint8_t b, std::initializer_list<std::uint8_t> bytes,
                   std::uint8_t lineEnd) {
    SingleAction expected{{0, 0, 0, 0}, 0, lineEnd};
    for (const std::uint8_t c : bytes) put(expected, c);
    const SingleAction& a = single_[b];
    return a.length == expected.length && a.lineEnd == expected.lineEnd &&
           std::memcmp(a.bytes, expected.bytes, a.length) == 0;
  };
  avx2_ = steps == Steps::Fast && asciiRuns_ && ascii::Avx2Usable();
  stepRules_ = ascii::EucStepRules{.pairOutput = nullptr,
                                   .wide = form.wideUnits,
                                   .tabs = gives(0x09, {0x09}, 0),
                                   .lineFeeds = gives(kLf, {kLf}, 1),
                                   .returns = gives(kCr, {kCr}, 0),
                                   .returnFeeds = gives(kCr, {}, 0) && gives(kLf, {kCr, kLf}, 1)};
}

std::int64_t EucDecoder::Capacity(const EucOutputForm& form, std::int64_t size) {
  const std::int64_t perByte = form.wideUnits ? 4 : 2;
  const std::int64_t fixed = (form.byteOrderMark ? 2 : 0) + kSlack;
  if (size < 0 || size > (std::numeric_limits<std::int64_t>::max() - fixed) / perByte) return -1;
  return fixed + perByte * size;
}

template <bool kWide>
int EucDecoder::Replacement(std::uint8_t* out) const {
  out[0] = static_cast<std::uint8_t>(form_.replacement);
  out[1] = static_cast<std::uint8_t>(form_.replacement >> 8);
  return kWide ? 2 : 1;
}

template <bool kWide>
int EucDecoder::HighSequence(const std::uint8_t* p, const std::uint8_t* end, bool final,
                             std::uint8_t* out, const std::uint8_t*& next) const {
  const std::uint8_t first = p[0];
  const std::int64_t left = end - p;
  if (IsPairLead(first)) {
    if (left < 2 && !final) {
      next = nullptr;
      return 0;
    }
    if (left >= 2 && IsTrail(p[1])) {
      next = p + 2;
      const std::uint32_t entry = entries_[KeyAt(p)];
      if ((entry & 0xFF) == EucCodeTable::kMappedKind) {
        PutValueBytes(out, entry);
        return 2;
      }
      if ((entry & 0xFF) == EucCodeTable::kOneByteKind) {
        out[0] = static_cast<std::uint8_t>(entry >> 8);
        out[1] = 0;
        return kWide ? 2 : 1;
      }
      if (Dropped(first)) return 0;
      if (!form_.unmappedPairGivesSecondByte) return Replacement<kWide>(out);
      out[0] = p[1];
      out[1] = 0;
      return kWide ? 2 : 1;
    }
  } else if (first == kThreeByteLead) {
    // The bytes that the block holds may begin a three-byte sequence that the next completes.
    if (left < 3 && !final && (left < 2 || IsTrail(p[1]))) {
      next = nullptr;
      return 0;
    }
    if (left >= 3 && IsTrail(p[1]) && IsTrail(p[2])) {
      next = p + 3;
      return Dropped(first) ? 0 : Replacement<kWide>(out);
    }
  }
  // One invalid byte: the byte after it starts the next sequence, whatever it is.
  next = p + 1;
  return removeControls_ ? 0 : Replacement<kWide>(out);
}

std::int64_t EucDecoder::Decode(const std::uint8_t* in, std::int64_t size, std::uint8_t* out) {
  std::uint8_t* o = out;
  if (form_.byteOrderMark) {
    *o++ = kByteOrderMark[0];
    *o++ = kByteOrderMark[1];
  }
  lineEnds_ = 0;
  std::int64_t consumed = 0;
  return (o - out) + Convert(in, size, true, o, consumed);
}

template <bool kWide>
inline const std::uint8_t* EucDecoder::DecodeBytes(const std::uint8_t* p, const std::uint8_t* end,
                                                   bool final, std::uint8_t*& out,
                                                   std::int64_t& lineEnds) const {
  // The members the loop reads, in locals: the compiler cannot tell that the bytes it
  // stores leave them as they are.
  const std::uint32_t* const entries = entries_;
  const SingleAction* const single = single_;
  const bool asciiRuns = asciiRuns_;
  const bool pairRuns = pairRuns_;
  const bool avx2 = avx2_ && stepRules_.pairOutput != nullptr;
  std::uint8_t* o = out;
  std::int64_t ends = 0;
  // Where the AVX2 steps may be tried again after they left the bytes at a place.
  const std::uint8_t* retry = p;
  while (p < end) {
    if (avx2 && p >= retry && end - p >= kAvx2Reach) {
      const std::uint8_t* const from = p;
      p = ascii::DecodeSequencesAvx2(p, end, stepRules_, o, ends);
      // They stopped at a character that the steps below take; if they stopped at once,
      // the steps below take the next sixteen bytes at least.
      retry = p == from ? p + 16 : p + 1;
      if (p != from) continue;
    }
    const std::uint8_t b = *p;
    if (b < 0x80) {
      if (asciiRuns && b >= 0x20 && b < 0x7F && end - p >= kRunStep) {
        // A run of printable bytes, copied (widened for UTF-16) several at a time; the first
        // step copies at least the current byte, so the run always advances. A full step
        // moves on by a constant, which the processor need not wait for.
        for (;;) {
          const int copied = ascii::CopyPrintableBytes(p, o, kWide);
          if (copied == kRunStep) {
            p += kRunStep;
            o += kWide ? 2 * kRunStep : kRunStep;
            if (end - p >= kRunStep) continue;
          } else {
            p += copied;
            o += kWide ? 2 * copied : copied;
          }
          break;
        }
        continue;
      }
      const SingleAction& a = single[b];
      std::memcpy(o, a.bytes, 4);
      o += a.length;
      ends += a.lineEnd;
      ++p;
      continue;
    }
    // A run of sequences of two or three bytes, and of invalid bytes.
    do {
      if (pairRuns && end - p >= kRunStep) {
        // The two-byte sequences among the next sixteen bytes, all looked up before any is
        // tested: when every one has a two-byte mapping, each gives its two value bytes.
        const int pairs = ascii::LeadingPairs(p);
        constexpr int kMostPairs = kRunStep / 2;
        if (pairs == kMostPairs) {
          // Eight of them: the common case inside a run, which moves on by a constant.
          std::uint32_t kinds = 0;
          for (int k = 0; k < kMostPairs; ++k) {
            const std::uint32_t entry = entries[KeyAt(p + 2 * k)];
            kinds |= entry ^ EucCodeTable::kMappedKind;
            PutValueBytes(o + 2 * k, entry);
          }
          if ((kinds & 0xFF) == 0) {
            p += kRunStep;
            o += kRunStep;
            continue;
          }
        } else if (pairs > 0) {
          std::uint32_t kinds = 0;
          for (int k = 0; k < pairs; ++k) {
            const std::uint32_t entry = entries[KeyAt(p + 2 * k)];
            kinds |= entry ^ EucCodeTable::kMappedKind;
            PutValueBytes(o + 2 * k, entry);
          }
          if ((kinds & 0xFF) == 0) {
            p += 2 * pairs;
            o += 2 * pairs;
            continue;
          }
        }
      }
      const std::uint8_t* next;
      o += HighSequence<kWide>(p, end, final, o, next);
      // A sequence that the block may cut waits for the next block.
      if (next == nullptr) {
        out = o;
        lineEnds += ends;
        return p;
      }
      p = next;
    } while (p < end && *p >= 0x80 && !(avx2 && p >= retry));
  }
  out = o;
  lineEnds += ends;
  return p;
}

bool EucDecoder::MakePairOutput() {
  if (!pairOutputMemory_.AllocateTables(2 * std::int64_t{EucCodeTable::kEntryCount})) return false;
  std::uint8_t* const output = pairOutputMemory_.Data();
  const bool wide = form_.wideUnits;
  // Only the keys of two-byte sequences: every other pair of bytes stops the steps, and the
  // byte-by-byte steps decode it.
  for (std::uint32_t second = 0xA1; second <= 0xFE; ++second) {
    for (std::uint32_t first = 0x8E; first <= 0xFE; ++first) {
      if (!IsPairLead(static_cast<std::uint8_t>(first))) continue;
      const std::uint32_t key = second << 8 | first;
      const std::uint32_t entry = entries_[key];
      const std::uint32_t kind = entry & 0xFF;
      // A one-byte kind gives its byte as a UTF-16 unit: its two value bytes when the
      // second is 0.
      if (kind == EucCodeTable::kMappedKind ||
          (wide && kind == EucCodeTable::kOneByteKind && (entry >> 16 & 0xFF) == 0)) {
        PutValueBytes(output + 2 * key, entry);
      }
    }
  }
  stepRules_.pairOutput = output;
  return true;
}

bool EucDecoder::PrepareLargeBlockSteps() {
  if (avx2_ && stepRules_.pairOutput == nullptr && !MakePairOutput()) {
    avx2_ = false;
    return false;
  }
  return true;
}

std::int64_t EucDecoder::Convert(const std::uint8_t* in, std::int64_t size, bool final,
                                 std::uint8_t* out, std::int64_t& consumed) {
  if (size >= kAvx2From) static_cast<void>(PrepareLargeBlockSteps());
  std::uint8_t* o = out;
  std::int64_t lineEnds = 0;
  const std::uint8_t* const stopped = form_.wideUnits
                                          ? DecodeBytes<true>(in, in + size, final, o, lineEnds)
                                          : DecodeBytes<false>(in, in + size, final, o, lineEnds);
  lineEnds_ += lineEnds;
  consumed = stopped - in;
  return o - out;
}

}  // namespace kelvo
