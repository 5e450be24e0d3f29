// The AVX2 steps of AsciiRuns.h. Each function carries its own target, so that the rest of
// the program keeps to the instruction set of the build and these run only where
// Avx2Usable() says so.
#include <array>
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

#else

bool Avx2Usable() {
  return false;
}

const std::uint8_t* EncodePlainUnitsAvx2(const std::uint8_t* in, const std::uint8_t*,
                                         const std::uint32_t*, std::uint8_t*&) {
  return in;
}

#endif

}  // namespace kelvo::ascii
