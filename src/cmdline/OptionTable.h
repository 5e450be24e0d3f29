// The options of a program as data: each word with its kind, what it sets and its entry in
// the manual page. The option scanner reads words by it, and the OPTIONS section of the
// manual page is made from it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

enum class OptionKind {
  Flag,    // "-b" turns its setting on, "-b-" off again
  Name,    // "-o": the next plain word is its value; "-o-" drops it
  Number,  // "-r2": digits after the letter
  Range,   // "-I3x5" or "-I35": two numbers
  Value,   // "-e0101", "-J;": a value after the letter, which nothing reads
  Text,    // "-jabc": the same, kept whole on the command line
  Alias,   // "-LF": on the command line alone, it stands for other words
};

// What a word sets in the run settings; None: the word is consumed and changes nothing.
enum class OptionEffect {
  None,
  WithCR,
  AcquireTable,
  ViaBinaryTmp,
  DefaultTableOnly,
  GuideWanted,
  VersionWanted,
  LineFeedMode,
  KeepBinaryTmp,
  RemoveControls,
  SameTime,
  ShowTable,
  NoDefaultOutput,
  UnderscoreSurrogates,
  WideFields,
  OutputName,   // "-o"
  FieldNumber,  // "-r"
  Count
};

struct OptionEntry {
  std::u16string_view word;
  OptionKind kind;
  OptionEffect effect = OptionEffect::None;
  // The words an alias stands for.
  std::array<std::u16string_view, 2> expansion{};
  // Whether the program's guide shows the word in one of its commands; a word that the guide
  // leaves out is marked false.
  bool inGuide = false;
  // The manual page's entry in roff, "{program}" standing for the program's name: the text,
  // and the head line after ".TP" where it is more than the word in bold (with the aliases
  // that stand for it alone). Without a text the word is described under the word it stands
  // for, or not in the manual page.
  std::string_view manText{};
  std::string_view manHead{};
};

using OptionTable = std::vector<OptionEntry>;

// The OPTIONS section of the manual page, from ".SH OPTIONS" to the last entry's text.
std::string ManOptionsSection(const OptionTable& table, std::string_view program);

}  // namespace kelvo
