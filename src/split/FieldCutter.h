// The quote state machine that both line splitters run, over UTF-16 code units or over
// bytes: a field ends at the separator; a quote opens and closes a quoted part, in which a
// separator is dropped or kept as data; quote characters stay in the field. Each selected
// field is collected into a buffer of a fixed size and handed on up to its first zero unit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "split/FieldsArray.h"

namespace kelvo {

template <class Unit>
class FieldCutter {
 public:
  // Units of the buffer that collects one field; a longer field is cut there.
  static constexpr std::size_t kFieldBufferSize = 98304;

  // What a unit is to the state machine.
  enum class Role {
    Compared,  // a quote, a separator or data, as its value compares
    Data,      // data whatever its value
    Lead,      // data together with the unit after it, whatever that one's value; a lead
               // that ends the line has no second unit and is dropped
  };

  FieldCutter() : field_(new Unit[kFieldBufferSize]), selected_(kFieldLimit + 1, false) {}

  void Configure(Unit quote, Unit separator, bool dropSeparatorsInQuotes) {
    quote_ = quote;
    separator_ = separator;
    dropSeparatorsInQuotes_ = dropSeparatorsInQuotes;
  }

  // Fields 1 to limit (at most kFieldLimit) are read; field n is taken when taken(n) holds.
  template <class Taken>
  void Select(int limit, Taken taken) {
    limit_ = std::clamp(limit, 0, kFieldLimit);
    std::fill(selected_.begin(), selected_.end(), false);
    selected_[0] = true;
    for (int n = 1; n <= limit_; ++n) selected_[static_cast<std::size_t>(n)] = taken(n);
  }

  // Hands each taken field of the line to handOn, as a view valid for the call; roleOf
  // tells what a unit is. Returns the number of fields found: a field after the limit is
  // not read, and a last field that is empty or not taken is not counted.
  template <class RoleOf, class HandOn>
  int Divide(const Unit* units, int count, RoleOf roleOf, HandOn handOn) {
    fieldLength_ = 0;
    int n = 1;
    bool quoted = false;
    for (int i = 0; i < count; ++i) {
      const Unit u = units[i];
      const bool take = selected_[static_cast<std::size_t>(n)];
      const Role role = roleOf(u);
      if (role == Role::Lead) {
        if (i + 1 == count) break;
        ++i;
        if (take) {
          Append(u);
          Append(units[i]);
        }
      } else if (role == Role::Data) {
        if (take) Append(u);
      } else if (quoted) {
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
        if (take) handOn(Field());
        fieldLength_ = 0;
        ++n;
        if (n > limit_) break;
      } else if (take) {
        Append(u);
      }
    }
    if (fieldLength_ > 0) {
      handOn(Field());
    } else {
      --n;
    }
    return n;
  }

 private:
  // A unit beyond the field buffer is dropped: the buffer is never written past.
  void Append(Unit unit) {
    if (fieldLength_ < kFieldBufferSize) field_[fieldLength_++] = unit;
  }

  // The field's text ends at its first zero unit.
  std::basic_string_view<Unit> Field() const {
    const std::basic_string_view<Unit> text(field_.get(), fieldLength_);
    return text.substr(0, text.find(Unit{0}));
  }

  // kFieldBufferSize units, not cleared: only the first fieldLength_ are ever read.
  std::unique_ptr<Unit[]> field_;
  std::size_t fieldLength_ = 0;
  int limit_ = 0;
  std::vector<bool> selected_;
  Unit quote_ = '"';
  Unit separator_ = ',';
  bool dropSeparatorsInQuotes_ = true;
};

}  // namespace kelvo
