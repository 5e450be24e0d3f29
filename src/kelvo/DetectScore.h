// How plausible one decoded character is in Japanese text, for the encoding detector. Each
// reading of a file adds up the scores of its characters; the reading of a file in the wrong
// encoding meets rare kanji, unassigned codes and odd half-width kana, the right one meets
// kana and common kanji. Scores are in tenths of a point so that they add up exactly.
#pragma once

#include <cstdint>

namespace kelvo::detect {

// What a two-byte code of the Japanese character set holds, told from its row and column.
enum class Kind : std::uint8_t {
  Unassigned,  // no character of the code page 932 repertoire: the reading is ruled out
  Punctuation,
  Symbol,
  Alphanumeric,
  Hiragana,
  Katakana,
  Foreign,  // Greek, Cyrillic
  BoxDrawing,
  RowThirteen,     // circled numbers, Roman numerals, units
  Kanji1,          // the common level (rows 16-47)
  Kanji2,          // the rarer level (rows 48-84)
  ExtensionKanji,  // the extension kanji of code page 932 (rows 89-92, FA40h-FC4Bh)
  UserDefined,
  Supplementary,  // the three-byte codes of EUC-JP
};

// The kind of the character at row and column (both from 1) of the two-byte character set;
// rows 85-94 hold the extension kanji (rows 89-92) and otherwise nothing assigned.
Kind KindOfCell(int row, int column);
// The kind of a Shift_JIS two-byte code, lead and trail as they are (the user-defined leads
// F0h-F9h and the extension kanji FA40h-FC4Bh included).
Kind KindOfShiftJis(std::uint8_t lead, std::uint8_t trail);
// The kind of an EUC-JP two-byte code, both bytes in A1h-FEh; rows 85-94 outside the
// extension kanji are the user-defined area.
Kind KindOfEucJp(std::uint8_t lead, std::uint8_t trail);

int ScoreOfKind(Kind kind);

// Half-width katakana are scored in context: a run of them, the sound marks after the kana
// that take them, the long-vowel mark and small kana inside a word are Japanese; the same
// bytes read one by one out of such a context are not. `code` is the Shift_JIS byte
// (A1h-DFh); `previous` is the code of the character before it, or 0 when that was none.
int ScoreOfHalfKana(std::uint8_t code, std::uint8_t previous);

// The score of a Unicode character decoded from UTF-8 or UTF-16 (not for the half-width
// katakana U+FF61-U+FF9F, which go through ScoreOfHalfKana).
int ScoreOfCodePoint(char32_t code);

}  // namespace kelvo::detect
