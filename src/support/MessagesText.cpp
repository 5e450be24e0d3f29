#include "support/MessagesText.h"

#include "platform/Platform.h"

namespace kelvo {

platform::Result MessagesTexts::WriteText(const std::u16string& fileName,
                                          const std::u16string& text) {
  fileName_ = fileName;
  text_ = text;
  const std::string bytes = platform::ToAnsi(text_);
  platform::OutputFile file;
  platform::Result result =
      file.Create(fileName_, platform::Placement::Truncate, platform::Guard::Working);
  if (!result) return result;
  result = file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  platform::Result closed = file.Close();
  return result ? closed : result;
}

}  // namespace kelvo
