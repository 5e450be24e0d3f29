#include "drivers/Quilvar.h"

#include "convert/ConvertEUC.h"
#include "convert/EngineFile.h"
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

  // binary.tmp serves "-b" and "-t"; a run that would write over its own input or output
  // through it is refused before anything is written.
  if ((settings.SameTime() || settings.ViaBinaryTmp()) && !settings.OutputName().empty()) {
    EngineFiles::RefuseBinaryTmpItself(settings.InputName(), settings.OutputName());
  }

  Conversion engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  bool reported = true;
  if (settings.ShowTable()) reported = engine.ShowDataFile() && !engine.TableReportFailed();

  if (settings.OutputName().empty()) {
    // Standard output ("--out", or "-z" alone): always CR LF; "-t" and "-b" do not apply.
    if (settings.RemoveControls()) {
      engine.PrepareControlFilter();
      engine.ConvertToStandardOutputFiltered();
    } else {
      engine.ConvertToStandardOutput();
    }
    return reported ? 0 : 1;
  }
  const int code = engine.ConvertBySettings(settings);
  return reported ? code : 1;
}

}  // namespace kelvo
