#include "cmdline/Guide.h"

#include <algorithm>

#include "platform/Platform.h"

namespace kelvo {

std::u16string Guiding::Text(const GuideTexts& texts, const std::u16string& version,
                             GuideForm form) {
  std::u16string text = texts.title + u" Version " + version + u"\r\n\r\n";
  const std::size_t shortLength = static_cast<std::size_t>(std::max(texts.shortLength, 0));
  for (const std::u16string& line : texts.lines) {
    text +=
        form == GuideForm::Commented ? line : line.substr(0, std::min(shortLength, line.size()));
    text += u"\r\n";
  }
  return text;
}

void Guiding::Show(const GuideTexts& texts, const std::u16string& version, GuideForm form) {
  const std::string bytes = platform::ToAnsi(Text(texts, version, form));
  // Standard output that cannot take the guide leaves nothing to tell.
  static_cast<void>(platform::WriteStandardOutput(bytes.data(), bytes.size()));
}

}  // namespace kelvo
