#include "support/AnsiQueue.h"

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

AnsiStringQueue::AnsiStringQueue(const QueueNumbers& numbers)
    : numbers_(numbers), occupied_(kSlots, 0), slots_(kSlots) {}

void AnsiStringQueue::Initialize(std::string_view, const std::string& filler, int count) {
  for (int i = 0; i < count; ++i) {
    if (Push(filler) == Pushed::Full) break;
  }
  offset_ = count;
}

Pushed AnsiStringQueue::Push(const std::string& text) {
  const int next = NextIndex(tail_);
  if (next == head_) return Pushed::Full;
  slots_[static_cast<std::size_t>(tail_)] = text;
  occupied_[static_cast<std::size_t>(tail_)] = 1;
  tail_ = next;
  return Pushed::Appended;
}

int AnsiStringQueue::queue_size() const {
  if (tail_ > head_) return tail_ - head_;
  if (tail_ == head_) return 0;
  return tail_ - head_ + kModulus;
}

QueueCount AnsiStringQueue::Count() const {
  const int count = queue_size() - offset_;
  if (count >= 0) return {.count = count, .result = platform::Result::Ok()};
  ReportError(numbers_.count == 0
                  ? std::u16string(u"Error: count < 0")
                  : ErrorMessage(u"queue_size - offset", numbers_.count, u"count < 0"));
  return {
      .count = 0,
      .result =
          platform::Result::Failed(platform::Step::Read, u"count < 0").Numbered(numbers_.count)};
}

QueueItem AnsiStringQueue::q(int i) const {
  // Kept within 0 to kModulus - 1 whatever i is.
  const std::int64_t sum = std::int64_t{head_} + offset_ + i;
  const int position = static_cast<int>(((sum % kModulus) + kModulus) % kModulus);
  if (occupied_[static_cast<std::size_t>(position)] != 0) {
    return {.text = slots_[static_cast<std::size_t>(position)], .result = platform::Result::Ok()};
  }
  const std::u16string detail = u"occupied[ " + ToText(position) + u" ] = False";
  ReportError(ErrorMessage(u"q()", numbers_.unoccupied, detail));
  return {.text = {},
          .result =
              platform::Result::Failed(platform::Step::Read, detail).Numbered(numbers_.unoccupied)};
}

}  // namespace kelvo
