// Text work on the configured default table directory; the same on every system.
#include <vector>

#include "platform/Platform.h"

namespace kelvo::platform {

namespace {

bool IsSeparator(char16_t c, char16_t separator) {
  return c == u'/' || c == separator;
}

// Length of the root that starts the path ("/", "C:\", "\\"), 0 for a relative path.
std::size_t RootLength(std::u16string_view path, char16_t separator) {
  if (!path.empty() && IsSeparator(path[0], separator)) {
    return separator == u'\\' && path.size() > 1 && IsSeparator(path[1], separator) ? 2 : 1;
  }
  if (separator == u'\\' && path.size() > 1 && path[1] == u':') {
    return path.size() > 2 && IsSeparator(path[2], separator) ? 3 : 2;
  }
  return 0;
}

}  // namespace

std::u16string ResolveDirectory(std::u16string_view configured,
                                std::u16string_view programDirectory, char16_t separator) {
  std::u16string full(configured);
  if (RootLength(configured, separator) == 0 && !programDirectory.empty()) {
    full = std::u16string(programDirectory) + separator + full;
  }
  const std::size_t rootLength = RootLength(full, separator);
  std::u16string result = full.substr(0, rootLength);
  for (char16_t& c : result) {
    if (IsSeparator(c, separator)) c = separator;
  }
  if (rootLength == 2 && result[1] == u':') result += separator;

  std::vector<std::u16string_view> steps;
  const std::u16string_view rest = std::u16string_view(full).substr(rootLength);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end], separator)) ++end;
    const std::u16string_view step = rest.substr(start, end - start);
    if (step == u"..") {
      // Above the root there is nothing; a relative path keeps its leading "..".
      if (!steps.empty() && steps.back() != u"..") {
        steps.pop_back();
      } else if (rootLength == 0) {
        steps.push_back(step);
      }
    } else if (!step.empty() && step != u".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  // A relative path whose first step reads as a drive on Windows ("c:t") keeps a "." step
  // before it: without one it would name a place on that drive.
  if (rootLength == 0 && separator == u'\\' && !steps.empty() && steps.front().size() > 1 &&
      steps.front()[1] == u':') {
    result = std::u16string(u".") + separator;
  }
  for (const std::u16string_view step : steps) {
    result += step;
    result += separator;
  }
  if (result.empty()) result = std::u16string(u".") + separator;
  return result;
}

}  // namespace kelvo::platform
