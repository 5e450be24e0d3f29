#include "drivers/Brenodax.h"

#include "convert/ConvertWideEUC.h"
#include "convert/StandardIO.h"
#include "drivers/ProgramRecord.h"
#include "drivers/ScanRun.h"
#include "support/Halt.h"
#include "tables/DerivePairs.h"

namespace kelvo {

namespace {
const ProgramRecord& program = kBrenodax;
}  // namespace

int RunBrenodax(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive EUC-JP~UTF16.bin; the sparse source is searched for everywhere.
    const DeriveBrenodaxTable derive(program.engine.table.tables, program.derivation);
    return derive.Derive(SearchTable{}) ? 0 : 1;
  }

  const FinalEffects settings = ScanRun(program, arguments);

  if (settings.inputName.empty()) {
    // Standard input, spooled through text.tmp; line-end options, "-t" and "-b" do not
    // apply, every line keeps the CR LF the spool gives it.
    StandardInput reader(program.engine, program.standardInput);
    reader.CaptureStandardInput();
    // text.tmp that cannot be measured is reported again when it is read, and ends the run.
    const OpenResult opened = reader.Open(settings.search, settings.outputName);
    const platform::Result reported = ShowTableReport(reader, settings, opened);
    const OutputStatus written = reader.Convert(settings.controls);
    return written == OutputStatus::Written && reported ? 0 : 1;
  }

  RefuseBinaryTmpItself(settings, program.engine.numbers);

  ConvertEUCintoUTF16 engine(program.engine);
  const OpenResult opened = engine.Open(settings.search, settings.inputName);
  if (!opened.input) Stop(-1);
  const platform::Result reported = ShowTableReport(engine, settings, opened);
  // An empty output name ("--out", or "-z" alone) writes to standard output.
  const int code = ConvertBySettings(engine, settings);
  return reported ? code : 1;
}

}  // namespace kelvo
