// The running number of the error log, kept in serial.txt, and the numbered, time-stamped
// names formed from it. Failures of the numbering itself go to error.txt.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kelvo {

// The error numbers of the log's own failures. A process writes one series of logs, so
// they are set once, by main, for the whole process.
struct LogNumbers {
  int serialParse;    // serial.txt holds no number
  int serialReset;    // serial.txt cannot be started again
  int serialAdvance;  // serial.txt cannot be advanced
  int lockTimeout;    // serial.txt stayed locked by another run for the whole waiting time
  int workingFile;    // serial.txt or error.txt is a link, a FIFO or a device
};
void SetLogNumbers(const LogNumbers& numbers);

// Sets the log's numbers while it lives, for a test.
class ScopedLogNumbers {
 public:
  explicit ScopedLogNumbers(const LogNumbers& numbers);
  ~ScopedLogNumbers();
  ScopedLogNumbers(const ScopedLogNumbers&) = delete;
  ScopedLogNumbers& operator=(const ScopedLogNumbers&) = delete;

 private:
  LogNumbers previous_;
};

class TimeNames {
 public:
  // Stores the name parts and loads the running number from serial.txt, which stays locked
  // against concurrent runs until this object is gone: the number is read, advanced and
  // written back by one run at a time, so numbers never repeat or go backwards.
  void Prepare(const std::u16string& prefix, const std::u16string& extension);
  // Forms the next name; with advance the running number is incremented first.
  std::u16string NextName(bool advance);

  // Splits a formatted time into the minute and second fields of a name.
  static void TimeFields(const std::u16string& time, std::u16string& minutes,
                         std::u16string& seconds);

  // The running number of this run (mirrors serial.txt).
  static std::int32_t SerialNumber();
  static void SetSerialNumberForTest(std::int32_t value);
  // The clock, replaceable by tests.
  using Clock = std::u16string (*)();
  static void SetClockForTest(Clock clock);
  // Whether serial.txt stayed locked by another run for the whole waiting time at some
  // point of this run (the number was then used without the lock); the run must not end as
  // a success.
  static bool LockTimedOut();
  // Whether serial.txt or error.txt was refused at some point of this run (a link, a FIFO or
  // a device stood there); the run must not end as a success.
  static bool WorkingFileRefused();
  // How long Prepare waits for serial.txt, replaceable by tests.
  static void SetLockWaitForTest(std::int64_t milliseconds);

 private:
  void ReadSerial();
  std::int32_t ParseSerial(const std::u16string& text);
  void ResetSerial();
  void AdvanceSerial();
  void WriteFailure(const std::u16string& message);

  std::u16string prefix_;
  std::u16string extension_;
  std::u16string message_;
  std::u16string stem_;
  std::u16string lastName_;
  platform::FileLock serialLock_;
  bool serialRefused_ = false;  // serial.txt is neither read nor written
};

}  // namespace kelvo
