#include "support/TimeName.h"

#include <limits>
#include <string>

#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/MessagesText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kSerialFile[] = u"serial.txt";
constexpr char16_t kErrorFile[] = u"error.txt";

std::int32_t serialNumber = 0;
TimeNames::Clock clock = &platform::LocalTimeText;
constexpr std::int64_t kLockWaitMilliseconds = 60000;
std::int64_t lockWait = kLockWaitMilliseconds;
bool lockTimedOut = false;

// Decimal integer with an optional sign, nothing else; false when out of range.
bool ParseInteger(const std::u16string& text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
  }
  if (negative) magnitude = -magnitude;
  if (magnitude < std::numeric_limits<std::int32_t>::min() ||
      magnitude > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(magnitude);
  return true;
}

// The text of the first line of a text file; false when it cannot be opened or read.
bool ReadFirstLine(const std::u16string& name, std::u16string& line) {
  platform::InputFile file;
  if (!file.Open(name, platform::ReadMode::Text)) return false;
  std::string bytes;
  char block[4096];
  for (;;) {
    std::int64_t got = file.Read(block, sizeof block);
    if (got < 0) return false;
    if (got == 0) break;
    bytes.append(block, static_cast<std::size_t>(got));
    if (bytes.find_first_of("\r\n") != std::string::npos) break;
  }
  std::size_t end = bytes.find_first_of("\r\n");
  if (end != std::string::npos) bytes.resize(end);
  line = platform::FromAnsi(bytes);
  return true;
}

// Rewrites serial.txt in place; created reports whether the file could be opened or made.
// The number only grows (but for its wrap to 0), so a program reading it at the same
// moment finds whole digits, never an empty file.
bool WriteSerialFile(const std::u16string& text, bool& created) {
  const std::string bytes = platform::ToAnsi(text);
  return platform::OverwriteFile(kSerialFile, bytes.data(), static_cast<std::int64_t>(bytes.size()),
                                 created);
}

}  // namespace

std::int32_t TimeNames::SerialNumber() {
  return serialNumber;
}
void TimeNames::SetSerialNumberForTest(std::int32_t value) {
  serialNumber = value;
}
void TimeNames::SetClockForTest(Clock replacement) {
  clock = replacement != nullptr ? replacement : &platform::LocalTimeText;
}
bool TimeNames::LockTimedOut() {
  return lockTimedOut;
}
void TimeNames::SetLockWaitForTest(std::int64_t milliseconds) {
  lockWait = milliseconds >= 0 ? milliseconds : kLockWaitMilliseconds;
}

void TimeNames::Prepare(const std::u16string& prefix, const std::u16string& extension) {
  prefix_ = prefix;
  extension_ = extension;
  // A directory where serial.txt cannot be made has nothing to share; the numbering then
  // goes on as best it can.
  if (serialLock_.Acquire(kSerialFile, lockWait) == platform::FileLock::Outcome::Busy) {
    lockTimedOut = true;
    WriteFailure(ErrorMessage(u"Lock()", CurrentProgram().errors.lockTimeout, kSerialFile));
  }
  ReadSerial();
}

void TimeNames::WriteFailure(const std::u16string& message) {
  message_ = message;
  MessagesTexts writer;
  if (!writer.WriteText(kErrorFile, message_)) {
    // Nowhere to keep it on disk: the user still gets to see it.
    platform::WriteStandardError(platform::ToAnsi(message_) + "\n");
  }
}

void TimeNames::ReadSerial() {
  // An empty file is one the lock has just made: the series starts.
  std::u16string line;
  if (platform::FileSize(kSerialFile) <= 0 || !ReadFirstLine(kSerialFile, line)) {
    ResetSerial();
    return;
  }
  serialNumber = ParseSerial(line);
}

std::int32_t TimeNames::ParseSerial(const std::u16string& text) {
  std::int32_t value = 0;
  if (ParseInteger(text, value)) return value;
  WriteFailure(ErrorMessage(u"sequence_to_integer()", CurrentProgram().errors.serialParse, text));
  return -1;
}

void TimeNames::ResetSerial() {
  bool created = false;
  bool ok = WriteSerialFile(u"0", created);
  if (created) serialNumber = 0;
  if (!ok)
    WriteFailure(ErrorMessage(u"Rewrite()", CurrentProgram().errors.serialReset, kSerialFile));
}

void TimeNames::AdvanceSerial() {
  const std::int32_t next =
      serialNumber == std::numeric_limits<std::int32_t>::max() ? 0 : serialNumber + 1;
  bool created = false;
  bool ok = WriteSerialFile(ToText(next), created);
  if (created) serialNumber = next;
  if (!ok) {
    WriteFailure(ErrorMessage(u"Rewrite()", CurrentProgram().errors.serialAdvance,
                              created ? ToText(next) : u""));
  }
  stem_ = prefix_ + ToText(serialNumber) + u"-";
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
  TimeFields(clock(), minutes, seconds);
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
