// kelvo's conversions. Each character is decoded to its code point and encoded again, in one
// loop made for each pair of encodings; runs of printable ASCII, and where the processor has
// AVX2 the runs the three converters' kernels take at a step, skip the code point.
//
// The places of replaced characters are not followed character by character: while places
// are still wanted (the first ten), each block's line ends are counted sixteen bytes at a
// step and its characters only back to its last line feed.
#include "kelvo/Transcode.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "convert/AsciiRuns.h"
#include "fields/PutCSV.h"
#include "kelvo/CodeTables.h"

namespace kelvo::transcode {

namespace {

using E = Encoding;

constexpr char32_t kBad = 0xFFFFFFFFu;  // an invalid or unmapped input sequence
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint8_t kQuestionMark = '?';
// Input bytes the AVX2 steps need before the end of a block, and the size of block from
// which their tables are worth making.
constexpr std::int64_t kAvx2Reach = 96;
constexpr std::int64_t kAvx2Block = 4096;

template <Encoding F>
constexpr bool kByteForm = F == E::Utf8 || F == E::EucJp || F == E::ShiftJis;
template <Encoding F>
constexpr std::int64_t kUnitBytes = kByteForm<F> ? 1 : 2;

constexpr bool Within(std::uint8_t b, std::uint8_t low, std::uint8_t high) {
  return b >= low && b <= high;
}

// One decoded input sequence: its code point (kBad when invalid or unmapped) and its length;
// length 0 when the sequence is valid so far but runs past the end.
struct Decoded {
  char32_t c;
  std::int64_t length;
};

template <Encoding F>
inline char16_t UnitAt(const std::uint8_t* p) {
  if constexpr (F == E::Utf16BE) {
    return static_cast<char16_t>(p[0] << 8 | p[1]);
  } else {
    return static_cast<char16_t>(p[1] << 8 | p[0]);
  }
}

// Decodes the sequence at p, before end (p < end). An invalid sequence is as long as its
// longest start that could begin a valid one, and at least one byte (one unit in UTF-16).
template <Encoding F>
inline Decoded DecodeOne(const std::uint8_t* p, const std::uint8_t* end) {
  const std::uint8_t b = p[0];
  if constexpr (F == E::Utf8) {
    if (b < 0x80) return {b, 1};
    std::int64_t n;
    char32_t c;
    std::uint8_t low = 0x80, high = 0xBF;
    if (Within(b, 0xC2, 0xDF)) {
      n = 2;
      c = b & 0x1Fu;
    } else if (Within(b, 0xE0, 0xEF)) {
      n = 3;
      c = b & 0x0Fu;
      if (b == 0xE0) low = 0xA0;   // no overlong forms
      if (b == 0xED) high = 0x9F;  // no surrogates
    } else if (Within(b, 0xF0, 0xF4)) {
      n = 4;
      c = b & 0x07u;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
      return {kBad, 1};
    }
    for (std::int64_t i = 1; i < n; ++i) {
      if (p + i >= end) return {kBad, 0};
      if (!Within(p[i], low, high)) return {kBad, i};
      low = 0x80;
      high = 0xBF;
      c = c << 6 | (p[i] & 0x3Fu);
    }
    return {c, n};
  } else if constexpr (F == E::Utf16LE || F == E::Utf16BE) {
    if (end - p < 2) return {kBad, 0};
    const char16_t u = UnitAt<F>(p);
    if (u < 0xD800 || u > 0xDFFF) return {u, 2};
    if (u >= 0xDC00) return {kBad, 2};
    if (end - p < 4) return {kBad, 0};
    const char16_t v = UnitAt<F>(p + 2);
    if (v < 0xDC00 || v > 0xDFFF) return {kBad, 2};
    return {0x10000 + (static_cast<char32_t>(u - 0xD800) << 10) + (v - 0xDC00u), 4};
  } else if constexpr (F == E::EucJp) {
    if (b < 0x80) return {b, 1};
    if (b == 0x8F) {
      if (end - p < 2) return {kBad, 0};
      if (!Within(p[1], 0xA1, 0xFE)) return {kBad, 1};
      if (end - p < 3) return {kBad, 0};
      if (!Within(p[2], 0xA1, 0xFE)) return {kBad, 2};
      const char32_t u = tables::EucTriple(p[1], p[2]);
      return {u != 0 ? u : kBad, 3};
    }
    if (b == 0x8E || Within(b, 0xA1, 0xFE)) {
      if (end - p < 2) return {kBad, 0};
      if (!Within(p[1], 0xA1, b == 0x8E ? 0xDF : 0xFE)) return {kBad, 1};
      const char32_t u = tables::EucDouble(b, p[1]);
      return {u != 0 ? u : kBad, 2};
    }
    return {kBad, 1};
  } else {
    static_assert(F == E::ShiftJis);
    if (b < 0x80) return {b, 1};
    if (Within(b, 0xA1, 0xDF)) return {0xFF61u + (b - 0xA1u), 1};
    if (Within(b, 0x81, 0x9F) || Within(b, 0xE0, 0xFC)) {
      if (end - p < 2) return {kBad, 0};
      if (!Within(p[1], 0x40, 0x7E) && !Within(p[1], 0x80, 0xFC)) return {kBad, 1};
      const char32_t u = tables::SjisDouble(b, p[1]);
      return {u != 0 ? u : kBad, 2};
    }
    return {kBad, 1};
  }
}

// Writes the code point at o; returns the bytes written, 0 when the target lacks it.
template <Encoding T>
inline int EncodeOne(char32_t c, std::uint8_t* o) {
  if constexpr (T == E::Utf8) {
    if (c < 0x80) {
      o[0] = static_cast<std::uint8_t>(c);
      return 1;
    }
    if (c < 0x800) {
      o[0] = static_cast<std::uint8_t>(0xC0 | c >> 6);
      o[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      return 2;
    }
    if (c < 0x10000) {
      o[0] = static_cast<std::uint8_t>(0xE0 | c >> 12);
      o[1] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
      o[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      return 3;
    }
    o[0] = static_cast<std::uint8_t>(0xF0 | c >> 18);
    o[1] = static_cast<std::uint8_t>(0x80 | (c >> 12 & 0x3F));
    o[2] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
    o[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 4;
  } else if constexpr (T == E::Utf16LE || T == E::Utf16BE) {
    const auto put = [o](int at, char32_t unit) {
      const int high = T == E::Utf16BE ? 0 : 1;
      o[at + high] = static_cast<std::uint8_t>(unit >> 8);
      o[at + 1 - high] = static_cast<std::uint8_t>(unit);
    };
    if (c < 0x10000) {
      put(0, c);
      return 2;
    }
    put(0, 0xD800 + ((c - 0x10000) >> 10));
    put(2, 0xDC00 + (c & 0x3FF));
    return 4;
  } else if constexpr (T == E::EucJp) {
    if (c < 0x80) {
      o[0] = static_cast<std::uint8_t>(c);
      return 1;
    }
    const std::uint16_t v = c < 0x10000 ? tables::kUnitEuc[c] : 0;
    if (v == 0) return 0;
    if (v >= 0x8000) {
      o[0] = static_cast<std::uint8_t>(v >> 8);
      o[1] = static_cast<std::uint8_t>(v);
      return 2;
    }
    o[0] = 0x8F;
    o[1] = static_cast<std::uint8_t>(v >> 8 | 0x80);
    o[2] = static_cast<std::uint8_t>(v);
    return 3;
  } else {
    static_assert(T == E::ShiftJis);
    if (c < 0x80) {
      o[0] = static_cast<std::uint8_t>(c);
      return 1;
    }
    const std::uint16_t v = c < 0x10000 ? tables::kUnitSjis[c] : 0;
    if (v == 0) return 0;
    if (v < 0x100) {
      o[0] = static_cast<std::uint8_t>(v);
      return 1;
    }
    o[0] = static_cast<std::uint8_t>(v >> 8);
    o[1] = static_cast<std::uint8_t>(v);
    return 2;
  }
}

template <Encoding T>
inline int EncodeReplacement(std::uint8_t* o) {
  if constexpr (T == E::EucJp || T == E::ShiftJis) {
    o[0] = kQuestionMark;
    return 1;
  } else {
    return EncodeOne<T>(kReplacementCharacter, o);
  }
}

template <Encoding F>
inline bool IsLineFeed(const std::uint8_t* p) {
  if constexpr (F == E::Utf16LE) return p[0] == 0x0A && p[1] == 0;
  if constexpr (F == E::Utf16BE) return p[0] == 0 && p[1] == 0x0A;
  return p[0] == 0x0A;
}

// The line ends in [p, end): CR, LF, and CR LF pairs. The counts have no dependence from
// one unit to the next, so that the compiler takes many units at a step.
struct LineEnds {
  std::uint64_t returns = 0;
  std::uint64_t feeds = 0;
  std::uint64_t pairs = 0;
};

template <Encoding F>
LineEnds CountLineEndsPortable(const std::uint8_t* p, const std::uint8_t* end) {
  using Unit = std::conditional_t<kByteForm<F>, std::uint8_t, std::uint16_t>;
  // CR and LF as a unit loaded in the processor's byte order reads.
  constexpr bool kSwapped =
      !kByteForm<F> && ((F == E::Utf16BE) == (std::endian::native == std::endian::little));
  constexpr Unit kCr = kSwapped ? 0x0D00 : 0x0D;
  constexpr Unit kLf = kSwapped ? 0x0A00 : 0x0A;
  const std::int64_t units = (end - p) / static_cast<std::int64_t>(sizeof(Unit));
  LineEnds counts;
  if (units == 0) return counts;
  const auto unitAt = [p](std::int64_t i) {
    Unit u;
    std::memcpy(&u, p + i * static_cast<std::int64_t>(sizeof(Unit)), sizeof u);
    return u;
  };
  for (std::int64_t i = 0; i + 1 < units; ++i) {
    const Unit u = unitAt(i);
    counts.returns += u == kCr;
    counts.feeds += u == kLf;
    counts.pairs += (u == kCr) & (unitAt(i + 1) == kLf);
  }
  counts.returns += unitAt(units - 1) == kCr;
  counts.feeds += unitAt(units - 1) == kLf;
  return counts;
}

#if defined(__SSE2__)
// The bits set in a mask that has few of them.
inline unsigned Bits(unsigned mask) {
  unsigned count = 0;
  for (; mask != 0; mask &= mask - 1) ++count;
  return count;
}

// The same sixteen bytes at a step: the masks of CR and of LF, and of LF one unit further
// on for the pairs.
template <Encoding F>
LineEnds CountLineEndsSse2(const std::uint8_t* p, const std::uint8_t* end) {
  constexpr std::int64_t kUnit = kUnitBytes<F>;
  constexpr bool kWide = kUnit == 2;
  const __m128i cr =
      kWide ? _mm_set1_epi16(F == E::Utf16BE ? 0x0D00 : 0x000D) : _mm_set1_epi8(0x0D);
  const __m128i lf =
      kWide ? _mm_set1_epi16(F == E::Utf16BE ? 0x0A00 : 0x000A) : _mm_set1_epi8(0x0A);
  const auto equal = [](__m128i a, __m128i b) {
    return static_cast<unsigned>(
        _mm_movemask_epi8(kWide ? _mm_cmpeq_epi16(a, b) : _mm_cmpeq_epi8(a, b)));
  };
  LineEnds counts;
  // Sixteen bytes, with sixteen more after the first unit.
  const auto count = [&](const std::uint8_t* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const unsigned returns = equal(v, cr);
    const unsigned feeds = equal(v, lf);
    if ((returns | feeds) == 0) return;
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + kUnit));
    counts.returns += Bits(returns);
    counts.feeds += Bits(feeds);
    counts.pairs += Bits(returns & equal(next, lf));
  };
  // Thirty-two bytes that hold no CR or LF are passed over at once: most of them.
  const auto lineEnd = [&](__m128i v) {
    return kWide ? _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf))
                 : _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
  };
  const std::uint8_t* at = p;
  while (end - at >= 32 + kUnit) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16));
    const __m128i any = _mm_or_si128(lineEnd(a), lineEnd(b));
    if (_mm_movemask_epi8(any) != 0) {
      count(at);
      count(at + 16);
    }
    at += 32;
  }
  while (end - at >= 16 + kUnit) {
    count(at);
    at += 16;
  }
  const LineEnds rest = CountLineEndsPortable<F>(at, end);
  counts.returns = (counts.returns / kUnit) + rest.returns;
  counts.feeds = (counts.feeds / kUnit) + rest.feeds;
  counts.pairs = (counts.pairs / kUnit) + rest.pairs;
  return counts;
}
#endif

template <Encoding F>
LineEnds CountLineEnds(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
  return CountLineEndsSse2<F>(p, end);
#else
  return CountLineEndsPortable<F>(p, end);
#endif
}

// The position after the last line feed in [from, to); null when there is none.
template <Encoding F>
const std::uint8_t* AfterLastFeed(const std::uint8_t* from, const std::uint8_t* to) {
  constexpr std::int64_t kUnit = kUnitBytes<F>;
  for (std::int64_t i = (to - from) / kUnit - 1; i >= 0; --i) {
    if (IsLineFeed<F>(from + i * kUnit)) return from + (i + 1) * kUnit;
  }
  return nullptr;
}

// Whether every line end counted is already the one asked for: CR LF, or LF alone.
bool AsAsked(const LineEnds& counts, Eol eol) {
  return eol == Eol::Lf ? counts.returns == 0
                        : counts.returns == counts.pairs && counts.feeds == counts.pairs;
}

template <Encoding F>
std::uint64_t CountCharacters(const std::uint8_t* p, const std::uint8_t* end) {
  std::uint64_t count = 0;
  while (p < end) {
    const Decoded d = DecodeOne<F>(p, end);
    p += d.length != 0 ? d.length : end - p;
    ++count;
  }
  return count;
}

// The supplementary-plane character of the built-in list and its replacement, read from
// the list's own bytes: UTF-16 little-endian after a byte-order mark, the character's code
// point in hexadecimal in the fourth field and the replacement in the seventh.
struct ListedPair {
  char32_t character = 0;
  char32_t replacement = 0;
};

ListedPair BuiltInListPair() {
  const auto& bytes = PutSurroCSV::kBuiltInList;
  ListedPair pair;
  int field = 1;
  char32_t hex = 0;
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
    if (unit == u',') {
      if (field == 4) pair.character = hex;
      ++field;
      continue;
    }
    if (field == 4) {
      const int digit = unit >= u'0' && unit <= u'9'   ? unit - u'0'
                        : unit >= u'A' && unit <= u'F' ? unit - u'A' + 10
                                                       : 0;
      hex = hex << 4 | static_cast<char32_t>(digit);
    } else if (field == 7 && pair.replacement == 0) {
      pair.replacement = unit;
    }
  }
  return pair;
}

// The byte-order mark of a target; its length (0 for a legacy target).
int EncodeMark(Encoding to, std::uint8_t* o) {
  switch (to) {
    case E::Utf8:
      return EncodeOne<E::Utf8>(0xFEFF, o);
    case E::Utf16:
    case E::Utf16LE:
      return EncodeOne<E::Utf16LE>(0xFEFF, o);
    case E::Utf16BE:
      return EncodeOne<E::Utf16BE>(0xFEFF, o);
    default:
      return 0;
  }
}

struct Context {
  TranscodeOptions options;
  Transcoder::Steps steps;
  TranscodeCounts counts;
  ListedPair listed;
  // Where the next block starts: its line, and the characters before it on that line. Kept
  // only while places are still wanted.
  std::uint64_t line = 1;
  std::uint64_t column = 0;
  // The AVX2 steps' tables, made when the first large block comes (null without them).
  bool avx2 = false;
  bool avx2Tried = false;
  std::unique_ptr<std::uint8_t[]> pairOutput;
  ascii::EucStepRules pairRules{};
  std::unique_ptr<std::uint32_t[]> unitLookup;
  std::uint32_t lineEndsAsRead[2] = {};  // the lookup's CR and LF, as they stand
  std::uint32_t lineEndsTurned[2] = {};  // and as the option asks

  bool PlacesWanted() const { return counts.first.size() < TranscodeCounts::kFirstPlaces; }

  template <Encoding F>
  void Replaced(const std::uint8_t* block, const std::uint8_t* at, char32_t c) {
    ++counts.replacements;
    if (!PlacesWanted()) return;
    const std::uint8_t* const lineStart = AfterLastFeed<F>(block, at);
    const std::uint64_t column = lineStart ? CountCharacters<F>(lineStart, at)
                                           : this->column + CountCharacters<F>(block, at);
    counts.first.push_back(
        {.line = line + CountLineEnds<F>(block, at).feeds, .column = column + 1, .character = c});
  }

  // Moves the place past the block's bytes up to to, which hold this many line feeds.
  template <Encoding F>
  void Advance(const std::uint8_t* block, const std::uint8_t* to, std::uint64_t feeds) {
    if (!PlacesWanted()) return;
    const std::uint8_t* const lineStart = feeds != 0 ? AfterLastFeed<F>(block, to) : nullptr;
    line += feeds;
    column = lineStart ? CountCharacters<F>(lineStart, to) : column + CountCharacters<F>(block, to);
  }
};

using RunFunction = std::int64_t (*)(Context&, const std::uint8_t*, const std::uint8_t*, bool,
                                     std::uint8_t*, const std::uint8_t*&);

template <Encoding F, Encoding T>
constexpr bool kPairSteps = F == E::EucJp && (T == E::Utf16LE || T == E::ShiftJis);
template <Encoding F, Encoding T>
constexpr bool kUnitSteps = F == E::Utf16LE && (T == E::EucJp || T == E::ShiftJis);

// Makes the tables of the AVX2 steps that the pair takes, where the processor has AVX2.
template <Encoding F, Encoding T>
void PrepareAvx2(Context& s) {
  s.avx2Tried = true;
  const bool all = s.steps == Transcoder::Steps::Fast || s.steps == Transcoder::Steps::Eager;
  if (!all || !ascii::Avx2Usable()) return;
  const Eol eol = s.options.eol;
  if constexpr (kPairSteps<F, T>) {
    // The output of every two-byte key (second byte times 256 plus first) that gives two
    // bytes as they stand.
    s.pairOutput.reset(new (std::nothrow) std::uint8_t[2 * 65536]());
    if (!s.pairOutput) return;
    for (std::uint32_t second = 0xA1; second <= 0xFE; ++second) {
      for (std::uint32_t first = 0x8E; first <= 0xFE; ++first) {
        const std::uint8_t pair[2] = {static_cast<std::uint8_t>(first),
                                      static_cast<std::uint8_t>(second)};
        const Decoded d = DecodeOne<E::EucJp>(pair, pair + 2);
        if (d.c == kBad || d.length != 2) continue;
        std::uint8_t bytes[4];
        int n;
        if constexpr (T == E::ShiftJis) {
          const std::uint16_t v = tables::EucSjis(pair[0], pair[1]);
          n = v >= 0x100 ? 2 : 0;
          bytes[0] = static_cast<std::uint8_t>(v >> 8);
          bytes[1] = static_cast<std::uint8_t>(v);
        } else {
          n = EncodeOne<T>(d.c, bytes);
        }
        if (n != 2) continue;
        std::uint8_t* const at = s.pairOutput.get() + 2 * (second << 8 | first);
        at[0] = bytes[0];
        at[1] = bytes[1];
      }
    }
    s.pairRules = ascii::EucStepRules{.pairOutput = s.pairOutput.get(),
                                      .wide = T == E::Utf16LE,
                                      .tabs = true,
                                      .lineFeeds = eol != Eol::CrLf,
                                      .returns = eol == Eol::Keep,
                                      .returnFeeds = eol != Eol::Lf};
    s.avx2 = true;
  } else if constexpr (kUnitSteps<F, T>) {
    // Every unit that gives one or two bytes without looking at the next one.
    s.unitLookup.reset(new (std::nothrow) std::uint32_t[65536]());
    if (!s.unitLookup) return;
    const auto plain = [](const std::uint8_t* bytes, std::uint32_t count) {
      return bytes[0] | (count == 2 ? static_cast<std::uint32_t>(bytes[1]) << 8 : 0) |
             count << ascii::kEntryCountShift | ascii::kEntryPlain;
    };
    for (char32_t u = 0; u < 0x10000; ++u) {
      std::uint8_t bytes[4] = {};
      const int n = EncodeOne<T>(u, bytes);
      if (n == 1 || n == 2) s.unitLookup[u] = plain(bytes, static_cast<std::uint32_t>(n));
    }
    // The entries of CR and LF as they are read, and as the option turns them.
    s.lineEndsAsRead[0] = s.unitLookup['\r'];
    s.lineEndsAsRead[1] = s.unitLookup['\n'];
    const std::uint8_t crLf[2] = {'\r', '\n'};
    s.lineEndsTurned[0] = eol == Eol::Keep ? s.lineEndsAsRead[0] : 0;
    s.lineEndsTurned[1] = eol == Eol::CrLf ? plain(crLf, 2) : s.lineEndsAsRead[1];
    s.avx2 = true;
  }
}

template <Encoding F, Encoding T>
std::int64_t Run(Context& s, const std::uint8_t* in, const std::uint8_t* end, bool final,
                 std::uint8_t* out, const std::uint8_t*& stopped) {
  const bool fast = s.steps != Transcoder::Steps::CharByChar;
  if constexpr (kPairSteps<F, T> || kUnitSteps<F, T>) {
    if (!s.avx2Tried && (end - in >= kAvx2Block || s.steps == Transcoder::Steps::Eager)) {
      PrepareAvx2<F, T>(s);
    }
  }
  const bool avx2 = s.avx2;
  // The unit steps take line ends through their lookup, which cannot pair CR with LF: a
  // block whose line ends are already those asked for keeps them as they stand, so that
  // the steps need not stop at every line end, and the block is counted beforehand. Every
  // other loop counts the line feeds it takes.
  constexpr bool kScansBlock = kUnitSteps<F, T>;
  const bool scanned = kScansBlock && (s.PlacesWanted() || (avx2 && s.options.eol != Eol::Keep));
  const LineEnds lineEnds = scanned ? CountLineEnds<F>(in, end) : LineEnds{};
  const bool asRead =
      kScansBlock && avx2 && (s.options.eol == Eol::Keep || AsAsked(lineEnds, s.options.eol));
  const Eol eol = asRead ? Eol::Keep : s.options.eol;
  if (avx2 && s.unitLookup) {
    const std::uint32_t* const entries = asRead ? s.lineEndsAsRead : s.lineEndsTurned;
    s.unitLookup['\r'] = entries[0];
    s.unitLookup['\n'] = entries[1];
  }
  std::uint64_t feeds = 0;
  const std::uint8_t* p = in;
  std::uint8_t* o = out;
  // Where the AVX2 steps may be tried again after they left the bytes at a place.
  const std::uint8_t* retry = p;
  while (p < end) {
    if constexpr (kPairSteps<F, T>) {
      if (avx2 && p >= retry && end - p >= kAvx2Reach) {
        const std::uint8_t* const from = p;
        std::int64_t taken = 0;
        p = ascii::DecodeSequencesAvx2(p, end, s.pairRules, o, taken);
        feeds += static_cast<std::uint64_t>(taken);
        if (p != from) continue;
        retry = p + 16;
      }
    }
    if constexpr (kUnitSteps<F, T>) {
      if (avx2 && p >= retry && end - p >= 2 * 24) {
        const std::uint8_t* const from = p;
        p = ascii::EncodePlainUnitsAvx2(p, end, s.unitLookup.get(), o);
        if (p != from) continue;
        retry = p + 32;
      }
    }
    const std::uint8_t b = *p;
    if constexpr (kByteForm<F> && (kByteForm<T> || T == E::Utf16LE)) {
      // A run of printable ASCII, sixteen bytes at a step (widened for UTF-16).
      if (fast && b >= 0x20 && b < 0x7F && end - p >= 16) {
        constexpr bool kWide = T == E::Utf16LE;
        for (;;) {
          const int copied = ascii::CopyPrintableBytes(p, o, kWide);
          p += copied;
          o += kWide ? 2 * copied : copied;
          if (copied < 16 || end - p < 16) break;
        }
        continue;
      }
    }
    if constexpr (F == E::Utf16LE && kByteForm<T>) {
      // Eight units of printable ASCII at a step.
      if (fast && b >= 0x20 && b < 0x7F) {
        while (end - p >= 16 && ascii::CopyPrintableUnits(p, o)) {
          p += 16;
          o += 8;
        }
        if (p >= end) break;
      }
    }
    Decoded d = DecodeOne<F>(p, end);
    if (d.length == 0) {
      if (!final) break;  // the next block completes it
      d = {kBad, end - p};
    }
    const std::uint8_t* next = p + d.length;
    const char32_t c = d.c;
    if (c < 0x80) {
      feeds += c == '\n';
      if (eol != Eol::Keep && (c == '\r' || c == '\n')) {
        // Every line end (CR LF, LF, CR alone) becomes the one asked for.
        if (c == '\r') {
          if (end - next < kUnitBytes<F>) {
            if (!final) break;  // whether LF follows, the next block says
          } else if (IsLineFeed<F>(next)) {
            next += kUnitBytes<F>;
            ++feeds;
          }
        }
        if (eol == Eol::CrLf) o += EncodeOne<T>('\r', o);
        o += EncodeOne<T>('\n', o);
      } else {
        o += EncodeOne<T>(c, o);
      }
      p = next;
      continue;
    }
    if (c == kBad) {
      s.Replaced<F>(in, p, kReplacementCharacter);
      o += EncodeReplacement<T>(o);
      p = next;
      continue;
    }
    if constexpr (F == T && (F == E::EucJp || F == E::ShiftJis)) {
      // A valid sequence stays as it was.
      std::memcpy(o, p, static_cast<std::size_t>(d.length));
      o += d.length;
      p = next;
      continue;
    }
    if constexpr (F == E::EucJp && T == E::ShiftJis) {
      // Two-byte codes go straight to the recoder's Shift_JIS codes.
      if (d.length == 2) {
        const std::uint16_t v = tables::EucSjis(p[0], p[1]);
        if (v >= 0x100) {
          o[0] = static_cast<std::uint8_t>(v >> 8);
          o[1] = static_cast<std::uint8_t>(v);
          o += 2;
          p = next;
          continue;
        }
        if (v != 0) {
          *o++ = static_cast<std::uint8_t>(v);
          p = next;
          continue;
        }
      }
    }
    int n = EncodeOne<T>(c, o);
    if (n == 0) {
      // The target lacks it: the built-in list's replacement, or "?".
      if (c == s.listed.character) n = EncodeOne<T>(s.listed.replacement, o);
      if (n == 0) {
        *o = kQuestionMark;
        n = 1;
      }
      s.Replaced<F>(in, p, c);
    }
    o += n;
    p = next;
  }
  stopped = p;
  if (scanned) feeds = lineEnds.feeds - CountLineEnds<F>(p, end).feeds;
  s.Advance<F>(in, p, feeds);
  return o - out;
}

template <Encoding F>
RunFunction PickRun(Encoding to) {
  switch (to) {
    case E::Utf8:
      return &Run<F, E::Utf8>;
    case E::Utf16BE:
      return &Run<F, E::Utf16BE>;
    case E::EucJp:
      return &Run<F, E::EucJp>;
    case E::ShiftJis:
      return &Run<F, E::ShiftJis>;
    case E::Utf16:
    case E::Utf16LE:
      break;
  }
  return &Run<F, E::Utf16LE>;
}

RunFunction PickRun(Encoding from, Encoding to) {
  switch (from) {
    case E::Utf8:
      return PickRun<E::Utf8>(to);
    case E::Utf16BE:
      return PickRun<E::Utf16BE>(to);
    case E::EucJp:
      return PickRun<E::EucJp>(to);
    case E::ShiftJis:
      return PickRun<E::ShiftJis>(to);
    case E::Utf16:
    case E::Utf16LE:
      break;
  }
  return PickRun<E::Utf16LE>(to);
}

// The byte-order marks an input may start with, and the encoding each says it is in.
struct Mark {
  std::uint8_t bytes[3];
  std::int64_t length;
  Encoding encoding;
};
constexpr Mark kUtf8Mark{{0xEF, 0xBB, 0xBF}, 3, E::Utf8};
constexpr Mark kLittleMark{{0xFF, 0xFE, 0}, 2, E::Utf16LE};
constexpr Mark kBigMark{{0xFE, 0xFF, 0}, 2, E::Utf16BE};

}  // namespace

struct Transcoder::State {
  Context context;
  RunFunction run = nullptr;
  bool started = false;
};

Transcoder::Transcoder(const TranscodeOptions& options, Steps steps)
    : state_(std::make_unique<State>()) {
  state_->context.options = options;
  state_->context.steps = steps;
  state_->context.listed = BuiltInListPair();
}

Transcoder::~Transcoder() = default;

std::int64_t Transcoder::OutputRoom(std::int64_t inputBytes) {
  // At most four bytes for an input byte (LF to CR LF in UTF-16), a byte-order mark, and the
  // reach of the block steps' stores.
  constexpr std::int64_t kSlack = 64;
  if (inputBytes < 0 ||
      inputBytes > (std::numeric_limits<std::int64_t>::max() - kSlack) / 4 - kCarriedBytes) {
    return -1;
  }
  return 4 * (inputBytes + kCarriedBytes) + kSlack;
}

std::int64_t Transcoder::Convert(const std::uint8_t* in, std::int64_t size, bool final,
                                 std::uint8_t* out, std::int64_t& consumed) {
  State& s = *state_;
  Context& c = s.context;
  const std::uint8_t* p = in;
  const std::uint8_t* const end = in + size;
  std::uint8_t* o = out;
  if (!s.started) {
    // The byte-order mark: it says which UTF-16 a "utf-16" input is, and is written again
    // or not as the options say.
    Encoding from = c.options.from;
    const Mark* const marks[] = {
        from == E::Utf8 ? &kUtf8Mark : nullptr,
        from == E::Utf16LE || from == E::Utf16 ? &kLittleMark : nullptr,
        from == E::Utf16BE || from == E::Utf16 ? &kBigMark : nullptr,
    };
    bool marked = false;
    for (const Mark* candidate : marks) {
      if (candidate == nullptr) continue;
      const Mark& mark = *candidate;
      const std::int64_t have = std::min(size, mark.length);
      if (have > 0 && std::memcmp(in, mark.bytes, static_cast<std::size_t>(have)) != 0) continue;
      if (have < mark.length) {
        if (!final) {
          consumed = 0;  // the next block tells whether this is the mark
          return 0;
        }
        continue;
      }
      marked = true;
      from = mark.encoding;
      p += mark.length;
      break;
    }
    if (from == E::Utf16) from = E::Utf16LE;
    s.started = true;
    s.run = PickRun(from, c.options.to);
    const Bom bom = c.options.bom;
    if (bom == Bom::Add || (bom == Bom::Keep && (marked || c.options.to == E::Utf16))) {
      o += EncodeMark(c.options.to, o);
    }
  }
  const std::uint8_t* stopped = p;
  o += s.run(c, p, end, final, o, stopped);
  consumed = stopped - in;
  return o - out;
}

const TranscodeCounts& Transcoder::Counts() const {
  return state_->context.counts;
}

std::vector<std::uint8_t> TranscodeAll(const TranscodeOptions& options,
                                       std::span<const std::uint8_t> input, TranscodeCounts* counts,
                                       Transcoder::Steps steps) {
  Transcoder transcoder(options, steps);
  const auto size = static_cast<std::int64_t>(input.size());
  std::vector<std::uint8_t> out(static_cast<std::size_t>(Transcoder::OutputRoom(size)));
  std::int64_t consumed = 0;
  const std::int64_t written = transcoder.Convert(input.data(), size, true, out.data(), consumed);
  out.resize(static_cast<std::size_t>(written));
  if (counts != nullptr) *counts = transcoder.Counts();
  return out;
}

}  // namespace kelvo::transcode
