#include "drivers/Tamorlek.h"

#include "drivers/ScanRun.h"
#include "platform/Platform.h"
#include "tables/DeriveTamorlek.h"
#include "tables/SearchBinary.h"

namespace kelvo {

namespace {

// Makes sure surro.csv and surro.txt exist before the options are looked at (so also for
// "-G" and "-V"): surro.csv is written from the built-in list when it cannot be opened,
// surro.txt is then selected from it (field 4, surrogate pairs replaced by underscores).
void EnsureSurrogateLists() {
  // surrogate list: added with the surrogate list and the field selector
}

}  // namespace

int RunTamorlek(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive UTF16~EUC-JP.bin; the sparse source is taken from the default directory only.
    SearchTable search;
    search.SetUp(platform::DefaultTableDirectory() + u"UTF16~EUC-JP.bin", true, false, false);
    DeriveTamorlekTable().Derive(search);
    return 0;
  }

  EnsureSurrogateLists();

  ScannedRun run = ScanRun(arguments);
  const FinalEffects& settings = run.settings;

  if (settings.FieldNumber() < run.fieldLimit) {
    // field selection: added with the field selector (Open, HaltIfNoInput(-1),
    // WriteSelectedField to the output name, then exit 0).
    return 1;
  }

  if (settings.InputName().empty()) StopWithShortGuide();

  // conversion: added with the engine. In order: Open the input (HaltIfNoInput(-1), data.txt
  // shown under "-w"); the short guide and exit 1 when the output name is empty; under "-t"
  // the input copied to binary.tmp and back; the conversion loop chosen by the line-end
  // flags and by "-b" / "-s"; exit 0.
  return 1;
}

}  // namespace kelvo
