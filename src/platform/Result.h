// The one result of a step that can fail, from the operating system up: what failed, the
// error number the caller gives that failure, the detail (above all the path) and the
// system's own error code. Layers below the engines return it (or a plain enum where no
// more is known); an engine reports it and stops.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace kelvo::platform {

// What a failed step was doing.
enum class Step : std::uint8_t {
  None,      // nothing failed
  Open,      // a file could not be opened (or was refused: a link, a FIFO, a device)
  Create,    // a file could not be made
  Read,      // reading failed
  Write,     // writing failed
  Close,     // flushing or closing failed
  Rename,    // putting a file in place failed
  Remove,    // a file could not be removed
  Lock,      // a lock could not be taken in time
  Stamp,     // a file's modification time could not be renewed
  Allocate,  // memory could not be had
  Load,      // a table or list could not be had
};

// Why a guarded file was refused. On Windows, which gives no owner here, a file is never
// refused for its owner or for write access by everyone.
enum class Refusal : std::uint8_t {
  None,
  Link,           // a symbolic link (a reparse point) where a working file is expected
  NotRegular,     // a FIFO, a device, a directory
  WritableByAll,  // anyone may write it
  Stranger,       // owned by another user, in a directory that user or anyone may write
  TooLarge,       // larger than any file of its kind can be
};

// The error number of the last failed system call of this thread: errno on POSIX,
// GetLastError() on Windows.
int LastError();
// The system's words for an error number, in the console's encoding.
std::string SystemReason(int error);
// Errors met that are not the system's own.
inline constexpr int kNotRegularError = -2;  // the path is no regular file

struct [[nodiscard]] Result {
  Step failed = Step::None;
  int errorNumber = 0;              // the caller's number for this failure (0: none given)
  std::u16string detail;            // the path, or what else names the failing thing
  int systemCode = 0;               // the system's own error code (0: not a system failure)
  Refusal refused = Refusal::None;  // why a file was refused under its guard

  static Result Ok() { return {}; }
  // A failure; the system's error code only where a system call failed.
  static Result Failed(Step step, std::u16string detail, int systemCode = 0) {
    Result result;
    result.failed = step;
    result.detail = std::move(detail);
    result.systemCode = systemCode;
    return result;
  }
  // A failure of the last system call, with its error code (taken before anything else).
  static Result FromSystem(Step step, const std::u16string& detail) {
    const int code = LastError();
    return Failed(step, detail, code);
  }
  // Nothing failed when the system call succeeded; otherwise its failure, as FromSystem.
  static Result Check(bool succeeded, Step step, const std::u16string& detail) {
    return succeeded ? Ok() : FromSystem(step, detail);
  }
  // A file refused under its guard for what it is.
  static Result Refused(Step step, std::u16string detail, Refusal why) {
    Result result = Failed(step, std::move(detail));
    result.refused = why;
    return result;
  }
  bool Succeeded() const { return failed == Step::None; }
  explicit operator bool() const { return Succeeded(); }

  // The same failure under the caller's error number.
  Result Numbered(int number) && {
    errorNumber = number;
    return std::move(*this);
  }
  // Whether a file could not be made because one of that name exists already.
  bool NameTaken() const;

  // What failed in words, for a person: "cannot open 'x.txt': Permission denied". Empty
  // when nothing failed.
  std::u16string Describe() const;
};

}  // namespace kelvo::platform
