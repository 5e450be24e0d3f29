// The error log of one run and everything it keeps: the error numbers of its own failures,
// the running number, the clock, the wait for serial.txt, and what went wrong with its
// numbering files. Every failure is written as the whole content of a new, numbered file
// "err" + number + "-" + minutes + "-" + seconds + ".txt" in the current directory.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Platform.h"
#include "platform/Result.h"

namespace kelvo {

// The error numbers of the log's own failures.
struct LogNumbers {
  int serialParse;    // serial.txt holds no number
  int serialReset;    // serial.txt cannot be started again
  int serialAdvance;  // serial.txt cannot be advanced
  int lockTimeout;    // serial.txt stayed locked by another run for the whole waiting time
  int workingFile;    // serial.txt or error.txt is a link, a FIFO or a device
};

using LogClock = std::u16string (*)();
using ReportSink = void (*)(const std::u16string& message);

struct ErrorLogSettings {
  LogNumbers numbers{};
  LogClock clock = &platform::LocalTimeText;  // the time a log's name is stamped with
  std::int64_t lockWaitMilliseconds = 60000;  // how long serial.txt's lock is waited for
  // Where the messages go instead of files, for a process that must not write any (null:
  // the files).
  ReportSink sink = nullptr;
};

class ErrorLog {
 public:
  explicit ErrorLog(const ErrorLogSettings& settings = {}) : settings_(settings) {}
  ErrorLog(const ErrorLog&) = delete;
  ErrorLog& operator=(const ErrorLog&) = delete;

  // Writes the message to a new log file. An existing log file is never overwritten: when
  // the formed name is taken (a restarted numbering, or another program drawing the same
  // number at the same moment) the number is advanced and the name formed again. When no
  // log file can be written at all, the message goes to standard error instead. Either
  // way the caller goes on by its own rule. The cause, when one is given, is not part of the
  // log's text: on standard error it follows the message on a line of its own, in the
  // system's words ("cannot open 'x.txt': Permission denied"). Safe from any thread.
  void Report(const std::u16string& message, const platform::Result& cause = {});

  // False once serial.txt stayed locked by another run for the whole waiting time (the
  // number was then used without the lock), or serial.txt or error.txt was refused (a
  // link, a FIFO or a device stood there): the run must not end as a success.
  bool MayEndInSuccess() const;

 private:
  friend class TimeNames;  // the numbering keeps its running state here

  const ErrorLogSettings settings_;
  std::int32_t serial_ = 0;  // mirrors serial.txt
  bool lockTimedOut_ = false;
  bool workingFileRefused_ = false;
  mutable std::mutex mutex_;  // one report at a time
};

}  // namespace kelvo
