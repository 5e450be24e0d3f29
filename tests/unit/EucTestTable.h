// Helpers for the tests of the EUC-JP engines: hand-made table files of 5-byte records and
// a byte-by-byte model of the decoding rules to compare the engines against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/ConversionRules.h"
#include "convert/EucCodeTable.h"

namespace kelvo::test {

// One two-byte record: EUC-JP bytes first and second map to the value bytes v1 v2.
inline std::string PairRecord(int first, int second, int v1, int v2) {
  return std::string{static_cast<char>(first), static_cast<char>(second), 1, static_cast<char>(v1),
                     static_cast<char>(v2)};
}
// One single-byte record.
inline std::string SingleRecord(int byte, int value) {
  return std::string{static_cast<char>(byte), 0, 0, static_cast<char>(value), 0};
}
// One two-byte key whose mapping is the one byte value (kind 2).
inline std::string OneByteRecord(int first, int second, int value) {
  return std::string{static_cast<char>(first), static_cast<char>(second), 2,
                     static_cast<char>(value), 0};
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// The decoding rules, one sequence at a time.
inline std::string ModelDecode(const EucCodeTable& table, bool utf16, LineEndMode mode,
                               bool filtered, const std::string& input) {
  std::string out;
  auto put = [&](int b) {
    out.push_back(static_cast<char>(b));
    if (utf16) out.push_back(0);
  };
  auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };
  auto dropped = [&](int first) {
    return filtered && (first < 0x20 || (first >= 0x7F && first <= 0xA0));
  };
  auto trail = [](int b) { return b >= 0xA1 && b <= 0xFE; };
  auto replacement = [&] { out += utf16 ? Bytes({0xFD, 0xFF}) : std::string("?"); };
  auto trailAt = [&](std::size_t i) { return i < input.size() && trail(byteAt(i)); };
  // Writes what a key's mapping gives; false when it has none.
  auto mapped = [&](int key) {
    const int kind = table.Entry(key, 0);
    if (kind == 1) {
      out.push_back(static_cast<char>(table.Entry(key, 1)));
      out.push_back(static_cast<char>(table.Entry(key, 2)));
    } else if (kind == 2) {
      put(table.Entry(key, 1));
    }
    return kind == 1 || kind == 2;
  };
  if (utf16) out += Bytes({0xFF, 0xFE});
  for (std::size_t i = 0; i < input.size();) {
    const int first = byteAt(i);
    if (first < 0x80) {
      if (mapped(first)) {
        // its mapping
      } else if (first == 0x0A) {
        if (mode == LineEndMode::CrLf) put(0x0D);
        put(0x0A);
      } else if (first == 0x0D) {
        if (mode == LineEndMode::AsRead) put(0x0D);
      } else if (!dropped(first)) {
        put(first);
      }
      ++i;
    } else if ((first == 0x8E || trail(first)) && trailAt(i + 1)) {
      const int second = byteAt(i + 1);
      if (mapped(second * 256 + first)) {
        // its mapping
      } else if (!dropped(first)) {
        if (utf16)
          put(second);
        else
          replacement();
      }
      i += 2;
    } else if (first == 0x8F && trailAt(i + 1) && trailAt(i + 2)) {
      if (!filtered) replacement();
      i += 3;
    } else {
      // One invalid byte; the next byte starts the next sequence.
      if (!filtered) replacement();
      ++i;
    }
  }
  return out;
}

}  // namespace kelvo::test
