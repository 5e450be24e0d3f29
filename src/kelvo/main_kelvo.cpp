// The kelvo program: converts whole trees between UTF-8, UTF-16, EUC-JP and Shift_JIS.
#include <new>

#include "kelvo/Run.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  try {
    return kelvo::app::RunKelvo(kelvo::platform::Arguments(argc, argv));
  } catch (const std::bad_alloc&) {
    kelvo::platform::WriteStandardError("kelvo: out of memory\n");
    return 1;
  }
}
