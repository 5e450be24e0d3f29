#include "support/ErrorText.h"

#include <atomic>

#include "support/ErrorLog.h"

namespace kelvo {

namespace {
std::atomic<ErrorLog*> installed{nullptr};
}  // namespace

InstalledErrorLog::InstalledErrorLog(ErrorLog& log) : previous_(installed.exchange(&log)) {}

InstalledErrorLog::~InstalledErrorLog() {
  installed.store(previous_);
}

void ReportError(const std::u16string& message, const platform::Result& cause) {
  if (ErrorLog* log = installed.load()) {
    log->Report(message, cause);
    return;
  }
  ErrorLog log;
  log.Report(message, cause);
}

}  // namespace kelvo
