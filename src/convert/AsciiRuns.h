// Runs of printable ASCII (20h-7Eh) copied several characters at a time, and runs of two-byte
// EUC-JP sequences measured at once: the converters' instruction-set tricks. Each helper has
// an SSE2 form and, beside it, a portable form that gives the same result; the portable form
// serves where SSE2 is missing, and the tests hold the two against each other on random
// input. Below them, the steps of sixteen units or bytes where the processor has AVX2.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvo::ascii {

// --- Eight UTF-16 little-endian units ----------------------------------------------------
// When the eight units at in are all printable ASCII, their eight bytes go to out and the
// result is true; otherwise nothing is written.

inline bool CopyPrintableUnitsPortable(const std::uint8_t* in, std::uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) {
    // Four units in each 64-bit word, as lanes of 16 bits. A lane of 00h-7Fh plus 60h
    // reaches 80h exactly when it is 20h or more; plus 1 it reaches 80h only when it is 7Fh.
    // No lane carries into the next.
    constexpr std::uint64_t kHighBits = 0xFF80FF80FF80FF80u;
    constexpr std::uint64_t kBit7 = 0x0080008000800080u;
    std::uint64_t words[2];
    std::memcpy(words, in, 16);
    for (const std::uint64_t v : words) {
      const std::uint64_t atLeastSpace = v + 0x0060006000600060u;
      const std::uint64_t isDelete = v + 0x0001000100010001u;
      if ((v & kHighBits) != 0 || (atLeastSpace & ~isDelete & kBit7) != kBit7) return false;
    }
  } else {
    for (int i = 0; i < 8; ++i) {
      if (in[2 * i + 1] != 0 || in[2 * i] < 0x20 || in[2 * i] > 0x7E) return false;
    }
  }
  for (int i = 0; i < 8; ++i) out[i] = in[2 * i];
  return true;
}

#if defined(__SSE2__)
inline bool CopyPrintableUnitsSse2(const std::uint8_t* in, std::uint8_t* out) {
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  // Signed comparisons: units of 8000h and above count as negative and fail the first.
  const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16(0x1F)),
                                          _mm_cmplt_epi16(units, _mm_set1_epi16(0x7F)));
  if (_mm_movemask_epi8(printable) != 0xFFFF) return false;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
  return true;
}
#endif

inline bool CopyPrintableUnits(const std::uint8_t* in, std::uint8_t* out) {
#if defined(__SSE2__)
  return CopyPrintableUnitsSse2(in, out);
#else
  return CopyPrintableUnitsPortable(in, out);
#endif
}

// --- Sixteen bytes --------------------------------------------------------------------------
// The printable ASCII bytes at the start of the sixteen bytes at in go to out, each widened
// to a UTF-16 unit (the byte, then 0) when wide; returns how many there are (0 to 16). The
// bytes after them may be written too, up to 16 (32 when wide).

inline int CopyPrintableBytesPortable(const std::uint8_t* in, std::uint8_t* out, bool wide) {
  int count = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes in each 64-bit word. Of a byte's low seven bits, plus 60h reaches 80h
    // exactly when they are 20h or more, plus 1 only when they are 7Fh; the high bit is
    // tested apart, so no lane carries into the next.
    constexpr std::uint64_t kBit7 = 0x8080808080808080u;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    for (int half = 0; half < 2; ++half) {
      std::uint64_t v;
      std::memcpy(&v, in + 8 * half, 8);
      const std::uint64_t low = v & kLow7;
      const std::uint64_t printable =
          (low + 0x6060606060606060u) & ~(low + 0x0101010101010101u) & ~v & kBit7;
      const std::uint64_t other = ~printable & kBit7;
      if (other != 0) {
        count += std::countr_zero(other) / 8;
        break;
      }
      count += 8;
    }
  } else {
    while (count < 16 && in[count] >= 0x20 && in[count] <= 0x7E) ++count;
  }
  if (!wide) {
    std::memcpy(out, in, 16);
  } else {
    for (int i = 0; i < count; ++i) {
      out[2 * i] = in[i];
      out[2 * i + 1] = 0;
    }
  }
  return count;
}

#if defined(__SSE2__)
inline int CopyPrintableBytesSse2(const std::uint8_t* in, std::uint8_t* out, bool wide) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i printable =
      _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x7F)));
  if (wide) {
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi8(v, zero));
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
  }
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(printable));
  return std::countr_one(mask);
}
#endif

inline int CopyPrintableBytes(const std::uint8_t* in, std::uint8_t* out, bool wide) {
#if defined(__SSE2__)
  return CopyPrintableBytesSse2(in, out, wide);
#else
  return CopyPrintableBytesPortable(in, out, wide);
#endif
}

// --- Two-byte EUC-JP sequences ------------------------------------------------------
// How many two-byte sequences stand one after the other at the start of the sixteen bytes
// at in (0 to 8): each a first byte of 8Eh or A1h-FEh and a second byte of A1h-FEh. Any
// other byte ends the count, so that a byte which cannot continue a sequence is never taken
// as part of one.

inline int LeadingPairsPortable(const std::uint8_t* in) {
  int count = 0;
  while (count < 8) {
    const std::uint8_t first = in[2 * count];
    const std::uint8_t second = in[2 * count + 1];
    const bool lead = first == 0x8E || (first >= 0xA1 && first <= 0xFE);
    if (!lead || second < 0xA1 || second > 0xFE) break;
    ++count;
  }
  return count;
}

#if defined(__SSE2__)
inline int LeadingPairsSse2(const std::uint8_t* in) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  // A1h-FEh, compared as signed bytes: from -95 to -2.
  const __m128i trail = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xA0))),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xFF))));
  const __m128i lead =
      _mm_or_si128(trail, _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x8E))));
  const auto leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
  const auto trails = static_cast<unsigned>(_mm_movemask_epi8(trail));
  // Bit 2k is set for a whole sequence at 2k; the odd bits are filled so that the count of
  // low ones stops at the first even place without one.
  const unsigned whole = (leads & trails >> 1 & 0x5555u) | 0xAAAAu;
  return std::countr_one(whole) / 2;
}
#endif

inline int LeadingPairs(const std::uint8_t* in) {
#if defined(__SSE2__)
  return LeadingPairsSse2(in);
#else
  return LeadingPairsPortable(in);
#endif
}

// --- The first bytes of two-byte sequences among 64 ------------------------------------
// One bit for each of 64 bytes: in each run of bytes of 80h and above (high), the bytes at
// an even distance from the start of the run, which begin its two-byte sequences. carry (bit
// 0) marks a first byte that is the second of a sequence begun before, which begins no run.
// A run that starts at an even place is cleared by adding its lowest bit.
inline std::uint64_t SequenceStarts(std::uint64_t high, std::uint64_t carry) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;
  const std::uint64_t runs = high & ~carry;
  const std::uint64_t starts = runs & ~(runs << 1);
  const std::uint64_t oddRuns = runs & (runs + (starts & kEven));
  return ((runs ^ oddRuns) & kEven) | (oddRuns & ~kEven);
}

// --- Sixteen units or bytes at a step, where the processor has AVX2 -------------------------
// These are built only for 64-bit x86 with a GNU compiler, and run only where the processor
// and the system offer AVX2; each stands beside the portable step of the kernel that calls
// it, which is its oracle in the tests.

// Whether the steps below may run here.
bool Avx2Usable();

// The forward kernel's lookup entries as the step below reads them: output bytes in bits
// 0-15, kEntryPlain for an entry that needs nothing but its bytes, and the byte count in
// bits 30-31.
inline constexpr std::uint32_t kEntryPlain = 0x20000000u;
inline constexpr int kEntryCountShift = 30;

// Converts UTF-16 little-endian units sixteen at a time from in, while at least 24 units
// lie before stop, through the lookup of 65,536 entries: a group of sixteen whose entries
// are all plain gives their bytes (none, one or two each) at out. Returns where it stopped,
// at the first group with another entry; out is moved past the bytes written. Up to 8
// bytes past them may be written too, within the room of the units after the group.
const std::uint8_t* EncodePlainUnitsAvx2(const std::uint8_t* in, const std::uint8_t* stop,
                                         const std::uint32_t* lookup, std::uint8_t*& out);

// The rules of DecodeSequencesAvx2 for one conversion.
struct EucStepRules {
  // For every two-byte key (second byte times 256 plus first): its two output bytes when it
  // is a two-byte sequence (first byte 8Eh or A1h-FEh, second A1h-FEh) that gives its two
  // value bytes as they stand, else 0 0. 131,072 bytes.
  const std::uint8_t* pairOutput;
  bool wide;         // each output byte of a one-byte character is a UTF-16 unit
  bool tabs;         // 09h gives itself
  bool lineFeeds;    // 0Ah gives itself, a line end
  bool returns;      // 0Dh gives itself
  bool returnFeeds;  // 0Dh 0Ah together give themselves, the 0Ah a line end
};

// Decodes EUC-JP sixty-four bytes at a time from p, while at least 96 bytes lie before end:
// a printable ASCII byte, or a control byte the rules name, gives itself; a two-byte
// sequence gives its output bytes from the rules' table. Stops at the first byte of
// anything else (a byte the rules do not name, or a sequence the table gives nothing for),
// which is the start of a character, and returns where it stopped; out is moved past the
// bytes written (up to 32 more may be written past them, within the room of the input not
// yet decoded) and the line ends taken are added to lineEnds.
const std::uint8_t* DecodeSequencesAvx2(const std::uint8_t* p, const std::uint8_t* end,
                                        const EucStepRules& rules, std::uint8_t*& out,
                                        std::int64_t& lineEnds);

}  // namespace kelvo::ascii
