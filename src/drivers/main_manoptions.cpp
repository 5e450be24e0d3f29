// A build tool: prints the OPTIONS section of a program's manual page, made from the
// program's option table, for the build to put into the page.
#include <string>

#include "cmdline/OptionTable.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  const std::vector<std::u16string> arguments = kelvo::platform::Arguments(argc, argv);
  for (const kelvo::ProgramRecord* program :
       {&kelvo::kTamorlek, &kelvo::kBrenodax, &kelvo::kQuilvar}) {
    if (arguments.size() != 1 || arguments[0] != program->name) continue;
    const std::string section =
        kelvo::ManOptionsSection(program->options.table, kelvo::platform::ToAnsi(program->name));
    return kelvo::platform::WriteStandardOutput(section.data(), section.size()) ? 0 : 1;
  }
  kelvo::platform::WriteStandardError("usage: kelvo_man_options tamorlek|brenodax|quilvar\n");
  return 2;
}
