#include "split/DivideSJIS.h"

#include <algorithm>

namespace kelvo {

namespace {
constexpr int kBlank = 32;
constexpr int kDoubleQuote = 34;
constexpr int kFillerCount = 1;

bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0xA0) || (b >= 0xE0 && b <= 0xFC);
}
}  // namespace

DividingSJIS::DividingSJIS(const QueueNumbers& queueNumbers)
    : queueNumbers_(queueNumbers),
      field_(new char[kFieldBufferSize]),
      selected_(FieldsListMany::kSlots, false) {}

DividingSJIS::~DividingSJIS() = default;

// A code from 1 to the table's length is looked up; any other code stands for itself.
char DividingSJIS::Character(int code) const {
  if (code >= 1 && static_cast<std::size_t>(code) <= characterTable_.size()) {
    return characterTable_[static_cast<std::size_t>(code - 1)];
  }
  return static_cast<char>(code & 0xFF);
}

void DividingSJIS::ConfigureQuoting(std::string_view characterTable, int quote, int separator,
                                    bool dropSeparatorsInQuotes) {
  characterTable_ = characterTable;
  filler_ = Character(kBlank);
  quote_ = Character(quote);
  separator_ = Character(separator);
  dropSeparatorsInQuotes_ = dropSeparatorsInQuotes;
}

void DividingSJIS::ConfigureWithBlank(std::string_view characterTable, int quote, int separator,
                                      bool dropSeparatorsInQuotes, int blank) {
  ConfigureQuoting(characterTable, quote, separator, dropSeparatorsInQuotes);
  blank_ = blank;
}

void DividingSJIS::Configure(std::string_view characterTable, int separator) {
  ConfigureQuoting(characterTable, kDoubleQuote, separator, true);
}

void DividingSJIS::Prepare(FieldsListMany* list, int limit) {
  list_ = list;
  limit_ = std::clamp(limit, 0, FieldsListMany::UPPER_LIMIT_TO_FIELD_NUMBER);
  std::fill(selected_.begin(), selected_.end(), false);
  std::fill(selected_.begin(), selected_.begin() + limit_ + 1, true);
  StartQueue();
}

void DividingSJIS::StartQueue() {
  queue_ = std::make_unique<AnsiStringQueue>(queueNumbers_);
  queue_->Initialize(characterTable_, std::string(1, filler_), kFillerCount);
}

int DividingSJIS::DivideAppending(const char* bytes, int count, const std::string& suffix,
                                  int suffixCode) {
  const int fields = DivideLine(bytes, count);
  CopyAppending(suffix, suffixCode);
  return fields;
}

int DividingSJIS::DivideConverting(const char* bytes, int fieldNumber, int count) {
  const int fields = DivideLine(bytes, count);
  CopyConverting(fieldNumber);
  return fields;
}

// A byte beyond the field buffer is dropped: the buffer is never written past.
void DividingSJIS::Append(char byte) {
  if (fieldLength_ < kFieldBufferSize) field_[fieldLength_++] = byte;
}

// The field's text ends at its first zero byte. A full queue drops the field.
void DividingSJIS::HandOn() {
  std::string_view text(field_.get(), fieldLength_);
  text = text.substr(0, text.find('\0'));
  queue_->Push(std::string(text));
}

int DividingSJIS::DivideLine(const char* bytes, int count) {
  if (queue_ == nullptr || queue_->queue_size() > kFillerCount) StartQueue();
  fieldLength_ = 0;
  int n = 1;
  bool quoted = false;
  bool leadPending = false;
  char lead = 0;
  for (int i = 0; i < count; ++i) {
    const char b = bytes[i];
    const auto u = static_cast<unsigned char>(b);
    const bool take = selected_[static_cast<std::size_t>(n)];
    if (leadPending) {
      // The second byte of a double-byte character, whatever its value.
      if (take) {
        Append(lead);
        Append(b);
      }
      leadPending = false;
    } else if (doubleByte_ && u >= 0x81 && u <= 0xFC) {
      if (IsLeadByte(u)) {
        lead = b;
        leadPending = true;
      } else if (take) {
        Append(b);  // single-byte katakana
      }
    } else if (quoted) {
      if (b == quote_) {
        quoted = false;
        if (take) Append(b);
      } else if (b == separator_) {
        if (!dropSeparatorsInQuotes_ && take) Append(b);
      } else if (take) {
        Append(b);
      }
    } else if (b == quote_) {
      quoted = true;
      if (take) Append(b);
    } else if (b == separator_) {
      if (take) HandOn();
      fieldLength_ = 0;
      ++n;
      if (n > limit_) break;
    } else if (take) {
      Append(b);
    }
  }
  // A lead byte that ends the input has no second byte and is dropped.
  if (fieldLength_ > 0) {
    HandOn();
  } else {
    --n;
  }
  return n;
}

void DividingSJIS::CopyAppending(const std::string& suffix, int suffixCode) {
  if (list_ == nullptr) return;
  // Nothing of an earlier line stays in the list.
  list_->Clear();
  const std::string tail = Character(suffixCode) + suffix;
  const int count = queue_->Count().value_or(0);
  for (int i = 0; i < count; ++i) {
    if (const std::string* field = queue_->q(i)) list_->item(*field + tail, i);
  }
}

void DividingSJIS::CopyConverting(int fieldNumber) {
  if (list_ == nullptr) return;
  // The conversion for field fieldNumber is the identity, so this is a plain copy.
  (void)fieldNumber;
  list_->Clear();
  const int count = queue_->Count().value_or(0);
  for (int i = 0; i < count; ++i) {
    if (const std::string* field = queue_->q(i)) list_->item(*field, i);
  }
}

}  // namespace kelvo
