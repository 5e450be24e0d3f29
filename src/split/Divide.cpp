#include "split/Divide.h"

#include <algorithm>

namespace kelvo {

namespace {
constexpr int kMaximumCode = 255;

char16_t CodeUnit(int code) {
  return static_cast<char16_t>(std::clamp(code, 0, kMaximumCode));
}
}  // namespace

Dividing::Dividing() = default;

Dividing::~Dividing() = default;

void Dividing::ConfigureQuoting(int quote, int separator, bool dropSeparatorsInQuotes) {
  cutter_.Configure(CodeUnit(quote), CodeUnit(separator), dropSeparatorsInQuotes);
}

void Dividing::ConfigureWithBlank(int quote, int separator, bool dropSeparatorsInQuotes,
                                  int blank) {
  ConfigureQuoting(quote, separator, dropSeparatorsInQuotes);
  blank_ = blank;
}

void Dividing::Prepare(FieldsList* list, int limit, std::u16string_view selection) {
  list_ = list;
  cutter_.Select(limit, [selection](int n) {
    const auto at = static_cast<std::size_t>(n - 1);
    return at < selection.size() && selection[at] == u'1';
  });
  queue_.clear();
}

int Dividing::DivideAll(const char16_t* units, int count) {
  const int fields = DivideLine(units, count);
  CopyAll();
  return fields;
}

int Dividing::DivideConverting(const char16_t* units, int fieldNumber, int count) {
  // The conversion for field fieldNumber is the identity, so this is a plain copy.
  (void)fieldNumber;
  return DivideAll(units, count);
}

// Every unit is a character; surrogate pairs are not treated apart.
int Dividing::DivideLine(const char16_t* units, int count) {
  queue_.clear();
  return cutter_.Divide(
      units, count, [](char16_t) { return FieldCutter<char16_t>::Role::Compared; },
      [this](std::u16string_view field) { queue_.emplace_back(field); });
}

void Dividing::CopyAll() {
  if (list_ == nullptr) return;
  // Nothing of an earlier line stays in the list.
  list_->Clear();
  for (std::size_t i = 0; i < queue_.size(); ++i) list_->item(queue_[i], static_cast<int>(i));
}

}  // namespace kelvo
