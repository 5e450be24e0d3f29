#include "drivers/Brenodax.h"

#include "convert/ConvertWideEUC.h"
#include "convert/EngineFile.h"
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
    bool reported = true;
    if (settings.ShowTable()) reported = reader.ShowDataFile() && !reader.TableReportFailed();
    int result;
    if (settings.RemoveControls()) {
      reader.PrepareControlFilter();
      result = reader.ConvertFiltered();
    } else {
      result = reader.Convert();
    }
    return result == 0 && reported ? 0 : 1;
  }

  // binary.tmp serves "-b" and "-t"; a run that would write over its own input or output
  // through it is refused before anything is written.
  if ((settings.SameTime() || settings.ViaBinaryTmp())) {
    EngineFiles::RefuseBinaryTmpItself(settings.InputName(), settings.OutputName());
  }

  ConvertEUCintoUTF16 engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  bool reported = true;
  if (settings.ShowTable()) reported = engine.ShowDataFile() && !engine.TableReportFailed();
  // An empty output name ("--out", or "-z" alone) writes to standard output.
  const int code = engine.ConvertBySettings(settings);
  return reported ? code : 1;
}

}  // namespace kelvo
