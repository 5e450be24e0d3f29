// Splits one line of Shift_JIS bytes into fields at a separator, honouring a quote
// character. A double-byte character is never cut and its second byte is never taken for a
// separator or quote. The fields pass through a byte-string queue into a FieldsListMany.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "split/FieldCutter.h"
#include "split/FieldsArrayMany.h"
#include "support/AnsiQueue.h"

namespace kelvo {

class DividingSJIS {
 public:
  // Bytes of the buffer that collects one field; longer fields are cut there.
  static constexpr std::size_t kFieldBufferSize = FieldCutter<char>::kFieldBufferSize;

  explicit DividingSJIS(const QueueNumbers& queueNumbers);
  virtual ~DividingSJIS();
  DividingSJIS(const DividingSJIS&) = delete;
  DividingSJIS& operator=(const DividingSJIS&) = delete;

  // Returns the number of fields: the division, then a copy with the identity conversion.
  virtual int DivideConverting(const char* bytes, int fieldNumber, int count);
  // Quote and separator are codes looked up in the character table (byte k, counted from
  // 1, holds the value k).
  virtual void ConfigureQuoting(std::string_view characterTable, int quote, int separator,
                                bool dropSeparatorsInQuotes);
  // As ConfigureQuoting; the blank code is recorded and not otherwise used.
  virtual void ConfigureWithBlank(std::string_view characterTable, int quote, int separator,
                                  bool dropSeparatorsInQuotes, int blank);

  // The double quote as quote character, separators inside quotes dropped.
  void Configure(std::string_view characterTable, int separator);
  // Whether bytes 0x81-0xA0 and 0xE0-0xFC begin a double-byte character (the default).
  // Off, every byte stands alone, for bytes that are not Shift_JIS.
  void SetDoubleByte(bool doubleByte) { doubleByte_ = doubleByte; }
  // Fields 1 to limit are taken (limit at most UPPER_LIMIT_TO_FIELD_NUMBER).
  void Prepare(FieldsListMany* list, int limit);
  // Returns the number of fields; list item i becomes field i + 1 followed by the table
  // character of the suffix code and the suffix.
  int DivideAppending(const char* bytes, int count, const std::string& suffix, int suffixCode);

 private:
  // Collects the fields of the line in the queue; returns the number of fields found.
  int DivideLine(const char* bytes, int count);
  // Copies every field of the queue to the list, each followed by the tail.
  void CopyAll(const std::string& tail);
  void StartQueue();
  char Character(int code) const;

  QueueNumbers queueNumbers_;
  std::unique_ptr<AnsiStringQueue> queue_;
  std::string characterTable_;
  char filler_ = ' ';
  FieldCutter<char> cutter_;
  FieldsListMany* list_ = nullptr;
  int blank_ = 32;
  bool doubleByte_ = true;
};

}  // namespace kelvo
