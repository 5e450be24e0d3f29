// Writes one text as the whole content of a named file, in the ANSI code page.
#pragma once

#include <string>

#include "platform/Result.h"

namespace kelvo {

class MessagesTexts {
 public:
  // Creates the file (or empties it) and writes the text without a line end. The file is a
  // working file of the current directory: a link, FIFO or device there is refused (the
  // failure then carries the refusal). Fails when the file could not be created or written.
  platform::Result WriteText(const std::u16string& fileName, const std::u16string& text);

 private:
  std::u16string fileName_;
  std::u16string text_;
};

}  // namespace kelvo
