// The parts of the main flow that the three programs share: scanning the options, showing
// the guide or the version, filling the run settings, and converting a file as the
// settings say.
#pragma once

#include <string>
#include <vector>

#include "cmdline/FinalEffect.h"
#include "convert/Engine.h"
#include "drivers/ProgramRecord.h"

namespace kelvo {

// Scans the settings file and the command line of the program. "-G" (also "--help",
// "-VC") shows the guide, "-V" the version; both end the run with exit code 1. Otherwise
// the run settings are returned and, under "-w", an earlier data.txt is erased.
FinalEffects ScanRun(const ProgramRecord& program, const std::vector<std::u16string>& arguments);

// Shows the short guide and ends the run with exit code 1 (a needed file name is missing).
[[noreturn]] void StopWithShortGuide(const ProgramRecord& program);

// A run through binary.tmp ("-b", "-t") whose input or output is binary.tmp itself ends
// with exit code 1 after its report, before anything is written.
void RefuseBinaryTmpItself(const FinalEffects& settings, const EngineNumbers& numbers);

// Under "-w", shows data.txt, which the engine's table search wrote: the failure, already
// reported, when that or the search's own report (as the engine's Open found it) could not
// be written. Nothing fails without "-w".
template <class Engine>
platform::Result ShowTableReport(Engine& engine, const FinalEffects& settings,
                                 const OpenResult& opened) {
  if (!settings.search.showTable) return platform::Result::Ok();
  platform::Result shown = engine.ShowDataFile();
  return shown ? opened.tableReport : shown;
}

// The file conversion as the run settings choose it, after the engine's Open: binary.tmp is
// locked against other runs while it is used; under "-t" the input's time is renewed
// (binary.tmp holding a copy on the way); "-s" and the line-end mode pick the conversion;
// under "-b" it writes binary.tmp, which then replaces the output. Returns the exit code:
// 0, or 1 when the output could not be written (binary.tmp is then not copied on). Any
// other failure ends the run with exit code 1.
int ConvertBySettings(ConversionEngine& engine, const FinalEffects& settings);

}  // namespace kelvo
