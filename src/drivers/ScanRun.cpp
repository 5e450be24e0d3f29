#include "drivers/ScanRun.h"

#include "cmdline/Guide.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/Halt.h"

namespace kelvo {

namespace {

[[noreturn]] void StopWithGuide(bool withComments) {
  Guiding guide;
  guide.Show(CurrentProgram().version, withComments);
  Stop(1);
}

// data.txt is rewritten by the table search under "-w"; an old one must not be shown.
// Every failure (above all a missing file) is ignored.
void RemoveDataFile() {
  const std::u16string name = u"data.txt";
  if (platform::CanOpen(name, platform::ReadMode::Text)) platform::RemoveFile(name);
}

}  // namespace

void StopWithShortGuide() {
  StopWithGuide(false);
}

ScannedRun ScanRun(const std::vector<std::u16string>& arguments) {
  const ProgramRecord& program = CurrentProgram();
  ScannedRun run{HyphenTerms(arguments), FinalEffects(), std::u16string(), 0};
  HyphenTerms& terms = run.terms;
  terms.SetUpTerms();
  terms.ScanTerms();
  // The field limit is fixed before the field number is read: that falls back on it.
  run.fieldLimit = terms.FieldLimit();

  if (terms.GuideWanted()) StopWithGuide(true);
  if (terms.VersionWanted()) StopWithGuide(false);

  run.outputName = terms.listName(1);
  if (run.outputName.empty()) run.outputName = terms.OutputName();

  // Without "-L" lines always end in CR LF; with it, "-0" (on unless cancelled) decides.
  const bool carriageReturn = terms.LineFeedMode() ? terms.WithCR() : true;

  if (program.fieldOptions) {
    run.settings.Define(terms.InputName(), run.outputName, terms.TableName(), terms.PNumber(),
                        terms.FieldNumber(), carriageReturn, terms.SameTime(),
                        terms.KeepBinaryTmp(), terms.DefaultTableOnly(), terms.LineFeedMode(),
                        terms.RemoveControls(), terms.AcquireTable(), terms.UnderscoreSurrogates(),
                        terms.ViaBinaryTmp(), terms.ShowTable());
  } else {
    run.settings.Define(terms.InputName(), run.outputName, terms.TableName(), terms.PNumber(),
                        carriageReturn, terms.SameTime(), terms.KeepBinaryTmp(),
                        terms.DefaultTableOnly(), terms.LineFeedMode(), terms.RemoveControls(),
                        terms.AcquireTable(), terms.ViaBinaryTmp(), terms.ShowTable());
  }

  if (terms.ShowTable()) RemoveDataFile();
  return run;
}

}  // namespace kelvo
