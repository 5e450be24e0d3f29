// Rules that every converter shares: the line-end modes, the control filter of "-s" and the
// byte of a character that cannot be converted.
#pragma once

#include <cstdint>

namespace kelvo {

// What a conversion does with the line ends it reads.
enum class LineEndMode {
  CrLf,    // LF gives CR LF, CR is dropped
  Lf,      // LF gives LF, CR is dropped
  AsRead,  // LF and CR stay as they stand
};

// Whether a conversion removes control characters ("-s").
enum class Controls { Kept, Removed };

// The control filter: C0 controls and 7Fh-A0h are removed, printable ASCII and A1h and above
// are kept. LF and CR are line ends, handled before the filter and never removed.
inline constexpr bool IsControlCode(std::uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0xA0);
}

// The byte written for a character that cannot be converted: "?".
inline constexpr std::uint8_t kUnconvertible = 0x3F;

}  // namespace kelvo
