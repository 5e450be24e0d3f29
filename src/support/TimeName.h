// The running number of the error log, kept in serial.txt, and the numbered, time-stamped
// names formed from it. Failures of the numbering itself go to error.txt.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"
#include "support/ErrorLog.h"

namespace kelvo {

// The names of one report, numbered and stamped by the log's running number and clock.
class TimeNames {
 public:
  explicit TimeNames(ErrorLog& log) : log_(log) {}

  // Stores the name parts and loads the running number from serial.txt, which stays locked
  // against concurrent runs until this object is gone: the number is read, advanced and
  // written back by one run at a time, so numbers never repeat or go backwards.
  void Prepare(const std::u16string& prefix, const std::u16string& extension);
  // Forms the next name; with advance the running number is incremented first.
  std::u16string NextName(bool advance);

  // Splits a formatted time into the minute and second fields of a name.
  static void TimeFields(const std::u16string& time, std::u16string& minutes,
                         std::u16string& seconds);

 private:
  void ReadSerial();
  std::int32_t ParseSerial(const std::u16string& text);
  void ResetSerial();
  void AdvanceSerial();
  void WriteFailure(const std::u16string& message);

  ErrorLog& log_;
  std::u16string prefix_;
  std::u16string extension_;
  std::u16string message_;
  std::u16string stem_;
  std::u16string lastName_;
  platform::FileLock serialLock_;
  bool serialRefused_ = false;  // serial.txt is neither read nor written
};

}  // namespace kelvo
