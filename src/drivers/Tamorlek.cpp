#include "drivers/Tamorlek.h"

#include "convert/EngineFile.h"
#include "convert/Utf16intoEUC.h"
#include "drivers/ScanRun.h"
#include "fields/PutCSV.h"
#include "fields/SelectField.h"
#include "platform/Platform.h"
#include "support/Halt.h"
#include "tables/DeriveTamorlek.h"
#include "tables/SearchBinary.h"

namespace kelvo {

namespace {

constexpr char16_t kSurrogateList[] = u"surro.csv";
constexpr char16_t kUnderscoreList[] = u"surro.txt";
constexpr char16_t kBinaryTmp[] = u"binary.tmp";
// "surro.txt" holds the code point column of "surro.csv" (field 4, counted from 1).
constexpr std::int32_t kCodePointField = 4;

// Makes sure surro.csv and surro.txt exist before the options are looked at (so also for
// "-G" and "-V"): surro.csv is written from the built-in list when it cannot be opened,
// surro.txt is then selected from it (field 4, surrogate pairs replaced by underscores).
// An existing file is never overwritten.
void EnsureSurrogateLists() {
  if (!platform::CanOpen(kSurrogateList, platform::ReadMode::Text)) {
    PutSurroCSV().WriteList(kSurrogateList);
  }
  if (!platform::CanOpen(kUnderscoreList, platform::ReadMode::Text)) {
    FinalEffects settings;
    settings.DefineForSurrogates(kSurrogateList, kUnderscoreList, kCodePointField, true);
    Selecting selecting;
    selecting.AttachSettings(settings);
    selecting.Open(settings, kSurrogateList);
    selecting.HaltIfNoInput(-1);
    // A list that cannot be written is reported; the run goes on without it. It is put in
    // place whole, for runs starting at the same moment that read it.
    static_cast<void>(selecting.WriteSelectedField(kUnderscoreList, true));
  }
}

// The conversion loop of the line-end family and the control filter, writing path.
int ConvertBy(ConvertUtf16intoEUC& engine, const FinalEffects& settings,
              const std::u16string& path) {
  const bool filtered = settings.RemoveControls();
  if (filtered) engine.PrepareControlFilter();
  if (settings.CarriageReturn()) {
    return filtered ? engine.ConvertCrLfFiltered(path) : engine.ConvertCrLf(path);
  }
  if (settings.LineFeedMode()) {
    return filtered ? engine.ConvertLfFiltered(path) : engine.ConvertLf(path);
  }
  return filtered ? engine.ConvertAsReadFiltered(path) : engine.ConvertAsRead(path);
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
    Selecting selecting;
    selecting.AttachSettings(settings);
    selecting.Open(settings, settings.InputName());
    selecting.HaltIfNoInput(-1);
    // A selection whose output could not be written did not succeed; nor did a run whose
    // "-w" report could not be written.
    const int written = selecting.WriteSelectedField(settings.OutputName());
    return written == 0 && !selecting.TableReportFailed() ? 0 : 1;
  }

  if (settings.InputName().empty()) StopWithShortGuide();
  // binary.tmp serves "-b" and "-t"; a run that would write over its own input or output
  // through it is refused before anything is written.
  const bool usesBinaryTmp = settings.SameTime() || settings.ViaBinaryTmp();
  if (usesBinaryTmp && !settings.OutputName().empty()) {
    EngineFiles::RefuseBinaryTmpItself(settings.InputName(), settings.OutputName());
  }

  ConvertUtf16intoEUC engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  bool reported = true;
  if (settings.ShowTable()) reported = engine.ShowDataFile() && !engine.TableReportFailed();

  if (settings.OutputName().empty()) StopWithShortGuide();

  // Concurrent runs in this directory wait for each other's binary.tmp.
  platform::FileLock binaryTmpLock;
  if (usesBinaryTmp) EngineFiles::LockWorkingFile(binaryTmpLock, kBinaryTmp);
  // The input's time is renewed before the output is written. Under "-b" too, binary.tmp
  // stays for the conversion: it is removed only as the last step, while the lock is still
  // held, so that no other run ever finds a fresh one.
  if (settings.SameTime()) {
    engine.RenewInputTime(settings.KeepBinaryTmp() || settings.ViaBinaryTmp());
  }

  int code = 0;
  if (!settings.ViaBinaryTmp()) {
    code = ConvertBy(engine, settings, settings.OutputName()) == 0 ? 0 : 1;
  } else if (ConvertBy(engine, settings, kBinaryTmp) != 0) {
    // A binary.tmp that could not be written is never copied: an older one would replace
    // the output with stale text.
    code = 1;
  } else {
    engine.CopyFromBinaryTmp(settings.OutputName(), settings.KeepBinaryTmp());
  }
  return reported ? code : 1;
}

}  // namespace kelvo
