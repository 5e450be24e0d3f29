// Reading whole files and first lines. Nothing here reports: the caller decides what a
// failure means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kelvo {

enum class [[nodiscard]] ReadOutcome{
    Read, CannotOpen,
    ReadFailed,  // bytes hold what was read before the failure
    NoMemory,    // the whole file does not fit in memory; bytes are empty
};

// Reads the whole file into bytes: a regular file up to the size it has when it is opened,
// anything else (a pipe, a FIFO, a device) to its end.
ReadOutcome ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                      platform::ReadMode mode = platform::ReadMode::Raw);

// The text of a settings file. It is in the system's "ANSI" code page unless it begins with a
// UTF-8 byte-order mark (as Notepad may save it): then it is UTF-8 and the mark is no text.
// Removes the mark from the start of a file's bytes; true when there was one.
bool DropUtf8Mark(std::string_view& bytes);
// One line of a settings file, UTF-8 when its file began with the mark.
std::u16string SettingsText(std::string_view bytes, bool utf8);

// The first line of a text file, without its line end (CR, LF or CR LF) and decoded as a
// settings file is; an empty file gives an empty line. False when the file cannot be opened
// or read.
[[nodiscard]] bool ReadFirstLine(const std::u16string& name, std::u16string& line);
// The first line of text bytes, as ReadFirstLine gives it.
std::u16string FirstLine(std::string_view bytes);

}  // namespace kelvo
