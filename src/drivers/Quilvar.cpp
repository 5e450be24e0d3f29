#include "drivers/Quilvar.h"

#include "convert/ConvertEUC.h"
#include "drivers/ProgramRecord.h"
#include "drivers/ScanRun.h"
#include "support/Halt.h"
#include "tables/DeriveTable.h"

namespace kelvo {

namespace {
const ProgramRecord& program = kQuilvar;
}  // namespace

int RunQuilvar(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) {
    // Derive EUC-JP~Shift_JIS.bin from MS932~EUC-JP.bin in the current directory.
    return DeriveTable(program.engine.table.tables, program.derivation.failed).Derive() ? 0 : 1;
  }

  const FinalEffects settings = ScanRun(program, arguments);

  if (settings.inputName.empty()) StopWithShortGuide(program);
  RefuseBinaryTmpItself(settings, program.engine.numbers);

  Conversion engine(program.engine);
  const OpenResult opened = engine.Open(settings.search, settings.inputName);
  if (!opened.input) Stop(-1);
  const platform::Result reported = ShowTableReport(engine, settings, opened);

  if (settings.outputName.empty()) {
    // Standard output ("--out", or "-z" alone): always CR LF; "-t" and "-b" do not apply.
    const OutputStatus written = settings.controls == Controls::Removed
                                     ? engine.ConvertToStandardOutputFiltered()
                                     : engine.ConvertToStandardOutput();
    return written == OutputStatus::Written && reported ? 0 : 1;
  }
  const int code = ConvertBySettings(engine, settings);
  return reported ? code : 1;
}

}  // namespace kelvo
