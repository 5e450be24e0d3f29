#include "drivers/Quilvar.h"

#include "convert/ConvertEUC.h"
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

  Conversion engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  if (settings.ShowTable()) engine.ShowDataFile();

  if (settings.OutputName().empty()) {
    // Standard output ("--out", or "-z" alone): always CR LF; "-t" and "-b" do not apply.
    if (settings.RemoveControls()) {
      engine.PrepareControlFilter();
      engine.ConvertToStandardOutputFiltered();
    } else {
      engine.ConvertToStandardOutput();
    }
    return 0;
  }
  return engine.ConvertBySettings(settings);
}

}  // namespace kelvo
