#include "drivers/MainEntry.h"

#include <exception>
#include <new>

#include "platform/Platform.h"
#include "support/ErrorLog.h"
#include "support/ErrorText.h"
#include "support/Halt.h"

namespace kelvo {

namespace {
// The word that shows the long guide: "/?" on Windows means it too.
constexpr char16_t kGuideWord[] = u"-G";
}  // namespace

int RunMain(const ProgramRecord& program, Driver driver, int argc, char** argv) {
  ErrorLog log({.numbers = program.log});
  const InstalledErrorLog reportsGoTo(log);
  const std::string outOfMemory = platform::ToAnsi(program.name) + ": out of memory\n";
  int code = 0;
  try {
    code = driver(platform::Arguments(argc, argv, kGuideWord));
  } catch (const Halt& halt) {
    if (halt.outOfMemory) platform::WriteStandardError(outOfMemory);
    code = halt.exitCode;
  } catch (const std::bad_alloc&) {
    platform::WriteStandardError(outOfMemory);
    code = 1;
  } catch (const std::exception& failure) {
    platform::WriteStandardError(platform::ToAnsi(program.name) + ": " + failure.what() + "\n");
    code = 1;
  }
  // A run whose error log could not lock its running number, or found a link, a FIFO or a
  // device where its numbering files belong, did not end cleanly.
  if (code == 0 && !log.MayEndInSuccess()) code = 1;
  return platform::ProcessStatus(code);
}

}  // namespace kelvo
