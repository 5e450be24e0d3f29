// Writes one text as the whole content of a named file, in the ANSI code page.
#pragma once

#include <string>

namespace kelvo {

class MessagesTexts {
 public:
  // Creates the file (or empties it) and writes the text without a line end. Returns false
  // when the file could not be created or written.
  [[nodiscard]] bool WriteText(const std::u16string& fileName, const std::u16string& text);

 private:
  std::u16string fileName_;
  std::u16string text_;
};

}  // namespace kelvo
