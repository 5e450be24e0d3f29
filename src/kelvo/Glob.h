// Shell-style name patterns for --include and --exclude.
#pragma once

#include <string_view>

namespace kelvo::walk {

// Whether text matches pattern: "*" any run of characters but "/", "**" any run at all, "?"
// one character but "/", "[abc]", "[a-z]" and "[!abc]" one character of a set, "\" takes the
// next character as it stands. Every other character matches itself.
bool GlobMatch(std::u16string_view pattern, std::u16string_view text);

// Whether a pattern applies to a walked path: one with a "/" to the path below the walked
// directory, any other to the last name alone.
bool PathMatches(std::u16string_view pattern, std::u16string_view relative);

}  // namespace kelvo::walk
