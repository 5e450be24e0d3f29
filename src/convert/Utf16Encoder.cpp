#include "convert/Utf16Encoder.h"

#include <bit>
#include <cstring>

#include "convert/AsciiRuns.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr std::size_t kLookupSize = 65536;
// The byte an unmapped U+0000 is written as.
constexpr std::uint8_t kZeroUnit = 0x3E;  // '>'
constexpr int kCountShift = 30;
static_assert(Utf16Encoder::kPlain == ascii::kEntryPlain && kCountShift == ascii::kEntryCountShift,
              "the AVX2 step reads the entries in this layout");

constexpr std::uint32_t Bytes(std::uint8_t first, std::uint8_t second, std::uint32_t count) {
  return first | static_cast<std::uint32_t>(second) << 8 | count << kCountShift |
         Utf16Encoder::kPlain;
}

// A pair's first unit: its bytes, one "?", stand for a high surrogate without its low one.
constexpr std::uint32_t PairStart(std::uint32_t marks) {
  return (Bytes(kUnconvertible, 0, 1) & ~Utf16Encoder::kPlain) | Utf16Encoder::kPairStart | marks;
}

void StoreTwo(std::uint8_t* out, std::uint32_t entry) {
  out[0] = static_cast<std::uint8_t>(entry);
  out[1] = static_cast<std::uint8_t>(entry >> 8);
}

}  // namespace

bool Utf16Encoder::Build(const PastoralSceneUTF16& table, const EncoderRules& rules) {
  // Fresh memory reads as zeros: every entry not yet met.
  if (!lookupMemory_.AllocateTables(kLookupSize * sizeof(std::uint32_t))) {
    lookup_ = nullptr;
    return false;
  }
  lookup_ = reinterpret_cast<std::uint32_t*>(lookupMemory_.Data());
  table_ = &table;
  removeOneByteControls_ = rules.oneByteControls == Controls::Removed;
  // Units below 256: the line-end mode, the control filter and the marks decide those the
  // table leaves unmapped. An unmapped unit of 80h-FFh is a "?": its own byte would be an
  // EUC-JP lead byte without a trail, which takes the next character with it.
  const std::uint8_t* const entries = table.Entries();
  for (std::size_t u = 0; u < 256; ++u) {
    const std::uint8_t* const e = entries + 3 * u;
    std::uint32_t entry;
    if (e[0] == PastoralSceneUTF16::kTwoBytes) {
      entry = Bytes(e[1], e[2], 2);
    } else if (e[0] == PastoralSceneUTF16::kOneByte) {
      entry = removeOneByteControls_ && IsControlCode(e[1]) ? Bytes(0, 0, 0) : Bytes(e[1], 0, 1);
    } else {
      if (u == kLineFeed) {
        entry = rules.lineEnds == LineEndMode::CrLf ? Bytes(0x0D, 0x0A, 2) : Bytes(0x0A, 0, 1);
      } else if (u == kCarriageReturn) {
        entry = rules.lineEnds == LineEndMode::AsRead ? Bytes(0x0D, 0, 1) : Bytes(0, 0, 0);
      } else if (rules.controls == Controls::Removed &&
                 IsControlCode(static_cast<std::uint32_t>(u))) {
        entry = Bytes(0, 0, 0);
      } else if (u >= 0x80) {
        entry = Bytes(kUnconvertible, 0, 1);
      } else {
        entry = Bytes(u == 0 ? kZeroUnit : static_cast<std::uint8_t>(u), 0, 1);
      }
      if (rules.marked.find(static_cast<char16_t>(u)) != std::u16string_view::npos) {
        entry |= kMarked;
      }
    }
    lookup_[u] = entry;
  }
  avx2_ = steps_ == Steps::Fast && ascii::Avx2Usable();
  asciiAsIs_ = steps_ != Steps::UnitByUnit && std::endian::native == std::endian::little;
  for (std::uint32_t u = 0x20; u <= 0x7E; ++u) {
    if (lookup_[u] != Bytes(static_cast<std::uint8_t>(u), 0, 1)) asciiAsIs_ = false;
  }
  return true;
}

std::uint32_t Utf16Encoder::Enter(char16_t unit) const {
  // Straight from the table's entry: an unmapped unit is a "?", or the start of a pair when
  // it is a high surrogate.
  const std::uint8_t kind = unit <= PastoralSceneUTF16::kLastUnit ? table_->Entry(unit, 0)
                                                                  : PastoralSceneUTF16::kUnmapped;
  std::uint32_t entry;
  if (kind == PastoralSceneUTF16::kTwoBytes) {
    entry = Bytes(table_->Entry(unit, 1), table_->Entry(unit, 2), 2);
  } else if (kind == PastoralSceneUTF16::kOneByte) {
    const std::uint8_t b = table_->Entry(unit, 1);
    entry = removeOneByteControls_ && IsControlCode(b) ? Bytes(0, 0, 0) : Bytes(b, 0, 1);
  } else if (kind == PastoralSceneUTF16::kListedHigh) {
    entry = PairStart(kListed);
  } else if (IsHighSurrogate(unit)) {
    entry = PairStart(0);
  } else {
    entry = Bytes(kUnconvertible, 0, 1);
  }
  lookup_[unit] = entry;
  return entry;
}

std::int64_t Utf16Encoder::Convert(const std::uint8_t* in, std::int64_t size, bool final,
                                   std::uint8_t* out, std::int64_t& consumed) {
  const std::uint8_t* p = in;
  const std::uint8_t* const end = in + size;
  // Before the last block the final unit waits: it may be a high surrogate whose low
  // surrogate comes with the next block. A pair may still take it as its low surrogate.
  const std::uint8_t* const stop = final || size < 2 ? end : end - 2;
  std::uint8_t* const last = Encode(p, stop, end, out);
  consumed = p - in;
  return last - out;
}

std::uint8_t* Utf16Encoder::Encode(const std::uint8_t*& from, const std::uint8_t* stop,
                                   const std::uint8_t* end, std::uint8_t* out) const {
  const std::uint32_t* const lookup = lookup_;
  const bool fast = steps_ != Steps::UnitByUnit;
  const bool asciiAsIs = asciiAsIs_;
  const bool avx2 = avx2_;
  const std::uint8_t* in = from;
  while (fast && stop - in >= 16) {
    // Sixteen units at a time while each of them needs nothing but its bytes.
    if (avx2) {
      in = ascii::EncodePlainUnitsAvx2(in, stop, lookup, out);
      if (stop - in < 16) break;
    }
    // Eight units at a time. A run of printable ASCII, written as it is, needs no table.
    if (asciiAsIs && ascii::CopyPrintableUnits(in, out)) {
      out += 8;
      in += 16;
      continue;
    }
    // Otherwise each unit through the table, without a branch per unit: its two bytes are
    // stored and the output moves on by its count, which stays within the two bytes of
    // each unit. A unit not met before or a high surrogate, which needs the unit after it,
    // sends the eight units again through the unit-by-unit step.
    std::uint8_t* const chunkOut = out;
    std::uint32_t plain = kPlain;
    for (int k = 0; k < 8; ++k) {
      const std::uint32_t entry = lookup[UnitAt(in + 2 * k)];
      plain &= entry;
      StoreTwo(out, entry);
      out += entry >> kCountShift;
    }
    if (plain == 0) {
      out = chunkOut;
      const std::uint8_t* const chunkEnd = in + 16;
      while (in < chunkEnd) out = EncodeOne(in, end, out);
      continue;
    }
    in += 16;
  }
  while (in < stop) out = EncodeOne(in, end, out);
  from = in;
  return out;
}

std::uint8_t* Utf16Encoder::EncodeOne(const std::uint8_t*& in, const std::uint8_t* end,
                                      std::uint8_t* out) const {
  const char16_t unit = UnitAt(in);
  const std::uint32_t entry = EntryOf(unit);
  in += 2;
  if (!(entry & kPairStart)) {
    StoreTwo(out, entry);
    return out + (entry >> kCountShift);
  }
  // A high surrogate: with a low surrogate after it, the two make one character, written
  // as the list's replacement or as one "?". Otherwise it stands alone as a "?" and the
  // next unit is converted on its own.
  if (in < end) {
    const char16_t low = UnitAt(in);
    if (IsLowSurrogate(low)) {
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
