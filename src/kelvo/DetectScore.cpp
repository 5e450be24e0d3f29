// The plausibility of decoded characters: kinds from the code values, scores from how often
// each kind occurs in Japanese text.
#include "kelvo/DetectScore.h"

#include <array>

namespace kelvo::detect {
namespace {

// The assigned columns of the rows that are not full, as runs of columns.
struct ColumnRun {
  std::uint8_t row;
  std::uint8_t first;
  std::uint8_t last;
};

constexpr std::array kPartialRows{
    ColumnRun{2, 1, 14},  ColumnRun{2, 26, 33},  ColumnRun{2, 42, 48},  ColumnRun{2, 60, 74},
    ColumnRun{2, 82, 89}, ColumnRun{2, 94, 94},  ColumnRun{3, 16, 25},  ColumnRun{3, 33, 58},
    ColumnRun{3, 65, 90}, ColumnRun{4, 1, 83},   ColumnRun{5, 1, 86},   ColumnRun{6, 1, 24},
    ColumnRun{6, 33, 56}, ColumnRun{7, 1, 33},   ColumnRun{7, 49, 81},  ColumnRun{8, 1, 32},
    ColumnRun{13, 1, 30}, ColumnRun{13, 32, 54}, ColumnRun{13, 63, 92}, ColumnRun{47, 1, 51},
    ColumnRun{84, 1, 6},  ColumnRun{92, 1, 78},  ColumnRun{92, 81, 94},
};

constexpr bool InPartialRow(int row, int column) {
  for (const auto& run : kPartialRows) {
    if (run.row == row && column >= run.first && column <= run.last) {
      return true;
    }
  }
  return false;
}

constexpr Kind KindOfRow(int row) {
  if (row == 1) return Kind::Punctuation;
  if (row == 2) return Kind::Symbol;
  if (row == 3) return Kind::Alphanumeric;
  if (row == 4) return Kind::Hiragana;
  if (row == 5) return Kind::Katakana;
  if (row <= 7) return Kind::Foreign;
  if (row == 8) return Kind::BoxDrawing;
  if (row == 13) return Kind::RowThirteen;
  if (row >= 16 && row <= 47) return Kind::Kanji1;
  if (row >= 48 && row <= 84) return Kind::Kanji2;
  if (row >= 89 && row <= 92) return Kind::ExtensionKanji;
  return Kind::Unassigned;
}

constexpr bool RowIsFull(int row) {
  return row == 1 || (row >= 16 && row <= 46) || (row >= 48 && row <= 83) ||
         (row >= 89 && row <= 91);
}

// The kind of every cell, indexed by (row - 1) * 94 + column - 1, made once by the compiler.
constexpr auto kCellKinds = [] {
  std::array<Kind, 94 * 94> kinds{};
  for (int row = 1; row <= 94; ++row) {
    for (int column = 1; column <= 94; ++column) {
      const bool assigned = RowIsFull(row) || InPartialRow(row, column);
      kinds[(row - 1) * 94 + column - 1] = assigned ? KindOfRow(row) : Kind::Unassigned;
    }
  }
  return kinds;
}();

}  // namespace

Kind KindOfCell(int row, int column) {
  if (row < 1 || row > 94 || column < 1 || column > 94) {
    return Kind::Unassigned;
  }
  return kCellKinds[static_cast<std::size_t>((row - 1) * 94 + column - 1)];
}

Kind KindOfShiftJis(std::uint8_t lead, std::uint8_t trail) {
  const bool trailValid = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
  if (!trailValid) {
    return Kind::Unassigned;
  }
  if (lead >= 0xF0 && lead <= 0xF9) {
    return Kind::UserDefined;
  }
  if (lead >= 0xFA && lead <= 0xFC) {
    return lead < 0xFC || trail <= 0x4B ? Kind::ExtensionKanji : Kind::Unassigned;
  }
  int pair = 0;
  if (lead >= 0x81 && lead <= 0x9F) {
    pair = lead - 0x81;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    pair = lead - 0xC1;
  } else {
    return Kind::Unassigned;
  }
  if (trail >= 0x9F) {
    return KindOfCell(pair * 2 + 2, trail - 0x9E);
  }
  return KindOfCell(pair * 2 + 1, trail - 0x3F - (trail >= 0x80 ? 1 : 0));
}

Kind KindOfEucJp(std::uint8_t lead, std::uint8_t trail) {
  const int row = lead - 0xA0;
  const Kind kind = KindOfCell(row, trail - 0xA0);
  if (kind == Kind::Unassigned && row >= 85 && row <= 94) {
    return Kind::UserDefined;
  }
  return kind;
}

int ScoreOfKind(Kind kind) {
  switch (kind) {
    case Kind::Unassigned:
      return -100;
    case Kind::Punctuation:
      return 20;
    case Kind::Symbol:
      return 0;
    case Kind::Alphanumeric:
      return 5;
    case Kind::Hiragana:
      return 30;
    case Kind::Katakana:
      return 25;
    case Kind::Foreign:
      return -5;
    case Kind::BoxDrawing:
      return 10;
    case Kind::RowThirteen:
      return -15;
    case Kind::Kanji1:
      return 15;
    case Kind::Kanji2:
      return -15;
    case Kind::ExtensionKanji:
      return -30;
    case Kind::UserDefined:
      return -50;
    case Kind::Supplementary:
      return -40;
  }
  return -100;
}

int ScoreOfHalfKana(std::uint8_t code, std::uint8_t previous) {
  const bool inWord = previous >= 0xA6 && previous <= 0xDF;
  if (code >= 0xA1 && code <= 0xA5) {
    // Half-width punctuation is rare even in half-width text; the comma and the middle dot
    // are what the lead bytes of EUC-JP kana look like in Shift_JIS.
    return code >= 0xA4 ? -10 : -5;
  }
  if (code == 0xDE) {  // the voiced sound mark, after u, the k, s, t and h rows
    const bool takes = previous == 0xB3 || (previous >= 0xB6 && previous <= 0xC4) ||
                       (previous >= 0xCA && previous <= 0xCE);
    return takes ? 20 : -30;
  }
  if (code == 0xDF) {  // the semi-voiced sound mark, after the h row
    return previous >= 0xCA && previous <= 0xCE ? 20 : -30;
  }
  if (code >= 0xAC && code <= 0xAE) {  // small ya, yu, yo after the i column
    const bool takes = previous == 0xB7 || previous == 0xBC || previous == 0xC1 ||
                       previous == 0xC6 || previous == 0xCB || previous == 0xD0 ||
                       previous == 0xD8 || previous == 0xDE || previous == 0xDF;
    return takes ? 25 : -10;
  }
  if (code >= 0xA7 && code <= 0xAB) {  // small vowels: fa, ti, we, she, che, de...
    const bool takes = previous == 0xB2 || previous == 0xB3 || previous == 0xB8 ||
                       previous == 0xBC || (previous >= 0xC1 && previous <= 0xC4) ||
                       previous == 0xCC || previous == 0xDE;
    return takes ? 25 : -10;
  }
  if (code == 0xB0 || code == 0xAF || code == 0xDD) {
    // the long-vowel mark, small tsu and the moraic n do not begin a word
    return inWord ? 15 : -20;
  }
  return inWord ? 15 : -5;
}

int ScoreOfCodePoint(char32_t code) {
  if (code < 0x80) {  // only in UTF-16, where it carries a zero byte
    const bool word = (code >= U'0' && code <= U'9') || (code >= U'A' && code <= U'Z') ||
                      (code >= U'a' && code <= U'z') || code == U' ' || code == U'\t' ||
                      code == U'\n' || code == U'\r';
    return word ? 20 : 5;
  }
  if (code < 0xA0) return -100;
  if (code == 0xA7 || code == 0xA8 || code == 0xB0 || code == 0xB1 || code == 0xB4 ||
      code == 0xB6 || code == 0xD7 || code == 0xF7) {
    return 0;  // the Latin-1 signs of the Japanese character set
  }
  if (code < 0x250) return -10;
  if (code >= 0x370 && code < 0x500) return -5;
  if (code < 0x2010) return -20;  // up to the typographic spaces and format characters
  if (code < 0x2070) return 0;
  if (code >= 0x2500 && code < 0x2580) return 10;
  if (code < 0x3000) return -5;
  if (code < 0x3040) return 20;
  if (code < 0x30A0) return 30;
  if (code < 0x3100) return 25;
  if (code < 0x3400) return -10;
  if (code < 0x4E00) return -20;
  if (code < 0xA000) return 5;
  if (code < 0xE000) return -30;
  if (code < 0xF900) return -50;
  if (code < 0xFB00) return -20;
  if (code == 0xFEFF) return 0;
  if (code < 0xFF01) return -30;
  if (code < 0xFF5F) return 10;
  if (code >= 0xFFE0 && code <= 0xFFE5) return 5;
  if (code < 0x10000) return -30;
  return -20;
}

}  // namespace kelvo::detect
