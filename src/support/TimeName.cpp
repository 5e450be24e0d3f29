#include "support/TimeName.h"

#include <limits>
#include <string>

#include "platform/Platform.h"
#include "support/FileNames.h"
#include "support/FileRead.h"
#include "support/MessagesText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// Rewrites serial.txt in place. The number only grows (but for its wrap to 0), so a program
// reading it at the same moment finds whole digits, never an empty file.
platform::Result WriteSerialFile(const std::u16string& text) {
  const std::string bytes = platform::ToAnsi(text);
  return platform::OverwriteFile(kSerialFile, bytes.data(),
                                 static_cast<std::int64_t>(bytes.size()));
}

// Whether the write reached serial.txt: the file could be opened or made, whatever followed.
bool Reached(const platform::Result& written) {
  return written.failed != platform::Step::Open;
}

}  // namespace

void TimeNames::Prepare(const std::u16string& prefix, const std::u16string& extension) {
  prefix_ = prefix;
  extension_ = extension;
  // A directory where serial.txt cannot be made has nothing to share; the numbering then
  // goes on as best it can.
  const platform::FileLock::Acquired acquired =
      serialLock_.Acquire(kSerialFile, log_.settings_.lockWaitMilliseconds);
  switch (acquired.outcome) {
    case platform::FileLock::Outcome::Busy:
      log_.lockTimedOut_ = true;
      WriteFailure(ErrorMessage(u"Lock()", log_.settings_.numbers.lockTimeout, kSerialFile));
      break;
    case platform::FileLock::Outcome::Refused:
      // Nothing is read from or written through what stands there; the logs are numbered
      // from this run's own count.
      serialRefused_ = true;
      log_.workingFileRefused_ = true;
      WriteFailure(ErrorMessage(u"Lock()", log_.settings_.numbers.workingFile,
                                RefusedFile(kSerialFile, acquired.result.refused)));
      stem_ = prefix_ + ToText(log_.serial_) + u"-";
      return;
    case platform::FileLock::Outcome::Held:
    case platform::FileLock::Outcome::Unavailable:
      break;
  }
  ReadSerial();
}

void TimeNames::WriteFailure(const std::u16string& message) {
  message_ = message;
  const platform::Result written = MessagesTexts().WriteText(kErrorFile, message_);
  if (!written) {
    if (written.refused != platform::Refusal::None) log_.workingFileRefused_ = true;
    // Nowhere to keep it on disk: the user still gets to see it.
    platform::WriteStandardError(platform::ToAnsi(message_) + "\n");
  }
}

void TimeNames::ReadSerial() {
  // An empty file is one the lock has just made: the series starts.
  std::u16string line;
  if (platform::FileSize(kSerialFile).value_or(0) <= 0 ||
      !ReadFirstLine(kSerialFile, line, platform::Guard::Working)) {
    ResetSerial();
    return;
  }
  log_.serial_ = ParseSerial(line);
}

std::int32_t TimeNames::ParseSerial(const std::u16string& text) {
  if (const std::optional<std::int32_t> value = ParseDecimal(text, Sign::Allowed)) return *value;
  WriteFailure(ErrorMessage(u"sequence_to_integer()", log_.settings_.numbers.serialParse, text));
  return -1;
}

void TimeNames::ResetSerial() {
  const platform::Result written = WriteSerialFile(u"0");
  if (Reached(written)) log_.serial_ = 0;
  if (!written)
    WriteFailure(ErrorMessage(u"Rewrite()", log_.settings_.numbers.serialReset, kSerialFile));
}

void TimeNames::AdvanceSerial() {
  const std::int32_t next =
      log_.serial_ == std::numeric_limits<std::int32_t>::max() ? 0 : log_.serial_ + 1;
  if (serialRefused_) {
    log_.serial_ = next;
    stem_ = prefix_ + ToText(log_.serial_) + u"-";
    return;
  }
  const platform::Result written = WriteSerialFile(ToText(next));
  if (Reached(written)) log_.serial_ = next;
  if (!written) {
    WriteFailure(ErrorMessage(u"Rewrite()", log_.settings_.numbers.serialAdvance,
                              Reached(written) ? ToText(next) : u""));
  }
  stem_ = prefix_ + ToText(log_.serial_) + u"-";
}

void TimeNames::TimeFields(const std::u16string& time, std::u16string& minutes,
                           std::u16string& seconds) {
  minutes.clear();
  seconds.clear();
  std::size_t colon = time.find(u':');
  if (colon != std::u16string::npos) {
    minutes = time.substr(colon + 1, 2);
    std::size_t cut = minutes.find(u':');
    if (cut != std::u16string::npos) minutes.resize(cut);
  }
  const std::u16string padded = time + u":_";
  colon = padded.find(u':');
  if (colon != std::u16string::npos) {
    seconds = padded.substr(colon + 1, 5);
    std::size_t second = seconds.find(u':');
    if (second != std::u16string::npos) {
      seconds = seconds.substr(second + 1, 2);
      std::size_t cut = seconds.find(u':');
      if (cut != std::u16string::npos) seconds.resize(cut);
    } else {
      seconds.clear();
    }
  }
}

std::u16string TimeNames::NextName(bool advance) {
  std::u16string minutes;
  std::u16string seconds;
  TimeFields(log_.settings_.clock(), minutes, seconds);
  if (advance) AdvanceSerial();
  std::u16string name = stem_ + minutes + u"-" + seconds + extension_;
  if (name == lastName_) {
    AdvanceSerial();
    name = stem_ + minutes + u"-" + seconds + extension_;
  }
  lastName_ = name;
  return name;
}

}  // namespace kelvo
