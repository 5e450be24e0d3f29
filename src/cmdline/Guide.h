// The usage guide of a program: a version heading, an empty line and one line per typical
// command, written to standard output.
#pragma once

#include <string>
#include <vector>

namespace kelvo {

// The texts of one program's guide.
struct GuideTexts {
  std::u16string title;               // "Tamorlek"
  std::vector<std::u16string> lines;  // the lines with their comments
  int shortLength;                    // the short guide cuts each line here, before its '#'
};

// The long guide ("-G") keeps the comments; the short one ("-V", or a missing name) does not.
enum class GuideForm { Short, Commented };

class Guiding {
 public:
  // The whole guide as text, CR LF after every line.
  static std::u16string Text(const GuideTexts& texts, const std::u16string& version,
                             GuideForm form);
  // Writes the guide to standard output in the ANSI code page, in one write.
  void Show(const GuideTexts& texts, const std::u16string& version, GuideForm form);
};

}  // namespace kelvo
