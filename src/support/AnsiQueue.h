// A fixed-capacity ring of byte strings, appended to and read by position. Leading filler
// entries are skipped by the numbering of the items.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class AnsiStringQueue {
 public:
  static constexpr int kSlots = 3072;
  // Slot indexes run modulo this; one slot always stays free, so at most 3070 entries.
  static constexpr int kModulus = 3071;
  static constexpr int kFull = 3;

  AnsiStringQueue();

  // Appends the filler count times; items are counted after them. The character table is
  // accepted for the splitter's sake; the queue does not read it.
  void Initialize(std::string_view characterTable, const std::string& filler, int count);
  // 0 when appended, kFull when the ring is full (the text is then dropped).
  int Push(const std::string& text);
  // Entries, filler included.
  int queue_size() const;
  // Items after the filler. Ends the program (exit code 1) if that would be negative.
  int Count() const;
  // Item i, counted from 0 after the filler. Ends the program (exit code 1) when its slot
  // was never written.
  const std::string& q(int i) const;
  static int NextIndex(int i) { return (i + 1) % kModulus; }

 private:
  std::vector<std::uint8_t> occupied_;
  int offset_ = 0;
  std::vector<std::string> slots_;
  int head_ = 0;
  int tail_ = 0;
};

}  // namespace kelvo
