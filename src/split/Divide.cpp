#include "split/Divide.h"

#include <algorithm>

namespace kelvo {

namespace {
constexpr int kMaximumCode = 255;

char16_t CodeUnit(int code) {
  return static_cast<char16_t>(std::clamp(code, 0, kMaximumCode));
}
}  // namespace

Dividing::Dividing()
    : queue_(std::make_unique<std::vector<std::u16string>>()),
      field_(new char16_t[kFieldBufferSize]),
      selected_(FieldsList::kSlots, false) {}

Dividing::~Dividing() = default;

void Dividing::ConfigureQuoting(int quote, int separator, bool dropSeparatorsInQuotes) {
  quote_ = CodeUnit(quote);
  separator_ = CodeUnit(separator);
  dropSeparatorsInQuotes_ = dropSeparatorsInQuotes;
}

void Dividing::ConfigureWithBlank(int quote, int separator, bool dropSeparatorsInQuotes,
                                  int blank) {
  ConfigureQuoting(quote, separator, dropSeparatorsInQuotes);
  blank_ = blank;
}

void Dividing::Prepare(FieldsList* list, int limit, std::u16string_view selection) {
  list_ = list;
  limit_ = std::clamp(limit, 0, FieldsList::MAXIMUM_FIELD_COUNT);
  selection_ = selection;
  std::fill(selected_.begin(), selected_.end(), false);
  selected_[0] = true;
  for (int n = 1; n <= limit_; ++n) {
    const std::size_t at = static_cast<std::size_t>(n - 1);
    selected_[static_cast<std::size_t>(n)] = at < selection_.size() && selection_[at] == u'1';
  }
  queue_ = std::make_unique<std::vector<std::u16string>>();
}

int Dividing::DivideAll(const char16_t* units, int count) {
  const int fields = DivideLine(units, count);
  CopyAll();
  return fields;
}

int Dividing::DivideConverting(const char16_t* units, int fieldNumber, int count) {
  const int fields = DivideLine(units, count);
  // The conversion for field fieldNumber is the identity, so this is a plain copy.
  (void)fieldNumber;
  CopyAll();
  return fields;
}

// A unit beyond the field buffer is dropped: the buffer is never written past.
void Dividing::Append(char16_t unit) {
  if (fieldLength_ < kFieldBufferSize) field_[fieldLength_++] = unit;
}

// The field's text ends at its first zero unit.
void Dividing::HandOn() {
  std::u16string_view text(field_.get(), fieldLength_);
  text = text.substr(0, text.find(u'\0'));
  queue_->emplace_back(text);
}

int Dividing::DivideLine(const char16_t* units, int count) {
  queue_->clear();
  fieldLength_ = 0;
  int n = 1;
  bool quoted = false;
  for (int i = 0; i < count; ++i) {
    const char16_t u = units[i];
    const bool take = selected_[static_cast<std::size_t>(n)];
    if (quoted) {
      if (u == quote_) {
        quoted = false;
        if (take) Append(u);
      } else if (u == separator_) {
        if (!dropSeparatorsInQuotes_ && take) Append(u);
      } else if (take) {
        Append(u);
      }
    } else if (u == quote_) {
      quoted = true;
      if (take) Append(u);
    } else if (u == separator_) {
      if (take) HandOn();
      fieldLength_ = 0;
      ++n;
      if (n > limit_) break;
    } else if (take) {
      Append(u);
    }
  }
  if (fieldLength_ > 0) {
    HandOn();
  } else {
    --n;
  }
  return n;
}

void Dividing::CopyAll() {
  if (list_ == nullptr) return;
  // Nothing of an earlier line stays in the list.
  list_->Clear();
  for (std::size_t i = 0; i < queue_->size(); ++i) list_->item((*queue_)[i], static_cast<int>(i));
}

}  // namespace kelvo
