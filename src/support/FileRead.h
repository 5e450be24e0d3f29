// Reading whole files and first lines. Nothing here reports: the caller decides what a
// failure means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kelvo {

// How a whole file is read: its guard, and the most bytes it may hold (none when negative).
struct ReadBounds {
  platform::Guard guard = platform::Guard::None;
  std::int64_t limit = -1;
};

// Reads the whole file into bytes: a regular file up to the size it has when it is opened,
// anything else (a pipe, a FIFO, a device) to its end. A regular file larger than the limit
// is refused before any byte is read; of anything else no more than the limit is read.
// A failure is one of: Step::Open, with the system's code or the guard's refusal; a refusal
// as TooLarge (Step::Read); Step::Read, when bytes hold what was read before the failure;
// Step::Allocate, when the whole file does not fit in memory (bytes are then empty).
platform::Result ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                           platform::ReadMode mode = platform::ReadMode::Raw,
                           const ReadBounds& bounds = {});

// As ReadWhole, for a file already opened (and judged by its guard) under the given name:
// the whole of it from where it stands, no more than limit bytes (none when negative).
platform::Result ReadOpened(platform::InputFile& file, const std::u16string& name,
                            std::vector<std::uint8_t>& bytes, std::int64_t limit);

// The text of a settings file. It is in the system's "ANSI" code page unless it begins with a
// UTF-8 byte-order mark (as Notepad may save it): then it is UTF-8 and the mark is no text.
// Removes the mark from the start of a file's bytes; true when there was one.
bool DropUtf8Mark(std::string_view& bytes);
// One line of a settings file, UTF-8 when its file began with the mark.
std::u16string SettingsText(std::string_view bytes, bool utf8);

// The first line of a text file, without its line end (CR, LF or CR LF) and decoded as a
// settings file is; an empty file gives an empty line; no more than its first 64 KB are read.
// Fails when the file cannot be opened (Step::Open, the refusal of the guard among them) or
// read (Step::Read).
platform::Result ReadFirstLine(const std::u16string& name, std::u16string& line,
                               platform::Guard guard = platform::Guard::None);
// The first line of text bytes, as ReadFirstLine gives it.
std::u16string FirstLine(std::string_view bytes);

}  // namespace kelvo
