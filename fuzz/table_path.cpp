// The table search's paths: the configured default directory resolved against the program's
// directory, for either separator. The result ends in the separator, has no "." or empty
// steps, and resolving it again changes nothing.
#include "FuzzSupport.h"
#include "platform/Platform.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const char16_t separator = input.Byte() & 1 ? u'\\' : u'/';
  // The configured value, then after a zero byte the program's directory.
  const std::string_view rest(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
  const std::size_t zero = rest.find('\0');
  const std::u16string configured = platform::FromAnsi(rest.substr(0, zero));
  const std::u16string program =
      zero == std::string_view::npos ? std::u16string() : platform::FromAnsi(rest.substr(zero + 1));
  const std::u16string resolved = platform::ResolveDirectory(configured, program, separator);
  fuzz::Check(!resolved.empty() && resolved.back() == separator, "no separator at the end");
  const std::u16string dot{separator, u'.', separator};
  const std::u16string empty{separator, separator};
  fuzz::Check(resolved.find(dot) == std::u16string::npos, "a '.' step is left");
  // A Windows network root starts with two separators.
  const std::size_t from = separator == u'\\' && resolved.rfind(empty, 0) == 0 ? 2 : 0;
  fuzz::Check(resolved.find(empty, from) == std::u16string::npos, "an empty step is left");
  fuzz::Check(platform::ResolveDirectory(resolved, u"", separator) == resolved,
              "resolving again changes the path");
  return 0;
}
