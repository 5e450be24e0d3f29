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

// The first line of a text file, without its line end (CR, LF or CR LF); an empty file gives
// an empty line. False when the file cannot be opened or read.
[[nodiscard]] bool ReadFirstLine(const std::u16string& name, std::u16string& line);
// The first line of text bytes, as ReadFirstLine gives it.
std::u16string FirstLine(std::string_view bytes);

}  // namespace kelvo
