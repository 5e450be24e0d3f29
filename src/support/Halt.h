// Ends a run. Only the engines and the drivers stop a run; every layer below them returns
// a status instead. A stop throws Halt, and the program's main turns it into the exit
// code. Tests catch it in-process.
#pragma once

namespace kelvo {

struct Halt {
  int exitCode;
  // The run ends for want of memory: main says so on standard error.
  bool outOfMemory = false;
};

[[noreturn]] inline void Stop(int exitCode) {
  throw Halt{exitCode};
}

[[noreturn]] inline void StopForWantOfMemory() {
  throw Halt{1, true};
}

}  // namespace kelvo
