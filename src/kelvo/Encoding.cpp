// The names of kelvo's encodings and their usual aliases.
#include <algorithm>
#include <array>
#include <string>

#include "kelvo/Transcode.h"

namespace kelvo::transcode {
namespace {

struct NamedEncoding {
  std::string_view name;
  Encoding encoding;
};

constexpr std::array kNames{
    NamedEncoding{"utf-8", Encoding::Utf8},
    NamedEncoding{"utf8", Encoding::Utf8},
    NamedEncoding{"utf-16le", Encoding::Utf16LE},
    NamedEncoding{"utf16le", Encoding::Utf16LE},
    NamedEncoding{"utf-16be", Encoding::Utf16BE},
    NamedEncoding{"utf16be", Encoding::Utf16BE},
    NamedEncoding{"utf-16", Encoding::Utf16},
    NamedEncoding{"utf16", Encoding::Utf16},
    NamedEncoding{"euc-jp", Encoding::EucJp},
    NamedEncoding{"eucjp", Encoding::EucJp},
    NamedEncoding{"euc-jp-ms", Encoding::EucJp},
    NamedEncoding{"eucjp-ms", Encoding::EucJp},
    NamedEncoding{"shift_jis", Encoding::ShiftJis},
    NamedEncoding{"shift-jis", Encoding::ShiftJis},
    NamedEncoding{"sjis", Encoding::ShiftJis},
    NamedEncoding{"cp932", Encoding::ShiftJis},
    NamedEncoding{"ms932", Encoding::ShiftJis},
    NamedEncoding{"windows-31j", Encoding::ShiftJis},
};

}  // namespace

std::optional<Encoding> ParseEncoding(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  for (const auto& entry : kNames) {
    if (entry.name == lower) {
      return entry.encoding;
    }
  }
  return std::nullopt;
}

std::string_view EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf8:
      return "utf-8";
    case Encoding::Utf16LE:
      return "utf-16le";
    case Encoding::Utf16BE:
      return "utf-16be";
    case Encoding::Utf16:
      return "utf-16";
    case Encoding::EucJp:
      return "euc-jp";
    case Encoding::ShiftJis:
      return "shift_jis";
  }
  return "utf-8";
}

}  // namespace kelvo::transcode
