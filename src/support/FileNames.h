// The fixed file names of the system. All of them are relative to the current directory,
// except where a table is looked for elsewhere by the table search.
#pragma once

#include <string_view>

#include "platform/Platform.h"

namespace kelvo {

// Working files.
inline constexpr char16_t kBinaryTmp[] = u"binary.tmp";   // "-b" and "-t" go through it
inline constexpr char16_t kDataFile[] = u"data.txt";      // the report of "-w"
inline constexpr char16_t kSpoolFile[] = u"text.tmp";     // standard input, spooled
inline constexpr char16_t kSerialFile[] = u"serial.txt";  // running number of the error logs
inline constexpr char16_t kErrorFile[] = u"error.txt";    // failures of that numbering

// The surrogate lists of the forward converter.
inline constexpr char16_t kSurrogateList[] = u"surro.csv";   // pairs and their replacements
inline constexpr char16_t kUnderscoreList[] = u"surro.txt";  // code points written as low lines

// The source tables supplied with the system, and the table each program derives.
inline constexpr char16_t kUtf16Source[] = u"MS932~UTF16.bin";
inline constexpr char16_t kEucSource[] = u"MS932~EUC-JP.bin";
inline constexpr char16_t kForwardTable[] = u"UTF16~EUC-JP.bin";
inline constexpr char16_t kReverseTable[] = u"EUC-JP~UTF16.bin";
inline constexpr char16_t kRecoderTable[] = u"EUC-JP~Shift_JIS.bin";

// The guard under which a conversion opens a file of this name: binary.tmp and text.tmp hold
// the user's text and are the user's alone; the surrogate lists steer the conversion. Any
// other name was given by the user.
inline platform::Guard GuardFor(std::u16string_view name) {
  if (name == kBinaryTmp || name == kSpoolFile) return platform::Guard::Private;
  if (name == kSurrogateList || name == kUnderscoreList) return platform::Guard::Steering;
  return platform::Guard::None;
}

}  // namespace kelvo
