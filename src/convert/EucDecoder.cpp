#include "convert/EucDecoder.h"

#include <cstring>
#include <limits>

#include "convert/AsciiRuns.h"
#include "support/Text.h"

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
// Bytes looked at by one step of an ASCII run.
constexpr std::int64_t kRunStep = 16;

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
  asciiRuns_ = steps == Steps::Fast;
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
  if (Dropped(first)) return out;
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
  if (!Dropped(kThreeByteLead)) {
    *out++ = static_cast<std::uint8_t>(form_.replacement);
    if (form_.wideUnits) *out++ = static_cast<std::uint8_t>(form_.replacement >> 8);
  }
  return p + 3;
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

inline const std::uint8_t* EucDecoder::DecodeBytes(const std::uint8_t* p, const std::uint8_t* end,
                                                   bool final, std::uint8_t*& o,
                                                   std::int64_t& lineEnds) const {
  const std::uint32_t* const entries = entries_;
  while (p < end) {
    const std::uint8_t b = *p;
    if (b < 0x80) {
      if (asciiRuns_ && b >= 0x20 && b < 0x7F && end - p >= kRunStep) {
        // A run of printable bytes, copied (widened for UTF-16) several at a time; the first
        // step copies at least the current byte, so the run always advances.
        int copied;
        do {
          copied = ascii::CopyPrintableBytes(p, o, form_.wideUnits);
          p += copied;
          o += form_.wideUnits ? 2 * copied : copied;
        } while (copied == kRunStep && end - p >= kRunStep);
        continue;
      }
      const SingleAction& a = single_[b];
      std::memcpy(o, a.bytes, 4);
      o += a.length;
      lineEnds += a.lineEnd;
      ++p;
      continue;
    }
    // A run of sequences of two or three bytes.
    do {
      if (end - p < 2) {
        // A lead byte at the very end is dropped; one at the end of a block waits for the
        // next block.
        return final ? p + 1 : p;
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
        if (next == nullptr) return p;
        p = next;
      }
    } while (p < end && *p >= 0x80);
  }
  return p;
}

std::int64_t EucDecoder::Convert(const std::uint8_t* in, std::int64_t size, bool final,
                                 std::uint8_t* out, std::int64_t& consumed) {
  std::uint8_t* o = out;
  std::int64_t lineEnds = 0;
  const std::uint8_t* const stopped = DecodeBytes(in, in + size, final, o, lineEnds);
  lineEnds_ += lineEnds;
  consumed = stopped - in;
  return o - out;
}

}  // namespace kelvo
