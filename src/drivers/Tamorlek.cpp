#include "drivers/Tamorlek.h"

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
    // A list that cannot be written is reported; the run goes on without it.
    selecting.WriteSelectedField(kUnderscoreList);
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
    // A selection whose output could not be written did not succeed.
    return selecting.WriteSelectedField(settings.OutputName()) == 0 ? 0 : 1;
  }

  if (settings.InputName().empty()) StopWithShortGuide();

  ConvertUtf16intoEUC engine;
  engine.Open(settings, settings.InputName());
  engine.HaltIfNoInput(-1);
  if (settings.ShowTable()) engine.ShowDataFile();

  if (settings.OutputName().empty()) StopWithShortGuide();

  if (settings.SameTime()) {
    // The input is written again from a copy, so that it gets the time of this run.
    engine.CopyToBinaryTmp(settings.InputName(), false);
    engine.CopyFromBinaryTmp(settings.InputName(), settings.KeepBinaryTmp());
  }

  if (!settings.ViaBinaryTmp()) {
    return ConvertBy(engine, settings, settings.OutputName()) == 0 ? 0 : 1;
  }
  // Through binary.tmp, so that the output may replace the input. A binary.tmp that could
  // not be written is never copied: an older one would overwrite the output with stale text.
  if (ConvertBy(engine, settings, kBinaryTmp) != 0) return 1;
  engine.CopyFromBinaryTmp(settings.OutputName(), settings.KeepBinaryTmp());
  return 0;
}

}  // namespace kelvo
