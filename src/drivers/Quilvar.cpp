#include "drivers/Quilvar.h"

#include "convert/ConvertEUC.h"
#include "drivers/ProgramRecord.h"
#include "drivers/ScanRun.h"
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
  engine.Open(settings.search, settings.inputName);
  engine.HaltIfNoInput(-1);
  const bool reported = ShowTableReport(engine, settings);

  if (settings.outputName.empty()) {
    // Standard output ("--out", or "-z" alone): always CR LF; "-t" and "-b" do not apply.
    if (settings.controls == Controls::Removed) {
      engine.ConvertToStandardOutputFiltered();
    } else {
      engine.ConvertToStandardOutput();
    }
    return reported ? 0 : 1;
  }
  const int code = ConvertBySettings(engine, settings);
  return reported ? code : 1;
}

}  // namespace kelvo
