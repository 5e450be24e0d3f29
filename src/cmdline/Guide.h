// The usage guide of the running program: a version heading, an empty line and one line
// per typical command, written to standard output.
#pragma once

#include <string>

namespace kelvo {

class Guiding {
 public:
  // The whole guide as text, CR LF after every line. Without comments each line is cut
  // just before its '#'.
  static std::u16string Text(const std::u16string& version, bool withComments);
  // Writes the guide to standard output in the ANSI code page, in one write.
  void Show(const std::u16string& version, bool withComments);
};

}  // namespace kelvo
