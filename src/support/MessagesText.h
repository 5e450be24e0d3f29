// Writes one text as the whole content of a named file, in the ANSI code page.
#pragma once

#include <string>

namespace kelvo {

class MessagesTexts {
 public:
  // Creates the file (or empties it) and writes the text without a line end. The file is a
  // working file of the current directory: a link, FIFO or device there is refused. Returns
  // false when the file could not be created or written, or was refused.
  [[nodiscard]] bool WriteText(const std::u16string& fileName, const std::u16string& text);
  // Whether the last WriteText was refused for what stood under the name.
  bool Refused() const { return refused_; }

 private:
  bool refused_ = false;
  std::u16string fileName_;
  std::u16string text_;
};

}  // namespace kelvo
