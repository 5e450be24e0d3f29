// kelvo's code tables, compiled into the program: made at build time from the source tables
// of data/ (see data/compile_tables.py), so that kelvo needs no table file at run time.
// Every table holds 16-bit values, 0 where the code or character has no mapping; each is
// indexed through the function beside it, which keeps any byte values inside it.
#pragma once

#include <cstdint>

namespace kelvo::transcode::tables {

// Two-byte Shift_JIS code (lead 80h-FFh) to UTF-16 code unit.
extern const std::uint16_t kSjisDouble[128 * 256];
// Two-byte EUC-JP code (both bytes 80h-FFh, the single shift 8Eh with a half-width katakana
// included) to UTF-16 code unit.
extern const std::uint16_t kEucDouble[128 * 128];
// The two bytes after 8Fh of a three-byte EUC-JP code to UTF-16 code unit.
extern const std::uint16_t kEucTriple[128 * 128];
// UTF-16 code unit (80h and above) to Shift_JIS: one byte below 100h, else lead and trail.
extern const std::uint16_t kUnitSjis[65536];
// UTF-16 code unit (80h and above) to EUC-JP: two bytes from 8000h, else the three bytes
// 8Fh, (value >> 8) | 80h, value & FFh.
extern const std::uint16_t kUnitEuc[65536];
// Two-byte EUC-JP code to Shift_JIS, as the recoder converts it: one byte below 100h.
extern const std::uint16_t kEucSjis[128 * 128];

inline std::uint16_t SjisDouble(std::uint8_t lead, std::uint8_t trail) {
  return kSjisDouble[(lead & 0x7Fu) << 8 | trail];
}
inline std::uint16_t EucDouble(std::uint8_t first, std::uint8_t second) {
  return kEucDouble[(first & 0x7Fu) << 7 | (second & 0x7Fu)];
}
inline std::uint16_t EucTriple(std::uint8_t second, std::uint8_t third) {
  return kEucTriple[(second & 0x7Fu) << 7 | (third & 0x7Fu)];
}
inline std::uint16_t EucSjis(std::uint8_t first, std::uint8_t second) {
  return kEucSjis[(first & 0x7Fu) << 7 | (second & 0x7Fu)];
}

}  // namespace kelvo::transcode::tables
