#include "convert/EucDecoder.h"

#include <bit>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvo {

namespace {

constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kCr = 0x0D;
// The first byte of a three-byte sequence, and the range of its other two bytes.
constexpr std::uint8_t kThreeByteLead = 0x8F;

inline bool IsThreeByteTrail(std::uint8_t b) {
  return b >= 0xA1 && b <= 0xFE;
}

// Room for the widest block store past the last byte written.
constexpr std::int64_t kSlack = 64;

}  // namespace

void FillControlFilter(ControlFilter& filter) {
  for (int b = 0; b < 256; ++b) {
    const bool drop = b < 0x20 || (b >= 0x7F && b <= 0xA0);
    filter[b] = drop ? kDropByte : static_cast<std::uint8_t>(b);
  }
}

EucDecoder::EucDecoder(const EucCodeTable& table, const EucOutputForm& form, LineEndMode mode,
                       const ControlFilter* filter)
    : entries_(table.Packed()), form_(form), filter_(filter) {
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
    } else if (filter_ == nullptr || (*filter_)[b] != kDropByte) {
      put(a, static_cast<std::uint8_t>(b));
    }
  }
  asciiRuns_ = true;
  for (int b = 0x20; b < 0x7F; ++b) {
    const SingleAction& a = single_[b];
    if (a.length != width || a.bytes[0] != b || (width == 2 && a.bytes[1] != 0)) {
      asciiRuns_ = false;
    }
  }
}

std::int64_t EucDecoder::Capacity(const EucOutputForm& form, std::int64_t size) {
  const std::int64_t perByte = form.wideUnits ? 4 : 2;
  const std::int64_t fixed = (form.byteOrderMark ? 2 : 0) + kSlack;
  if (size < 0 || size > (std::numeric_limits<std::int64_t>::max() - fixed) / perByte) return -1;
  return fixed + perByte * size;
}

std::uint8_t* EucDecoder::UnmappedPair(std::uint8_t first, std::uint8_t second,
                                       std::uint8_t* out) const {
  if (filter_ != nullptr && (*filter_)[first] == kDropByte) return out;
  *out++ = form_.unmappedPairGivesSecondByte ? second : first;
  if (form_.wideUnits) *out++ = 0;
  return out;
}

const std::uint8_t* EucDecoder::Unmapped(const std::uint8_t* p, const std::uint8_t* end, bool final,
                                         std::uint8_t*& out) const {
  if (p[0] != kThreeByteLead) {
    out = UnmappedPair(p[0], p[1], out);
    return p + 2;
  }
  // 8Fh: a three-byte sequence, or a lead byte without its trail, which is dropped so that
  // the bytes after it keep their own meaning.
  if (!IsThreeByteTrail(p[1])) return p + 1;
  if (end - p < 3) return final ? p + 1 : nullptr;
  if (!IsThreeByteTrail(p[2])) return p + 1;
  if (filter_ == nullptr || (*filter_)[kThreeByteLead] != kDropByte) {
    *out++ = static_cast<std::uint8_t>(form_.replacement);
    if (form_.wideUnits) *out++ = static_cast<std::uint8_t>(form_.replacement >> 8);
  }
  return p + 3;
}

std::int64_t EucDecoder::Decode(const std::uint8_t* in, std::int64_t size, std::uint8_t* out) {
  std::uint8_t* o = out;
  if (form_.byteOrderMark) {
    *o++ = 0xFF;
    *o++ = 0xFE;
  }
  lineEnds_ = 0;
  std::int64_t consumed = 0;
  return (o - out) + DecodeBlock(in, size, true, o, consumed);
}

std::int64_t EucDecoder::DecodeBlock(const std::uint8_t* in, std::int64_t size, bool final,
                                     std::uint8_t* out, std::int64_t& consumed) {
  std::uint8_t* o = out;
  const std::uint8_t* p = in;
  const std::uint8_t* const end = in + size;
  const std::uint32_t* const entries = entries_;
  std::int64_t lineEnds = 0;
  while (p < end) {
    const std::uint8_t b = *p;
    if (b < 0x80) {
#if defined(__SSE2__)
      if (asciiRuns_ && b >= 0x20 && b < 0x7F && end - p >= 16) {
        // Blocks of 16 printable bytes are copied (widened for UTF-16) at once; the first
        // block holds at least the current byte, so the run always advances.
        const __m128i low = _mm_set1_epi8(0x1F);
        const __m128i high = _mm_set1_epi8(0x7F);
        const __m128i zero = _mm_setzero_si128();
        while (end - p >= 16) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(v, low), _mm_cmplt_epi8(v, high));
          const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(printable));
          unsigned count = 16;
          if (form_.wideUnits) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_unpackhi_epi8(v, zero));
          } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
          }
          if (mask != 0xFFFF) count = static_cast<unsigned>(std::countr_one(mask));
          p += count;
          o += form_.wideUnits ? 2 * count : count;
          if (count != 16) break;
        }
        continue;
      }
#endif
      const SingleAction& a = single_[b];
      std::memcpy(o, a.bytes, 4);
      o += a.length;
      lineEnds += a.lineEnd;
      ++p;
      continue;
    }
    // A run of two-byte sequences.
    do {
      if (end - p < 2) {
        // A lead byte at the very end is dropped; one at the end of a block waits for the
        // next block.
        if (final) ++p;
        goto done;
      }
      const std::uint32_t entry = entries[std::uint32_t{p[1]} << 8 | *p];
      if ((entry & 0xFF) == EucCodeTable::kMappedKind) {
        o[0] = static_cast<std::uint8_t>(entry >> 8);
        o[1] = static_cast<std::uint8_t>(entry >> 16);
        o += 2;
        p += 2;
      } else if ((entry & 0xFF) == EucCodeTable::kOneByteKind) {
        *o++ = static_cast<std::uint8_t>(entry >> 8);
        if (form_.wideUnits) *o++ = 0;
        p += 2;
      } else {
        const std::uint8_t* const next = Unmapped(p, end, final, o);
        // A three-byte sequence that the block cuts waits for the next block.
        if (next == nullptr) goto done;
        p = next;
      }
    } while (p < end && *p >= 0x80);
  }
done:
  lineEnds_ += lineEnds;
  consumed = p - in;
  return o - out;
}

}  // namespace kelvo
