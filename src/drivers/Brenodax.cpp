#include "drivers/Brenodax.h"

#include "convert/ConvertWideEUC.h"
#include "convert/StandardIO.h"
#include "drivers/ScanRun.h"
#include "platform/Platform.h"
#include "tables/DeriveBinaryEUC.h"
#include "tables/SearchBinary.h"

namespace kelvo {

int RunBrenodax(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive EUC-JP~UTF16.bin; the sparse source is searched for everywhere.
    SearchTable search;
    search.SetUp(platform::DefaultTableDirectory() + u"MS932~EUC-JP.bin", false, false, false);
    DeriveBrenodaxTable().Derive(search);
    return 0;
  }

  ScannedRun run = ScanRun(arguments);
  const FinalEffects& settings = run.settings;

  if (settings.InputName().empty()) {
    // Standard input, spooled through text.tmp; line-end options, "-t" and "-b" do not
    // apply, every line keeps the CR LF the spool gives it.
    StandardInput reader;
    reader.CaptureStandardInput();
    reader.Open(settings);
    if (settings.ShowTable()) reader.ShowDataFile();
    int result;
    if (settings.RemoveControls()) {
      reader.PrepareControlFilter();
      result = reader.ConvertFiltered();
    } else {
      result = reader.Convert();
    }
    return result == 0 ? 0 : 1;
  }

  ConvertEUCintoUTF16 engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  if (settings.ShowTable()) engine.ShowDataFile();
  // An empty output name ("--out", or "-z" alone) writes to standard output.
  return engine.ConvertBySettings(settings);
}

}  // namespace kelvo
