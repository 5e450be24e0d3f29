// The part of the main flow that the three programs share: scanning the options, showing
// the guide or the version, and filling the run settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/FinalEffect.h"
#include "cmdline/HyphenTerm.h"

namespace kelvo {

// What a run with arguments has decided once its options are scanned.
struct ScannedRun {
  HyphenTerms terms;
  FinalEffects settings;
  std::u16string outputName;  // the "-o" name, else the later plain word or the default
  std::int32_t fieldLimit;    // 255, or 3071 under "-Z" (forward program)
};

// Scans the settings file and the command line of the running program. "-G" (also
// "--help", "-VC") shows the guide, "-V" the version; both end the run with exit code 1.
// Otherwise the run settings are filled and, under "-w", an earlier data.txt is erased.
ScannedRun ScanRun(const std::vector<std::u16string>& arguments);

// Shows the short guide and ends the run with exit code 1 (a needed file name is missing).
[[noreturn]] void StopWithShortGuide();

}  // namespace kelvo
