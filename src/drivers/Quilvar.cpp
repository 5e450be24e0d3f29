#include "drivers/Quilvar.h"

#include "drivers/ScanRun.h"
#include "tables/DeriveTable.h"

namespace kelvo {

int RunQuilvar(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive EUC-JP~Shift_JIS.bin from MS932~EUC-JP.bin in the current directory.
    DeriveTable().Derive();
    return 0;
  }

  ScannedRun run = ScanRun(arguments);
  const FinalEffects& settings = run.settings;

  if (settings.InputName().empty()) StopWithShortGuide();

  // conversion: added with the engine. In order: Open the input (HaltIfNoInput(-1), data.txt
  // shown under "-w"); with an empty output name the conversion to standard output ("-s"
  // honoured, line-end options, "-t" and "-b" not), exit 0; otherwise under "-t" the input
  // copied to binary.tmp and back, then the conversion loop chosen by the line-end flags and
  // by "-b" / "-s"; exit 0.
  return 1;
}

}  // namespace kelvo
