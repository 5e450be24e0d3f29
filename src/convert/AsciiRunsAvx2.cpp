// The AVX2 steps of AsciiRuns.h. Each function carries its own target, so that the rest of
// the program keeps to the instruction set of the build and these run only where
// Avx2Usable() says so.
#include <algorithm>
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

// Eight two-byte sequences one after the other from q: writes the output bytes that the
// table gives them at o (16 bytes, all written) and returns how many sequences, from the
// first, it gives bytes for: 8 when it gives them for all.
inline int PutEightSequences(const std::uint8_t* q, const std::uint8_t* pairOutput,
                             std::uint8_t* o) {
  constexpr std::uint64_t kLaneOnes = 0x0001000100010001u;
  constexpr std::uint64_t kLaneHighs = 0x8000800080008000u;
  std::uint64_t words[2];
  for (int half = 0; half < 2; ++half) {
    std::uint64_t word = 0;
    for (int k = 0; k < 4; ++k) {
      std::uint16_t key;
      std::uint16_t value;
      std::memcpy(&key, q + 8 * half + 2 * k, 2);
      std::memcpy(&value, pairOutput + 2 * std::uint32_t{key}, 2);
      word |= std::uint64_t{value} << 16 * k;
    }
    words[half] = word;
  }
  std::memcpy(o, words, 16);
  // The lowest lane of 0 sets the lowest of these bits (its borrow may set higher ones).
  const std::uint64_t low = (words[0] - kLaneOnes) & ~words[0] & kLaneHighs;
  const std::uint64_t high = (words[1] - kLaneOnes) & ~words[1] & kLaneHighs;
  if ((low | high) == 0) return 8;
  return low != 0 ? std::countr_zero(low) / 16 : 4 + std::countr_zero(high) / 16;
}

// The output of the key at every place of the sixteen bytes at q, of use only where a
// sequence starts; 0 where a sequence does not simply give its two bytes.
KELVO_AVX2 inline __m256i LookUpSequences(const std::uint8_t* q, const std::uint8_t* pairOutput) {
  alignas(32) std::uint16_t outputs[16];
  for (int i = 0; i < 16; ++i) {
    std::uint16_t key;
    std::memcpy(&key, q + i, 2);
    std::memcpy(&outputs[i], pairOutput + 2 * std::uint32_t{key}, 2);
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(outputs));
}

// What the bytes of one block of 64 are, one bit for each.
struct BlockClasses {
  std::uint64_t high;     // 80h and above
  std::uint64_t lf;       // LF
  std::uint64_t lead;     // the first byte of a two-byte sequence
  std::uint64_t single;   // below 80h
  std::uint64_t strange;  // below 80h and none that the rules pass as they stand
};

// The classes of the 64 bytes in a and b; carry: the first is the second byte of a sequence
// that the block before began.
KELVO_AVX2 inline BlockClasses ClassifyBlock(__m256i a, __m256i b, const EucStepRules& rules,
                                             std::uint64_t carry) {
  BlockClasses c{};
  c.high = ByteMask(a, b);
  c.lf = EqualBytes(a, b, 0x0A);
  const std::uint64_t cr = EqualBytes(a, b, 0x0D);
  std::uint64_t plain = ByteMask(PrintableBytes(a), PrintableBytes(b));
  if (rules.tabs) plain |= EqualBytes(a, b, 0x09);
  if (rules.lineFeeds) plain |= c.lf;
  if (rules.returns) plain |= cr;
  if (rules.returnFeeds) plain |= (cr & c.lf >> 1) | (c.lf & cr << 1);
  c.lead = SequenceStarts(c.high, carry);
  c.single = ~c.high & ~(c.lead << 1 | carry);
  c.strange = c.single & ~plain;
  return c;
}

// Writes the 64 plain bytes of a and b at o, each a unit when wide; returns the end.
KELVO_AVX2 inline std::uint8_t* PutPlainBlock(__m256i a, __m256i b, bool wide, std::uint8_t* o) {
  if (!wide) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), b);
    return o + 64;
  }
  const __m256i zero = _mm256_setzero_si256();
  const __m256i aa = _mm256_permute4x64_epi64(a, 0xD8);
  const __m256i bb = _mm256_permute4x64_epi64(b, 0xD8);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_unpacklo_epi8(aa, zero));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), _mm256_unpackhi_epi8(aa, zero));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), _mm256_unpacklo_epi8(bb, zero));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 96), _mm256_unpackhi_epi8(bb, zero));
  return o + 128;
}

// Decodes a block of 64 bytes that are all parts of two-byte sequences, from its first byte
// or (skipped) its second, eight sequences at a time: their output bytes one after the
// other. Returns the bytes taken: 64, or up to the first sequence that the table gives
// nothing for. For bytes out, carriedHigh holds in byte 15 the second output byte of a
// sequence that the block before began, and gets that of one that the next block ends.
KELVO_AVX2 inline int PutSequenceBlock(const std::uint8_t* p, int skipped,
                                       const EucStepRules& rules, std::uint8_t*& o,
                                       __m128i& carriedHigh) {
  const bool narrowSkip = skipped != 0 && !rules.wide;
  if (narrowSkip) *o = static_cast<std::uint8_t>(_mm_extract_epi8(carriedHigh, 15));
  for (int step = 0; step < 4; ++step) {
    std::uint8_t* const put = narrowSkip ? o + 1 : o;
    const int given = PutEightSequences(p + 16 * step + skipped, rules.pairOutput, put);
    if (given < 8) {
      o += rules.wide ? 2 * given : skipped + 2 * given;
      return 16 * step + skipped + 2 * given;
    }
    o += 16;
  }
  if (narrowSkip) carriedHigh = _mm_slli_si128(_mm_cvtsi32_si128(*o), 15);
  return 64;
}

// Where a step of sixteen bytes stops: at the first byte that the rules leave out (left),
// or at the first sequence start (leadLanes) whose output is 0; 16 when at neither.
KELVO_AVX2 inline int StepStop(__m256i values, __m256i leadLanes, unsigned left) {
  const auto unmapped = static_cast<unsigned>(_mm256_movemask_epi8(
      _mm256_and_si256(_mm256_cmpeq_epi16(values, _mm256_setzero_si256()), leadLanes)));
  return std::min(unmapped != 0 ? std::countr_zero(unmapped) / 2 : 16,
                  left != 0 ? std::countr_zero(left) : 16);
}

// Writes the units of the bytes of a step before stop: a unit for every byte but the
// second of a sequence, which goes; a sequence gives its output. Returns the end.
KELVO_AVX2 inline std::uint8_t* PutWideStep(__m128i bytes, __m256i values, __m256i leadLanes,
                                            unsigned trails, int stop, std::uint8_t* o) {
  const __m256i units = _mm256_blendv_epi8(_mm256_cvtepu8_epi16(bytes), values, leadLanes);
  const unsigned kept = ~trails & (stop == 16 ? 0xFFFFu : (1u << stop) - 1);
  const __m256i shuffle = _mm256_set_m128i(
      _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneShuffles[kept >> 8].data())),
      _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneShuffles[kept & 0xFF].data())));
  const __m256i packed = _mm256_shuffle_epi8(units, shuffle);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packed));
  o += 2 * _mm_popcnt_u32(kept & 0xFF);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(packed, 1));
  return o + 2 * _mm_popcnt_u32(kept >> 8);
}

// Writes the bytes of a step before stop, every one in its place: a sequence's first output
// byte where it starts, its second where its second byte stands (from carriedHigh when the
// step before began it). No sequence straddles the stop, which is never a second byte.
// Returns the end.
KELVO_AVX2 inline std::uint8_t* PutNarrowStep(__m128i bytes, __m256i values, unsigned leads,
                                              unsigned trails, int stop, __m128i& carriedHigh,
                                              std::uint8_t* o) {
  const __m256i split = _mm256_permute4x64_epi64(
      _mm256_packus_epi16(_mm256_and_si256(values, _mm256_set1_epi16(0xFF)),
                          _mm256_srli_epi16(values, 8)),
      0xD8);
  const __m128i firsts = _mm256_castsi256_si128(split);
  const __m128i seconds = _mm256_extracti128_si256(split, 1);
  const __m128i shifted = _mm_alignr_epi8(seconds, carriedHigh, 15);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                   _mm_blendv_epi8(_mm_blendv_epi8(bytes, firsts, MaskBytes(leads)), shifted,
                                   MaskBytes(trails)));
  carriedHigh = seconds;
  return o + stop;
}

// Decodes a block of 64 bytes sixteen at a time, up to the first byte that the steps leave
// out; returns the bytes taken (64 when none).
KELVO_AVX2 inline int PutMixedBlock(const std::uint8_t* p, const BlockClasses& c,
                                    std::uint64_t carry, const EucStepRules& rules,
                                    std::uint8_t*& o, __m128i& carriedHigh) {
  const std::uint64_t trail = c.lead << 1 | carry;
  for (int step = 0; step < 4; ++step) {
    const std::uint8_t* const q = p + 16 * step;
    const auto leads = static_cast<unsigned>(c.lead >> 16 * step & 0xFFFF);
    const auto trails = static_cast<unsigned>(trail >> 16 * step & 0xFFFF);
    const __m256i values = LookUpSequences(q, rules.pairOutput);
    const __m256i leadLanes = MaskLanes(leads);
    const int stop =
        StepStop(values, leadLanes, static_cast<unsigned>(c.strange >> 16 * step & 0xFFFF));
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    o = rules.wide ? PutWideStep(bytes, values, leadLanes, trails, stop, o)
                   : PutNarrowStep(bytes, values, leads, trails, stop, carriedHigh, o);
    if (stop < 16) return 16 * step + stop;
  }
  return 64;
}

}  // namespace

KELVO_AVX2 const std::uint8_t* DecodeSequencesAvx2(const std::uint8_t* p, const std::uint8_t* end,
                                                   const EucStepRules& rules, std::uint8_t*& out,
                                                   std::int64_t& lineEnds) {
  std::uint8_t* o = out;
  // Whether the first byte of the block is the second byte of a sequence of the block before,
  // and (for bytes out) that sequence's second output byte, in byte 15.
  std::uint64_t carry = 0;
  __m128i carriedHigh = _mm_setzero_si128();
  while (end - p >= 96) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const BlockClasses c = ClassifyBlock(a, b, rules, carry);
    int taken = 64;
    if ((c.high | c.strange | carry) == 0) {
      o = PutPlainBlock(a, b, rules.wide, o);
    } else if (c.high == ~std::uint64_t{0}) {
      taken = PutSequenceBlock(p, static_cast<int>(carry), rules, o, carriedHigh);
    } else {
      taken = PutMixedBlock(p, c, carry, rules, o, carriedHigh);
    }
    // The line feeds taken, each a plain byte.
    const std::uint64_t before = taken == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << taken) - 1;
    lineEnds += _mm_popcnt_u64(c.lf & c.single & before);
    if (taken < 64) {
      out = o;
      return p + taken;
    }
    carry = c.lead >> 63;
    p += 64;
  }
  if (carry != 0) {
    if (!rules.wide) *o++ = static_cast<std::uint8_t>(_mm_extract_epi8(carriedHigh, 15));
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
