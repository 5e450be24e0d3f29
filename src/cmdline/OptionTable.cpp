#include "cmdline/OptionTable.h"

#include <algorithm>

namespace kelvo {

namespace {

// The words are ASCII: each unit is one byte of the page.
std::string Ascii(std::u16string_view word) {
  return std::string(word.begin(), word.end());
}

// The word as roff writes it, each hyphen escaped.
std::string Roff(std::u16string_view word) {
  std::string text;
  for (const char c : Ascii(word)) {
    if (c == '-') text += '\\';
    text += c;
  }
  return text;
}

std::string WithProgram(std::string_view text, std::string_view program) {
  static constexpr std::string_view kMark = "{program}";
  std::string result(text);
  for (std::size_t at; (at = result.find(kMark)) != std::string::npos;) {
    result.replace(at, kMark.size(), program);
  }
  return result;
}

// The word in bold, with the aliases that stand for it alone and have no entry of their own.
std::string ManHead(const OptionTable& table, const OptionEntry& entry) {
  std::string words = Roff(entry.word);
  bool several = false;
  for (const OptionEntry& alias : table) {
    if (alias.kind == OptionKind::Alias && alias.manText.empty() &&
        alias.expansion[0] == entry.word && alias.expansion[1].empty()) {
      words += " \", \" " + Roff(alias.word);
      several = true;
    }
  }
  return (several ? ".BR " : ".B ") + words;
}

}  // namespace

std::string ManOptionsSection(const OptionTable& table, std::string_view program) {
  std::vector<std::string> longWords;
  for (const OptionEntry& entry : table) {
    if (entry.word.starts_with(u"--")) longWords.push_back(Roff(entry.word));
  }
  std::sort(longWords.begin(), longWords.end());
  std::string list;
  for (std::size_t i = 0; i < longWords.size(); ++i) {
    if (i > 0) list += " \" and \" ";
    list += longWords[i];
  }
  std::string section =
      ".SH OPTIONS\n"
      "Options are case\\-sensitive.\n"
      "A word that begins with two hyphens and is not one of this program's long words\n"
      ".RB ( " +
      list +
      " )\n"
      "is ignored whole, for example\n"
      ".BR \\-\\-verbose :\n"
      "none of its letters takes effect and it is never taken as a file name.\n";
  for (const OptionEntry& entry : table) {
    if (entry.manText.empty()) continue;
    const std::string head =
        entry.manHead.empty() ? ManHead(table, entry) : std::string(entry.manHead);
    section += ".TP\n" + WithProgram(head, program) + "\n" + WithProgram(entry.manText, program);
  }
  return section;
}

}  // namespace kelvo
