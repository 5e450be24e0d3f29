// Ends the program from anywhere: a failure site that stops the run throws Halt, and the
// program's main turns it into the exit code. Tests catch it in-process.
#pragma once

namespace kelvo {

struct Halt {
  int exitCode;
};

[[noreturn]] inline void Stop(int exitCode) {
  throw Halt{exitCode};
}

}  // namespace kelvo
