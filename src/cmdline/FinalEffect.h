// The run settings: made once by the option scanner from the words, then handed in parts to
// the engines, the table loaders and the field selector.
#pragma once

#include <cstdint>
#include <string>

#include "convert/ConversionRules.h"
#include "convert/PastoralUTF16.h"
#include "tables/SearchBinary.h"

namespace kelvo {

struct FinalEffects {
  std::u16string inputName;   // empty: standard input (reverse program)
  std::u16string outputName;  // empty: standard output
  // "-r": the field to select (forward program); the field limit when none was given.
  std::int32_t fieldNumber = 0;
  std::int32_t fieldLimit = 255;                           // 255, or 3071 under "-Z"
  LineEndMode lineEnds = LineEndMode::CrLf;                // "-LF", "-L", "-0"
  Controls controls = Controls::Kept;                      // "-s"
  SearchTable search;                                      // "-d", "-a", "-w"
  SurrogateList surrogates = SurrogateList::Replacements;  // "-u"
  bool sameTime = false;                                   // "-t"
  bool viaBinaryTmp = false;                               // "-b"
  bool keepBinaryTmp = false;                              // "-y"
};

}  // namespace kelvo
