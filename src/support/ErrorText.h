// The way every part of a run reports a failure: through the error log the run installed.
#pragma once

#include <string>

#include "platform/Result.h"

namespace kelvo {

class ErrorLog;

// Writes one message to the installed error log (support/ErrorLog.h): to a new numbered
// file, or, when no log can be written, to standard error together with the cause of the
// failure when known. With no log installed the message goes to a log of its own with the
// default settings (error numbers 0).
void ReportError(const std::u16string& message, const platform::Result& cause = {});

// Installs the log for ReportError while this object lives, and the one installed before
// again when it ends. The installed log is the one piece of state the process keeps.
class InstalledErrorLog {
 public:
  explicit InstalledErrorLog(ErrorLog& log);
  ~InstalledErrorLog();
  InstalledErrorLog(const InstalledErrorLog&) = delete;
  InstalledErrorLog& operator=(const InstalledErrorLog&) = delete;

 private:
  ErrorLog* previous_;
};

}  // namespace kelvo
