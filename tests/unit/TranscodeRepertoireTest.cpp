// kelvo's conversions held against the system's iconv over the whole repertoire of each
// input encoding: every one- and two-byte code of Shift_JIS, every one-, two- and three-byte
// code of EUC-JP, every character of the Basic Multilingual Plane and a few beyond it. Where
// the two differ on purpose, the differences are counted by kind; data/README.md lists them
// and says why. Any other difference fails.
#include <gtest/gtest.h>

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kelvo/Transcode.h"

namespace kelvo::transcode {
namespace {

using Bytes = std::vector<std::uint8_t>;
using E = Encoding;

const char* IconvName(Encoding e) {
  switch (e) {
    case E::Utf8:
      return "UTF-8";
    case E::Utf16LE:
      return "UTF-16LE";
    case E::Utf16BE:
      return "UTF-16BE";
    case E::EucJp:
      return "EUC-JP-MS";
    case E::ShiftJis:
      return "CP932";
    case E::Utf16:
      break;
  }
  return "UTF-16";
}

class Iconv {
 public:
  Iconv(const char* from, const char* to) : handle_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Usable()) iconv_close(handle_);
  }
  bool Usable() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  // The conversion of the whole input; none when iconv refuses any of it.
  std::optional<Bytes> operator()(const Bytes& input) const {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    Bytes in = input;
    Bytes out(in.size() * 4 + 16);
    char* src = reinterpret_cast<char*>(in.data());
    char* dst = reinterpret_cast<char*>(out.data());
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    if (iconv(handle_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
        srcLeft != 0) {
      return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
  }

 private:
  iconv_t handle_;
};

// Every code of an input encoding that either side could take as one character.
std::vector<Bytes> Repertoire(Encoding from) {
  std::vector<Bytes> codes;
  const auto add = [&codes](std::initializer_list<unsigned> bytes) {
    codes.emplace_back(bytes.begin(), bytes.end());
  };
  if (from == E::EucJp) {
    for (unsigned b = 0; b < 0x100; ++b) add({b});
    for (unsigned b = 0xA1; b <= 0xDF; ++b) add({0x8E, b});
    for (unsigned first = 0xA1; first <= 0xFE; ++first) {
      for (unsigned second = 0xA1; second <= 0xFE; ++second) {
        add({first, second});
        add({0x8F, first, second});
      }
    }
  } else if (from == E::ShiftJis) {
    for (unsigned b = 0; b < 0x100; ++b) {
      if (!(b >= 0x81 && b <= 0x9F) && !(b >= 0xE0 && b <= 0xFC)) add({b});
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead >= 0xA0 && lead < 0xE0) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail != 0x7F) add({lead, trail});
      }
    }
  } else {
    std::vector<char32_t> characters;
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (c < 0xD800 || c > 0xDFFF) characters.push_back(c);
    }
    characters.insert(characters.end(), {0x10000, 0x20B9F, 0x27DA0, 0x1F600, 0x10FFFF});
    const Iconv encode("UTF-32BE", IconvName(from));
    for (const char32_t c : characters) {
      const Bytes utf32{static_cast<std::uint8_t>(c >> 24), static_cast<std::uint8_t>(c >> 16),
                        static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)};
      codes.push_back(encode(utf32).value_or(Bytes{}));
    }
  }
  return codes;
}

// Why kelvo and iconv differ on one code.
enum class Reason {
  UserDefined,  // iconv maps the user-defined area to private use; kelvo's tables have none
  IbmKanji,     // kelvo writes IBM-extension kanji in EUC-JP as two-byte codes F9h-FCh
  NecRow13,     // EUC-JP row 13 goes to Shift_JIS row 87h, as the recoder writes it
  C1Controls,   // iconv writes U+0080-U+009F as single EUC-JP bytes
  OneWay,       // iconv writes U+00A5, U+203E and U+00A6 as codes that decode otherwise
  Other,
};
const char* const kReasonNames[] = {"user-defined", "IBM kanji", "NEC row 13",
                                    "C1 controls",  "one-way",   "other"};

struct Expected {
  Encoding from;
  Encoding to;
  Reason reason;
  int count;
};

std::string Hex(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  return text;
}

// The differences data/README.md lists, by pair; none between the Unicode forms.
constexpr Expected kExpected[] = {
    {E::Utf8, E::EucJp, Reason::UserDefined, 1880},
    {E::Utf8, E::EucJp, Reason::IbmKanji, 373},
    {E::Utf8, E::EucJp, Reason::C1Controls, 30},
    {E::Utf8, E::EucJp, Reason::OneWay, 3},
    {E::Utf8, E::ShiftJis, Reason::UserDefined, 1880},
    {E::Utf8, E::ShiftJis, Reason::OneWay, 2},
    {E::EucJp, E::Utf8, Reason::UserDefined, 1506},
    {E::EucJp, E::Utf8, Reason::IbmKanji, 374},
    {E::EucJp, E::Utf8, Reason::C1Controls, 30},
    {E::EucJp, E::ShiftJis, Reason::UserDefined, 1506},
    {E::EucJp, E::ShiftJis, Reason::IbmKanji, 374},
    {E::EucJp, E::ShiftJis, Reason::NecRow13, 9},
    {E::ShiftJis, E::Utf8, Reason::UserDefined, 1880},
    {E::ShiftJis, E::EucJp, Reason::UserDefined, 1880},
    {E::ShiftJis, E::EucJp, Reason::IbmKanji, 746},
};

bool IsUnicode(Encoding e) {
  return e != E::EucJp && e != E::ShiftJis;
}

int ExpectedCount(Encoding from, Encoding to, Reason reason) {
  // The three Unicode forms differ alike.
  if (IsUnicode(from)) from = E::Utf8;
  if (IsUnicode(to)) to = E::Utf8;
  for (const Expected& e : kExpected) {
    if (e.from == from && e.to == to && e.reason == reason) return e.count;
  }
  return 0;
}

// The reason for one difference; c is the code's character as iconv reads it (0 when it
// reads none).
Reason Classify(Encoding from, Encoding to, const Bytes& code, const Bytes& ours,
                bool mappedOtherwise, char32_t c) {
  if (c >= 0x80 && c <= 0x9F) return Reason::C1Controls;
  if (c == 0xA5 || c == 0x203E || c == 0xA6) return Reason::OneWay;
  if (mappedOtherwise) {
    if (from == E::EucJp && to == E::ShiftJis && code[0] == 0xAD) return Reason::NecRow13;
    const bool ourRows = (from == E::EucJp && code[0] >= 0xF9 && code[0] <= 0xFC) ||
                         (to == E::EucJp && ours.size() == 3 && ours[1] >= 0xF9 && ours[1] <= 0xFC);
    return ourRows ? Reason::IbmKanji : Reason::Other;
  }
  return c >= 0xE000 && c <= 0xF8FF ? Reason::UserDefined : Reason::Other;
}

TEST(TranscodeRepertoireTest, DiffersFromIconvOnlyWhereListed) {
  const Encoding forms[] = {E::Utf8, E::Utf16LE, E::Utf16BE, E::EucJp, E::ShiftJis};
  for (const Encoding from : forms) {
    const std::vector<Bytes> codes = Repertoire(from);
    const Iconv character(IconvName(from), "UTF-32BE");
    for (const Encoding to : forms) {
      if (from == to) continue;
      const Iconv reference(IconvName(from), IconvName(to));
      ASSERT_TRUE(reference.Usable() && character.Usable()) << IconvName(from);
      std::map<Reason, int> found;
      std::map<Reason, std::string> examples;
      for (const Bytes& code : codes) {
        // After a letter, so that U+FEFF is a character and no byte-order mark.
        Bytes input = from == E::Utf16LE   ? Bytes{'A', 0}
                      : from == E::Utf16BE ? Bytes{0, 'A'}
                                           : Bytes{'A'};
        input.insert(input.end(), code.begin(), code.end());
        TranscodeCounts counts;
        const Bytes ours = TranscodeAll({.from = from, .to = to}, input, &counts);
        const std::optional<Bytes> theirs = reference(input);
        if (!theirs && counts.replacements != 0) continue;  // neither maps it
        if (theirs && counts.replacements == 0 && ours == *theirs) continue;
        const std::optional<Bytes> read = character(input);
        const char32_t c = read && read->size() == 8
                               ? static_cast<char32_t>((*read)[4] << 24 | (*read)[5] << 16 |
                                                       (*read)[6] << 8 | (*read)[7])
                               : 0;
        const bool mappedOtherwise = theirs && counts.replacements == 0;
        const Reason reason = Classify(from, to, code, ours, mappedOtherwise, c);
        ++found[reason];
        if (examples[reason].size() < 300) {
          examples[reason] +=
              " " + Hex(code) + ">" + Hex(ours) + "/" + (theirs ? Hex(*theirs) : "-");
        }
      }
      for (int r = 0; r <= static_cast<int>(Reason::Other); ++r) {
        const auto reason = static_cast<Reason>(r);
        EXPECT_EQ(found[reason], ExpectedCount(from, to, reason))
            << EncodingName(from) << " to " << EncodingName(to) << ", " << kReasonNames[r] << ":"
            << examples[reason];
      }
    }
  }
}

}  // namespace
}  // namespace kelvo::transcode

#endif
