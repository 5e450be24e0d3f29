// Splits one line of UTF-16 text into fields at a separator, honouring a quote character.
// Quote characters stay in the field text; a separator inside quotes is either dropped or
// kept as data. The fields go to a FieldsList.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "split/FieldCutter.h"
#include "split/FieldsArray.h"

namespace kelvo {

class Dividing {
 public:
  // Elements of the buffer that collects one field.
  static constexpr std::size_t kFieldBufferSize = FieldCutter<char16_t>::kFieldBufferSize;

  Dividing();
  virtual ~Dividing();
  Dividing(const Dividing&) = delete;
  Dividing& operator=(const Dividing&) = delete;

  // Returns the number of fields: the division, then a copy with the identity conversion.
  virtual int DivideConverting(const char16_t* units, int fieldNumber, int count);
  // Quote and separator are character codes from 0 to 255.
  virtual void ConfigureQuoting(int quote, int separator, bool dropSeparatorsInQuotes);
  // As ConfigureQuoting; the blank code is recorded and not otherwise used.
  virtual void ConfigureWithBlank(int quote, int separator, bool dropSeparatorsInQuotes, int blank);

  // Field 0 is always selected; field n (from 1 to limit) is selected when character n of
  // the selection is '1'. The limit is the highest field number taken (at most
  // FieldsList::MAXIMUM_FIELD_COUNT).
  void Prepare(FieldsList* list, int limit, std::u16string_view selection);
  // Returns the number of fields found; every kept field goes to the list in order.
  int DivideAll(const char16_t* units, int count);

 private:
  // Collects the selected fields of the line; returns the number of fields found.
  int DivideLine(const char16_t* units, int count);
  void CopyAll();

  FieldCutter<char16_t> cutter_;
  std::vector<std::u16string> queue_;
  FieldsList* list_ = nullptr;
  int blank_ = 32;
};

}  // namespace kelvo
