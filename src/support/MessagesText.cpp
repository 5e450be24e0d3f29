#include "support/MessagesText.h"

#include "platform/Platform.h"

namespace kelvo {

bool MessagesTexts::WriteText(const std::u16string& fileName, const std::u16string& text) {
  fileName_ = fileName;
  text_ = text;
  const std::string bytes = platform::ToAnsi(text_);
  platform::OutputFile file;
  if (!file.Create(fileName_, platform::Placement::Truncate, platform::Guard::Working)) {
    refused_ = file.Refused() != platform::Refusal::None;
    return false;
  }
  refused_ = false;
  bool ok = file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  return file.Close() && ok;
}

}  // namespace kelvo
