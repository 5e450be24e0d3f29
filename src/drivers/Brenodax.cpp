#include "drivers/Brenodax.h"

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
    // standard input: added with the standard-input reader (captured, converted to the
    // output name, exit 0; line-end options, "-t" and "-b" do not apply).
    return 1;
  }

  // conversion: added with the engine. In order: Open the input (HaltIfNoInput(-1), data.txt
  // shown under "-w"); under "-t" the input copied to binary.tmp and back; the conversion
  // loop chosen by the line-end flags and by "-b" / "-s", writing the output name (standard
  // output when it is empty); exit 0.
  return 1;
}

}  // namespace kelvo
