// A fixed-capacity ring of byte strings, appended to and read by position. Leading filler
// entries are skipped by the numbering of the items.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace kelvo {

// The error numbers of the queue's reports.
struct QueueNumbers {
  int count;       // more filler than entries; 0: the report carries no number
  int unoccupied;  // an item whose slot was never written
};

// The number of items, or the failure reported instead (Step::Read under the count's
// number; the count is then 0).
struct [[nodiscard]] QueueCount {
  int count = 0;
  platform::Result result;
};

// An item, or the failure reported instead (Step::Read under the unoccupied slot's number;
// the text is then empty). The text stays valid while the queue is unchanged.
struct [[nodiscard]] QueueItem {
  std::string_view text;
  platform::Result result;
};

// Whether Push appended its text.
enum class [[nodiscard]] Pushed{Appended, Full};

class AnsiStringQueue {
 public:
  static constexpr int kSlots = 3072;
  // Slot indexes run modulo this; one slot always stays free, so at most 3070 entries.
  static constexpr int kModulus = 3071;

  explicit AnsiStringQueue(const QueueNumbers& numbers);

  // Appends the filler count times (no more than the ring holds); items are counted after
  // them. The character table is
  // accepted for the splitter's sake; the queue does not read it.
  void Initialize(std::string_view characterTable, const std::string& filler, int count);
  // Full when the ring is full: the text is then dropped.
  Pushed Push(const std::string& text);
  // Entries, filler included.
  int queue_size() const;
  // Items after the filler; reported, and failed, when there are fewer entries than filler.
  QueueCount Count() const;
  // Item i, counted from 0 after the filler; reported, and failed, when its slot was never
  // written.
  QueueItem q(int i) const;
  static int NextIndex(int i) { return (i + 1) % kModulus; }

 private:
  QueueNumbers numbers_;
  std::vector<std::uint8_t> occupied_;
  int offset_ = 0;
  std::vector<std::string> slots_;
  int head_ = 0;
  int tail_ = 0;
};

}  // namespace kelvo
