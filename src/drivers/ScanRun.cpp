#include "drivers/ScanRun.h"

#include "cmdline/Guide.h"
#include "platform/Platform.h"
#include "support/FileNames.h"
#include "support/Halt.h"

namespace kelvo {

namespace {

[[noreturn]] void StopWithGuide(const ProgramRecord& program, GuideForm form) {
  Guiding().Show(program.guide, program.version, form);
  Stop(1);
}

// data.txt is rewritten by the table search under "-w"; an old one must not be shown.
// Every failure (above all a missing file) is ignored.
void RemoveDataFile() {
  if (platform::CanOpen(kDataFile, platform::ReadMode::Text, platform::Guard::Working)) {
    static_cast<void>(platform::RemoveFile(kDataFile));
  }
}

}  // namespace

void StopWithShortGuide(const ProgramRecord& program) {
  StopWithGuide(program, GuideForm::Short);
}

ScannedRun ScanRun(const ProgramRecord& program, const std::vector<std::u16string>& arguments) {
  ScannedRun run{HyphenTerms(arguments, program.options), FinalEffects(), std::u16string(), 0};
  HyphenTerms& terms = run.terms;
  if (!terms.SetUpTerms()) Stop(1);
  terms.ScanTerms();
  // The field limit is fixed before the field number is read: that falls back on it.
  run.fieldLimit = terms.FieldLimit();

  if (terms.GuideWanted()) StopWithGuide(program, GuideForm::Commented);
  if (terms.VersionWanted()) StopWithGuide(program, GuideForm::Short);

  run.outputName = terms.listName(1);
  if (run.outputName.empty()) run.outputName = terms.OutputName();

  const bool fieldOptions = program.options.fieldOptions;
  run.settings = FinalEffects{
      .inputName = terms.InputName(),
      .outputName = run.outputName,
      .tableName = terms.TableName(),
      .pNumber = terms.PNumber(),
      .fieldNumber = fieldOptions ? terms.FieldNumber() : 0,
      // Without "-L" lines always end in CR LF; with it, "-0" (on unless cancelled) decides.
      .lineEnds = !terms.LineFeedMode() || terms.WithCR() ? LineEndMode::CrLf : LineEndMode::Lf,
      .controls = terms.RemoveControls() ? Controls::Removed : Controls::Kept,
      .search = {.defaultTableOnly = terms.DefaultTableOnly(),
                 .acquireTable = terms.AcquireTable(),
                 .showTable = terms.ShowTable()},
      .surrogates = fieldOptions && terms.UnderscoreSurrogates() ? SurrogateList::Underscores
                                                                 : SurrogateList::Replacements,
      .sameTime = terms.SameTime(),
      .viaBinaryTmp = terms.ViaBinaryTmp(),
      .keepBinaryTmp = terms.KeepBinaryTmp(),
  };

  if (terms.ShowTable()) RemoveDataFile();
  return run;
}

void RefuseBinaryTmpItself(const FinalEffects& settings, const EngineNumbers& numbers) {
  if ((settings.sameTime || settings.viaBinaryTmp) &&
      !EngineFiles::BinaryTmpUsable(settings.inputName, settings.outputName, numbers)) {
    Stop(1);
  }
}

int ConvertBySettings(ConversionEngine& engine, const FinalEffects& settings) {
  // Concurrent runs in this directory wait for each other's binary.tmp.
  platform::FileLock binaryTmpLock;
  if ((settings.sameTime || settings.viaBinaryTmp) &&
      !EngineFiles::LockWorkingFile(binaryTmpLock, kBinaryTmp, engine.Numbers())) {
    Stop(1);
  }
  // A binary.tmp this run made goes with an interruption until the run is done with it.
  struct InterruptionCleanUp {
    bool made;
    explicit InterruptionCleanUp(bool madeHere) : made(madeHere) {
      if (made) platform::RemoveOnInterruption(kBinaryTmp);
    }
    ~InterruptionCleanUp() {
      if (made) platform::KeepOnInterruption(kBinaryTmp);
    }
  } cleanUp(binaryTmpLock.Made());
  // The input's time is renewed before the output is written. Under "-b" too, binary.tmp
  // stays for the conversion: it is removed only as the last step, while the lock is still
  // held, so that no other run ever finds a fresh one.
  if (settings.sameTime &&
      !engine.RenewInputTime(settings.keepBinaryTmp || settings.viaBinaryTmp)) {
    Stop(1);
  }
  const std::u16string target =
      settings.viaBinaryTmp ? std::u16string(kBinaryTmp) : settings.outputName;
  // A binary.tmp that could not be written is never copied: an older one would replace the
  // output with stale text.
  if (engine.Convert(settings.lineEnds, settings.controls, target) != OutputStatus::Written) {
    return 1;
  }
  if (settings.viaBinaryTmp &&
      !engine.CopyFromBinaryTmp(settings.outputName, settings.keepBinaryTmp)) {
    Stop(1);
  }
  return 0;
}

}  // namespace kelvo
