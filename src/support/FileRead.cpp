#include "support/FileRead.h"

#include <algorithm>
#include <new>
#include <optional>

namespace kelvo {

namespace {
// Bytes asked for in one read: the most one system call takes, and the growth of a buffer
// for an input of unknown size.
constexpr std::int64_t kLargestRead = std::int64_t{1} << 30;
constexpr std::int64_t kStreamChunk = std::int64_t{1} << 16;
constexpr std::int64_t kLineBlock = 4096;
// The most of a first line that is read: a file without a line end (a device, a huge file)
// is never read whole for it.
constexpr std::size_t kFirstLineLimit = std::size_t{64} << 10;
}  // namespace

platform::Result ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                           platform::ReadMode mode, const ReadBounds& bounds) {
  bytes.clear();
  platform::InputFile file;
  platform::Result opened = file.Open(path, mode, bounds.guard);
  if (!opened) return opened;
  return ReadOpened(file, path, bytes, bounds.limit);
}

platform::Result ReadOpened(platform::InputFile& file, const std::u16string& name,
                            std::vector<std::uint8_t>& bytes, std::int64_t limit) {
  using platform::Result;
  using platform::Step;
  bytes.clear();
  const auto tooLarge = [&] {
    bytes.clear();
    return Result::Refused(Step::Read, name, platform::Refusal::TooLarge);
  };
  const bool bounded = limit >= 0;
  try {
    // A regular file is read to the size it had when opened; anything else to its end.
    const std::optional<std::int64_t> size = file.Size();
    const bool sized = size.has_value();
    if (sized && bounded && *size > limit) return tooLarge();
    std::int64_t total = 0;
    if (sized) bytes.resize(static_cast<std::size_t>(*size));
    for (;;) {
      if (!sized && static_cast<std::int64_t>(bytes.size()) - total < kStreamChunk) {
        // One byte past the limit tells a stream that is too long.
        const std::int64_t grown =
            bounded ? std::min(total + kStreamChunk, limit + 1) : total + kStreamChunk;
        bytes.resize(static_cast<std::size_t>(grown));
      }
      const std::int64_t room = static_cast<std::int64_t>(bytes.size()) - total;
      if (room == 0) break;
      std::int64_t got = 0;
      Result read = file.Read(bytes.data() + total, std::min(room, kLargestRead), got);
      if (!read) {
        bytes.resize(static_cast<std::size_t>(total));
        return read;
      }
      if (got == 0) break;
      total += got;
    }
    if (bounded && total > limit) return tooLarge();
    bytes.resize(static_cast<std::size_t>(total));
  } catch (const std::bad_alloc&) {
    bytes.clear();
    bytes.shrink_to_fit();
    return Result::Failed(Step::Allocate, name);
  }
  return Result::Ok();
}

platform::Result ReadFirstLine(const std::u16string& name, std::u16string& line,
                               platform::Guard guard) {
  platform::InputFile file;
  platform::Result opened = file.Open(name, platform::ReadMode::Text, guard);
  if (!opened) return opened;
  std::string bytes;
  char block[kLineBlock];
  for (;;) {
    std::int64_t got = 0;
    platform::Result read = file.Read(block, kLineBlock, got);
    if (!read) return read;
    if (got == 0) break;
    const std::size_t before = bytes.size();
    bytes.append(block, static_cast<std::size_t>(got));
    if (bytes.find_first_of("\r\n", before) != std::string::npos) break;
    if (bytes.size() >= kFirstLineLimit) break;
  }
  line = FirstLine(bytes);
  return platform::Result::Ok();
}

bool DropUtf8Mark(std::string_view& bytes) {
  if (!bytes.starts_with("\xEF\xBB\xBF")) return false;
  bytes.remove_prefix(3);
  return true;
}

std::u16string SettingsText(std::string_view bytes, bool utf8) {
  return utf8 ? platform::FromUtf8(bytes) : platform::FromAnsi(bytes);
}

std::u16string FirstLine(std::string_view bytes) {
  const bool utf8 = DropUtf8Mark(bytes);
  return SettingsText(bytes.substr(0, bytes.find_first_of("\r\n")), utf8);
}

}  // namespace kelvo
