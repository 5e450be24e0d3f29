// The error log: every failure is written as the whole content of a new, numbered file
// "err" + number + "-" + minutes + "-" + seconds + ".txt" in the current directory.
#pragma once

#include <string>

#include "platform/Result.h"

namespace kelvo {

class ErrorTexts {
 public:
  // Writes the message to a new log file. An existing log file is never overwritten: when
  // the formed name is taken (a restarted numbering, or another program drawing the same
  // number at the same moment) the number is advanced and the name formed again. When no
  // log file can be written at all, the message goes to standard error instead. Either
  // way the caller goes on by its own rule. The cause, when one is given, is not part of the
  // log's text: on standard error it follows the message on a line of its own, in the
  // system's words ("cannot open 'x.txt': Permission denied").
  void ReportError(const std::u16string& prefix, const std::u16string& extension,
                   const std::u16string& message, const platform::Result& cause = {});

  // The name of the file the last message went to (empty when it went to standard error).
  const std::u16string& FileName() const { return fileName_; }

 private:
  std::u16string prefix_;
  std::u16string extension_;
  std::u16string fileName_;
  std::u16string message_;
};

// Writes one message to the error log with the usual name parts "err" and ".txt"; the
// cause of the failure, when known, goes to standard error with the message if no log can
// be written.
void ReportError(const std::u16string& message, const platform::Result& cause = {});

// Where ReportError sends its messages instead of the log while one is set (null: the log
// again), for a process that must not write files, such as a fuzz target. Set once, before
// anything reports.
using ReportSink = void (*)(const std::u16string& message);
void SetReportSink(ReportSink sink);

}  // namespace kelvo
