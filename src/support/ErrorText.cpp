#include "support/ErrorText.h"

#include "platform/Platform.h"
#include "support/TimeName.h"

namespace kelvo {

namespace {
// How often a taken name is passed over before the message goes to standard error.
constexpr int kNameAttempts = 1000;
ReportSink reportSink = nullptr;
}  // namespace

void ErrorTexts::ReportError(const std::u16string& prefix, const std::u16string& extension,
                             const std::u16string& message, const platform::Result& cause) {
  prefix_ = prefix;
  extension_ = extension;
  message_ = message;
  fileName_.clear();

  TimeNames names;
  names.Prepare(prefix_, extension_);
  const std::string bytes = platform::ToAnsi(message_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::u16string name = names.NextName(true);
    platform::OutputFile file;
    const platform::Result created = file.CreateNew(name);
    if (!created) {
      if (created.NameTaken()) continue;
      break;
    }
    const bool ok = file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size())).Succeeded();
    if (file.Close() && ok) {
      fileName_ = name;
      return;
    }
    // A log cut short is no log: the message goes to standard error instead.
    static_cast<void>(platform::RemoveFile(name));
    break;
  }
  std::string shown = bytes + "\n";
  if (!cause.Succeeded()) shown += platform::ToAnsi(cause.Describe()) + "\n";
  platform::WriteStandardError(shown);
}

void ReportError(const std::u16string& message, const platform::Result& cause) {
  if (reportSink != nullptr) {
    reportSink(message);
    return;
  }
  ErrorTexts log;
  log.ReportError(u"err", u".txt", message, cause);
}

}  // namespace kelvo

namespace kelvo {

void SetReportSink(ReportSink sink) {
  reportSink = sink;
}

}  // namespace kelvo
