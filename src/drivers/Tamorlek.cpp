#include "drivers/Tamorlek.h"

#include "convert/Utf16intoEUC.h"
#include "drivers/ProgramRecord.h"
#include "drivers/ScanRun.h"
#include "fields/PutCSV.h"
#include "fields/SelectField.h"
#include "platform/Platform.h"
#include "support/FileNames.h"
#include "support/Halt.h"
#include "tables/DerivePairs.h"

namespace kelvo {

namespace {

const ProgramRecord& program = kTamorlek;

// "surro.txt" holds the code point column of "surro.csv" (field 4, counted from 1).
constexpr std::int32_t kCodePointField = 4;

// Makes sure surro.csv and surro.txt exist before the options are looked at (so also for
// "-G" and "-V"): surro.csv is written from the built-in list when it cannot be opened,
// surro.txt is then selected from it (field 4, surrogate pairs replaced by underscores).
// An existing file is never overwritten, nor is anything that stands under the name (a
// link, a FIFO, another user's list, which the loader then refuses). A list that cannot be
// written is reported; the run goes on with the built-in list.
void EnsureSurrogateLists() {
  const auto missing = [](const char16_t* name) {
    const platform::Result opened =
        platform::CanOpen(name, platform::ReadMode::Text, platform::Guard::Working);
    return !opened && opened.refused == platform::Refusal::None;
  };
  if (missing(kSurrogateList)) {
    static_cast<void>(PutSurroCSV(program.forward.writeList).WriteList(kSurrogateList));
  }
  // surro.txt is made only from a surro.csv to trust.
  if (missing(kUnderscoreList) &&
      platform::CanOpen(kSurrogateList, platform::ReadMode::Text, GuardFor(kSurrogateList))) {
    Selecting selecting(program.forward.selection, program.engine.table, program.forward.lists,
                        kCodePointField);
    if (!selecting.Open(SearchTable{}, SurrogateList::Underscores, kSurrogateList).input) Stop(1);
    // Put in place whole, for runs starting at the same moment that read it.
    static_cast<void>(selecting.WriteSelectedField(kUnderscoreList, platform::Placement::Replace,
                                                   platform::Guard::Working));
  }
}

}  // namespace

int RunTamorlek(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive UTF16~EUC-JP.bin; the sparse source is taken from the default directory only.
    const DeriveTamorlekTable derive(program.engine.table.tables, program.derivation);
    return derive.Derive(SearchTable{.defaultTableOnly = true}) ? 0 : 1;
  }

  EnsureSurrogateLists();

  const FinalEffects settings = ScanRun(program, arguments);

  if (settings.fieldNumber < settings.fieldLimit) {
    Selecting selecting(program.forward.selection, program.engine.table, program.forward.lists,
                        settings.fieldNumber);
    const OpenResult opened =
        selecting.Open(settings.search, settings.surrogates, settings.inputName);
    if (!opened.input) Stop(-1);
    // A selection whose output could not be written did not succeed; nor did a run whose
    // "-w" report could not be written.
    const OutputStatus written = selecting.WriteSelectedField(settings.outputName);
    return written == OutputStatus::Written && opened.tableReport ? 0 : 1;
  }

  if (settings.inputName.empty()) StopWithShortGuide(program);
  RefuseBinaryTmpItself(settings, program.engine.numbers);

  ConvertUtf16intoEUC engine(program.engine, program.forward.lists);
  const OpenResult opened = engine.Open(settings.search, settings.surrogates, settings.inputName);
  if (!opened.input) Stop(-1);
  const platform::Result reported = ShowTableReport(engine, settings, opened);

  if (settings.outputName.empty()) StopWithShortGuide(program);

  const int code = ConvertBySettings(engine, settings);
  return reported ? code : 1;
}

}  // namespace kelvo
