// Helpers for the tests of the EUC-JP engines: hand-made table files of 5-byte records and
// a byte-by-byte model of the decoding rules to compare the engines against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

enum class ModelMode { CrLf, Lf, AsRead };

// The decoding rules, one byte at a time.
inline std::string ModelDecode(const EucCodeTable& table, bool utf16, ModelMode mode, bool filtered,
                               const std::string& input) {
  std::string out;
  auto put = [&](int b) {
    out.push_back(static_cast<char>(b));
    if (utf16) out.push_back(0);
  };
  if (utf16) out += Bytes({0xFF, 0xFE});
  bool pending = false;
  int first = 0;
  for (unsigned char c : input) {
    int key;
    if (pending) {
      key = c * 256 + first;
      pending = false;
    } else {
      first = c;
      if (c >= 0x80) {
        pending = true;
        continue;
      }
      key = c;
    }
    if (table.Entry(key, 0) == 1) {
      out.push_back(static_cast<char>(table.Entry(key, 1)));
      out.push_back(static_cast<char>(table.Entry(key, 2)));
    } else if (table.Entry(key, 0) == 2) {
      put(table.Entry(key, 1));
    } else if (key == 0x0A) {
      if (mode == ModelMode::CrLf) put(0x0D);
      put(0x0A);
    } else if (key == 0x0D) {
      if (mode == ModelMode::AsRead) put(0x0D);
    } else if (filtered && (first < 0x20 || (first >= 0x7F && first <= 0xA0))) {
      // dropped
    } else {
      put(utf16 ? c : first);
    }
  }
  return out;
}

}  // namespace kelvo::test
