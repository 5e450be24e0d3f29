// What the unit tests need of the operating system beyond the programs' platform layer:
// environment variables, standard output captured byte for byte, and copies of the test
// program run as child processes.
#pragma once

#include <fcntl.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace kelvo::test {

// The variable of the program search, as the platform layer reads it.
#ifdef _WIN32
inline constexpr const char* kSearchVariable = "Path";
#else
inline constexpr const char* kSearchVariable = "PATH";
#endif

// Sets an environment variable of this process; nullptr removes it.
inline void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  // An empty value removes the variable.
  _putenv_s(name, value != nullptr ? value : "");
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

// Sets an environment variable (or removes it, given nothing) while the object lives, and
// puts back what was there before.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    Set(value);
  }
  ~ScopedVariable() { Set(previous_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

  void Set(const std::optional<std::string>& value) {
    SetEnvironment(name_.c_str(), value ? value->c_str() : nullptr);
  }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Sends standard output (the C stream and the handle beneath it) to a file while the object
// lives; Finish gives back the bytes written, CR LF included.
class CapturedOutput {
 public:
  CapturedOutput() {
    std::random_device seed;
    file_ = std::filesystem::temp_directory_path() /
            ("kelvo-stdout-" + std::to_string(seed()) + std::to_string(seed()));
    std::fflush(stdout);
    saved_ = dup(1);
    const int fd = open(file_.string().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, 0600);
    dup2(fd, 1);
    close(fd);
  }
  ~CapturedOutput() { Finish(); }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::string Finish() {
    if (saved_ < 0) return {};
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    std::string bytes;
    if (std::FILE* in = std::fopen(file_.string().c_str(), "rb")) {
      char block[4096];
      for (std::size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) {
        bytes.append(block, got);
      }
      std::fclose(in);
    }
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    return bytes;
  }

 private:
  std::filesystem::path file_;
  int saved_ = -1;
};

// Runs count copies of this test program at the same time with the arguments given, waits
// for all of them and returns how many ended with status 0. The copies inherit the current
// directory and the environment.
inline int RunCopiesOfThisProgram(int count, const std::vector<std::string>& arguments) {
  int succeeded = 0;
#ifdef _WIN32
  const std::string self = _pgmptr;  // the full name of this program
  const std::string quoted = "\"" + self + "\"";
  std::vector<const char*> argv{quoted.c_str()};
  for (const auto& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  std::vector<intptr_t> children;
  for (int i = 0; i < count; ++i) children.push_back(_spawnv(_P_NOWAIT, self.c_str(), argv.data()));
  for (intptr_t child : children) {
    int status = -1;
    if (child != -1 && _cwait(&status, child, 0) != -1 && status == 0) ++succeeded;
  }
#else
  std::string self = "/proc/self/exe";
  std::vector<char*> argv{self.data()};
  std::vector<std::string> words(arguments);
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    pid_t child = -1;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
      children.push_back(child);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      ++succeeded;
    }
  }
#endif
  return succeeded;
}

}  // namespace kelvo::test
