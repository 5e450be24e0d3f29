#include "drivers/ScanRun.h"

#include "cmdline/Guide.h"
#include "cmdline/HyphenTerm.h"
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

FinalEffects ScanRun(const ProgramRecord& program, const std::vector<std::u16string>& arguments) {
  HyphenTerms terms(arguments, program.options);
  if (!terms.SetUpTerms()) Stop(1);
  terms.ScanTerms();
  if (terms.On(OptionEffect::GuideWanted)) StopWithGuide(program, GuideForm::Commented);
  if (terms.On(OptionEffect::VersionWanted)) StopWithGuide(program, GuideForm::Short);
  FinalEffects settings = terms.Settings();
  if (settings.search.showTable) RemoveDataFile();
  return settings;
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
