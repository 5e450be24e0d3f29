#include "support/ErrorLog.h"

#include "support/TimeName.h"

namespace kelvo {

namespace {
// How often a taken name is passed over before the message goes to standard error.
constexpr int kNameAttempts = 1000;
}  // namespace

void ErrorLog::Report(const std::u16string& message, const platform::Result& cause) {
  if (settings_.sink != nullptr) {
    settings_.sink(message);
    return;
  }
  const std::lock_guard<std::mutex> one(mutex_);
  TimeNames names(*this);
  names.Prepare(u"err", u".txt");
  const std::string bytes = platform::ToAnsi(message);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::u16string name = names.NextName(true);
    platform::OutputFile file;
    const platform::Result created = file.CreateNew(name);
    if (!created) {
      if (created.NameTaken()) continue;
      break;
    }
    const bool ok = file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size())).Succeeded();
    if (file.Close() && ok) return;
    // A log cut short is no log: the message goes to standard error instead.
    static_cast<void>(platform::RemoveFile(name));
    break;
  }
  std::string shown = bytes + "\n";
  if (!cause.Succeeded()) shown += platform::ToAnsi(cause.Describe()) + "\n";
  platform::WriteStandardError(shown);
}

bool ErrorLog::MayEndInSuccess() const {
  const std::lock_guard<std::mutex> one(mutex_);
  return !lockTimedOut_ && !workingFileRefused_;
}

}  // namespace kelvo
