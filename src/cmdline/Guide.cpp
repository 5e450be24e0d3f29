#include "cmdline/Guide.h"

#include <algorithm>

#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {

std::u16string Guiding::Text(const std::u16string& version, bool withComments) {
  const ProgramRecord& program = CurrentProgram();
  std::u16string text = program.title + u" Version " + version + u"\r\n\r\n";
  const std::size_t shortLength = static_cast<std::size_t>(std::max(program.shortGuideLength, 0));
  for (const std::u16string& line : program.guideLines) {
    text += withComments ? line : line.substr(0, std::min(shortLength, line.size()));
    text += u"\r\n";
  }
  return text;
}

void Guiding::Show(const std::u16string& version, bool withComments) {
  const std::string bytes = platform::ToAnsi(Text(version, withComments));
  platform::WriteStandardOutput(bytes.data(), bytes.size());
}

}  // namespace kelvo
