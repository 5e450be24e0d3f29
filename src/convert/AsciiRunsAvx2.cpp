// The AVX2 steps of AsciiRuns.h. Each function carries its own target, so that the rest of
// the program keeps to the instruction set of the build and these run only where
// Avx2Usable() says so.
#include <array>
#include <bit>
#include <cstring>

#include "convert/AsciiRuns.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define KELVO_AVX2_STEPS 1
#include <immintrin.h>
#endif

namespace kelvo::ascii {

#if defined(KELVO_AVX2_STEPS)

namespace {

// For four lookup entries in sixteen bytes, by the mask of those with one byte (bits 0-3)
// and of those with two (bits 4-7): the byte shuffle that keeps byte 0 of the entries with
// one or two bytes and byte 1 of those with two, in order.
constexpr std::array<std::array<std::uint8_t, 16>, 256> MakeEntryShuffles() {
  std::array<std::array<std::uint8_t, 16>, 256> shuffles{};
  for (int masks = 0; masks < 256; ++masks) {
    int at = 0;
    for (int entry = 0; entry < 4; ++entry) {
      const bool one = (masks >> entry & 1) != 0;
      const bool two = (masks >> (4 + entry) & 1) != 0;
      if (one || two) shuffles[masks][at++] = static_cast<std::uint8_t>(4 * entry);
      if (two) shuffles[masks][at++] = static_cast<std::uint8_t>(4 * entry + 1);
    }
    while (at < 16) shuffles[masks][at++] = 0x80;
  }
  return shuffles;
}
alignas(16) constexpr auto kEntryShuffles = MakeEntryShuffles();

// For eight 16-bit lanes, by the mask of those kept: the byte shuffle that moves them to the
// front, in order.
constexpr std::array<std::array<std::uint8_t, 16>, 256> MakeLaneShuffles() {
  std::array<std::array<std::uint8_t, 16>, 256> shuffles{};
  for (int mask = 0; mask < 256; ++mask) {
    int at = 0;
    for (int lane = 0; lane < 8; ++lane) {
      if ((mask >> lane & 1) == 0) continue;
      shuffles[mask][at++] = static_cast<std::uint8_t>(2 * lane);
      shuffles[mask][at++] = static_cast<std::uint8_t>(2 * lane + 1);
    }
    while (at < 16) shuffles[mask][at++] = 0x80;
  }
  return shuffles;
}
alignas(16) constexpr auto kLaneShuffles = MakeLaneShuffles();

}  // namespace

bool Avx2Usable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

#define KELVO_AVX2 __attribute__((target("avx2,popcnt")))

namespace {

// Writes the bytes of eight plain lookup entries at o: none, byte 0, or bytes 0 and 1, as
// the count in bits 30 and 31 says; returns the end of the bytes.
KELVO_AVX2 inline std::uint8_t* PutEntryBytes(__m256i entries, std::uint8_t* o) {
  const auto one =
      static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_slli_epi32(entries, 1))));
  const auto two = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(entries)));
  const unsigned low = (one & 15) | (two & 15) << 4;
  const unsigned high = one >> 4 | (two >> 4) << 4;
  const __m256i shuffle = _mm256_set_m128i(
      _mm_load_si128(reinterpret_cast<const __m128i*>(kEntryShuffles[high].data())),
      _mm_load_si128(reinterpret_cast<const __m128i*>(kEntryShuffles[low].data())));
  const __m256i bytes = _mm256_shuffle_epi8(entries, shuffle);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(bytes));
  o += _mm_popcnt_u32(low & 15) + 2 * _mm_popcnt_u32(low >> 4);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(bytes, 1));
  return o + _mm_popcnt_u32(high & 15) + 2 * _mm_popcnt_u32(high >> 4);
}

// The mask of the plain entries among eight.
KELVO_AVX2 inline int PlainEntries(__m256i entries) {
  return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_slli_epi32(entries, 2)));
}

}  // namespace

KELVO_AVX2 const std::uint8_t* EncodePlainUnitsAvx2(const std::uint8_t* in,
                                                    const std::uint8_t* stop,
                                                    const std::uint32_t* lookup,
                                                    std::uint8_t*& out) {
  std::uint8_t* o = out;
  const auto* table = reinterpret_cast<const int*>(lookup);
  while (stop - in >= 48) {
    // The entries looked up one by one: on some processors a gather instruction takes
    // longer than the sixteen loads it stands for.
    std::uint16_t units[16];
    std::memcpy(units, in, sizeof units);
    const __m256i first =
        _mm256_setr_epi32(table[units[0]], table[units[1]], table[units[2]], table[units[3]],
                          table[units[4]], table[units[5]], table[units[6]], table[units[7]]);
    const __m256i second =
        _mm256_setr_epi32(table[units[8]], table[units[9]], table[units[10]], table[units[11]],
                          table[units[12]], table[units[13]], table[units[14]], table[units[15]]);
    if ((PlainEntries(first) & PlainEntries(second)) != 0xFF) break;
    o = PutEntryBytes(first, o);
    o = PutEntryBytes(second, o);
    in += 32;
  }
  out = o;
  return in;
}

namespace {

// The 64-bit mask of the bytes of two 32-byte vectors whose bytes are all ones.
KELVO_AVX2 inline std::uint64_t ByteMask(__m256i low, __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(high))) << 32;
}

// The 64-bit mask of the bytes equal to c among the 64 in a and b.
KELVO_AVX2 inline std::uint64_t EqualBytes(__m256i a, __m256i b, char c) {
  const __m256i wanted = _mm256_set1_epi8(c);
  return ByteMask(_mm256_cmpeq_epi8(a, wanted), _mm256_cmpeq_epi8(b, wanted));
}

// The bytes 20h-7Eh of a vector, as all ones.
KELVO_AVX2 inline __m256i PrintableBytes(__m256i v) {
  return _mm256_and_si256(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(0x1F)),
                          _mm256_cmpgt_epi8(_mm256_set1_epi8(0x7F), v));
}

// The bits of a 16-bit mask as sixteen bytes of all ones or zeros.
KELVO_AVX2 inline __m128i MaskBytes(unsigned mask) {
  const __m128i bits = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i spread =
      _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(mask)),
                       _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1));
  return _mm_cmpeq_epi8(_mm_and_si128(spread, bits), bits);
}

// The bits of a 16-bit mask as sixteen 16-bit lanes of all ones or zeros.
KELVO_AVX2 inline __m256i MaskLanes(unsigned mask) {
  const __m256i bits = _mm256_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096,
                                         8192, 16384, -32768);
  return _mm256_cmpeq_epi16(_mm256_and_si256(_mm256_set1_epi16(static_cast<short>(mask)), bits),
                            bits);
}

}  // namespace

KELVO_AVX2 const std::uint8_t* DecodeSequencesAvx2(const std::uint8_t* p, const std::uint8_t* end,
                                                   const EucStepRules& rules, std::uint8_t*& out,
                                                   std::int64_t& lineEnds) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;
  const std::uint8_t* const pairOutput = rules.pairOutput;
  const bool wide = rules.wide;
  std::uint8_t* o = out;
  // Whether the first byte of the block is the second byte of a sequence of the block before,
  // and (for bytes out) that sequence's second output byte, in byte 15.
  std::uint64_t carry = 0;
  __m128i carriedHigh = _mm_setzero_si128();
  while (end - p >= 96) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const std::uint64_t high = ByteMask(a, b);
    const std::uint64_t lf = EqualBytes(a, b, 0x0A);
    const std::uint64_t cr = EqualBytes(a, b, 0x0D);
    std::uint64_t plain = ByteMask(PrintableBytes(a), PrintableBytes(b));
    if (rules.tabs) plain |= EqualBytes(a, b, 0x09);
    if (rules.lineFeeds) plain |= lf;
    if (rules.returns) plain |= cr;
    if (rules.returnFeeds) plain |= (cr & lf >> 1) | (lf & cr << 1);
    // The first bytes of the sequences: in each run of high bytes, those at an even distance
    // from its start. Adding a run's lowest bit clears the runs that start at an even place.
    const std::uint64_t runs = high & ~carry;
    const std::uint64_t starts = runs & ~(runs << 1);
    const std::uint64_t oddRuns = runs & (runs + (starts & kEven));
    const std::uint64_t lead = ((runs ^ oddRuns) & kEven) | (oddRuns & ~kEven);
    const std::uint64_t trail = lead << 1 | carry;
    const std::uint64_t single = ~high & ~trail;
    const std::uint64_t strange = single & ~plain;
    if ((high | strange | carry) == 0) {
      // Plain bytes alone.
      if (wide) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i aa = _mm256_permute4x64_epi64(a, 0xD8);
        const __m256i bb = _mm256_permute4x64_epi64(b, 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_unpacklo_epi8(aa, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), _mm256_unpackhi_epi8(aa, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), _mm256_unpacklo_epi8(bb, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 96), _mm256_unpackhi_epi8(bb, zero));
        o += 128;
      } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), b);
        o += 64;
      }
      lineEnds += _mm_popcnt_u64(lf);
      p += 64;
      continue;
    }
    // Sixteen bytes at a step, up to the first step that holds a byte the rules leave out.
    const int steps = strange != 0 ? std::countr_zero(strange) / 16 : 4;
    int step = 0;
    for (; step < steps; ++step) {
      const std::uint8_t* const q = p + 16 * step;
      const auto leads = static_cast<unsigned>(lead >> 16 * step & 0xFFFF);
      const auto trails = static_cast<unsigned>(trail >> 16 * step & 0xFFFF);
      // The output of the key at every place, of use only where a sequence starts; 0 where
      // a sequence does not simply give its two bytes.
      alignas(32) std::uint16_t outputs[16];
      for (int i = 0; i < 16; ++i) {
        std::uint16_t key;
        std::memcpy(&key, q + i, 2);
        std::memcpy(&outputs[i], pairOutput + 2 * std::uint32_t{key}, 2);
      }
      const __m256i values = _mm256_load_si256(reinterpret_cast<const __m256i*>(outputs));
      const __m256i leadLanes = MaskLanes(leads);
      if (_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi16(values, _mm256_setzero_si256()),
                                                leadLanes)) != 0) {
        break;
      }
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      if (wide) {
        // A unit for every byte but the second of a sequence, which goes.
        const __m256i units = _mm256_blendv_epi8(_mm256_cvtepu8_epi16(bytes), values, leadLanes);
        const unsigned kept = ~trails & 0xFFFF;
        const __m256i shuffle = _mm256_set_m128i(
            _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneShuffles[kept >> 8].data())),
            _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneShuffles[kept & 0xFF].data())));
        const __m256i packed = _mm256_shuffle_epi8(units, shuffle);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packed));
        o += 2 * _mm_popcnt_u32(kept & 0xFF);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(packed, 1));
        o += 2 * _mm_popcnt_u32(kept >> 8);
      } else {
        // Every byte in its place: a sequence's first output byte where it starts, its
        // second where its second byte stands.
        const __m256i split = _mm256_permute4x64_epi64(
            _mm256_packus_epi16(_mm256_and_si256(values, _mm256_set1_epi16(0xFF)),
                                _mm256_srli_epi16(values, 8)),
            0xD8);
        const __m128i firsts = _mm256_castsi256_si128(split);
        const __m128i seconds = _mm256_extracti128_si256(split, 1);
        const __m128i shifted = _mm_alignr_epi8(seconds, carriedHigh, 15);
        const __m128i placed = _mm_blendv_epi8(_mm_blendv_epi8(bytes, firsts, MaskBytes(leads)),
                                               shifted, MaskBytes(trails));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), placed);
        o += 16;
        carriedHigh = seconds;
      }
    }
    // The line feeds taken, each a plain byte.
    const std::uint64_t taken = step == 4 ? ~std::uint64_t{0} : (std::uint64_t{1} << 16 * step) - 1;
    lineEnds += _mm_popcnt_u64(lf & single & taken);
    if (step < 4) {
      // A CR LF split by the stop: its CR, written as it stands, is taken back, for the LF
      // alone would give CR LF again.
      if (rules.returnFeeds && step > 0 && (cr >> (16 * step - 1) & 1) != 0 &&
          (lf >> 16 * step & 1) != 0) {
        o -= wide ? 2 : 1;
        out = o;
        return p + 16 * step - 1;
      }
      // The first byte of the step may be the second of a sequence already decoded.
      const bool second = (trail >> 16 * step & 1) != 0;
      if (second && !wide) *o++ = static_cast<std::uint8_t>(_mm_extract_epi8(carriedHigh, 15));
      out = o;
      return p + 16 * step + (second ? 1 : 0);
    }
    carry = lead >> 63;
    p += 64;
  }
  if (carry != 0) {
    if (!wide) *o++ = static_cast<std::uint8_t>(_mm_extract_epi8(carriedHigh, 15));
    ++p;
  }
  out = o;
  return p;
}

#else

bool Avx2Usable() {
  return false;
}

const std::uint8_t* EncodePlainUnitsAvx2(const std::uint8_t* in, const std::uint8_t*,
                                         const std::uint32_t*, std::uint8_t*&) {
  return in;
}

const std::uint8_t* DecodeSequencesAvx2(const std::uint8_t* p, const std::uint8_t*,
                                        const EucStepRules&, std::uint8_t*&, std::int64_t&) {
  return p;
}

#endif

}  // namespace kelvo::ascii
