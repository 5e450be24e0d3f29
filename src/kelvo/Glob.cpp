// Shell-style name patterns, matched by backtracking over the last star only: linear in
// practice, and never recursive however many stars a pattern holds.
#include "kelvo/Glob.h"

namespace kelvo::walk {
namespace {

// Matches the set that starts at pattern[at] (just past "["); sets at past its "]". A "["
// without a closing "]" is an ordinary character: false with at unchanged.
bool SetMatches(std::u16string_view pattern, std::size_t& at, char16_t c, bool& matched) {
  std::size_t i = at;
  const bool negated = i < pattern.size() && (pattern[i] == u'!' || pattern[i] == u'^');
  if (negated) ++i;
  bool found = false;
  bool first = true;
  while (i < pattern.size() && (first || pattern[i] != u']')) {
    first = false;
    char16_t low = pattern[i];
    if (low == u'\\' && i + 1 < pattern.size()) low = pattern[++i];
    char16_t high = low;
    if (i + 2 < pattern.size() && pattern[i + 1] == u'-' && pattern[i + 2] != u']') {
      high = pattern[i + 2];
      i += 2;
    }
    if (low <= c && c <= high) found = true;
    ++i;
  }
  if (i >= pattern.size()) return false;
  at = i + 1;
  matched = found != negated && c != u'/';
  return true;
}

}  // namespace

bool GlobMatch(std::u16string_view pattern, std::u16string_view text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t starP = std::u16string_view::npos;  // just past the last star
  std::size_t starT = 0;
  bool starCrosses = false;  // the last star was "**"
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starCrosses = p + 1 < pattern.size() && pattern[p + 1] == u'*';
      while (p < pattern.size() && pattern[p] == u'*') ++p;
      starP = p;
      starT = t;
      continue;
    }
    bool matched = false;
    std::size_t next = p + 1;
    if (p < pattern.size()) {
      const char16_t c = pattern[p];
      if (c == u'?') {
        matched = text[t] != u'/';
      } else if (c == u'[' && SetMatches(pattern, next, text[t], matched)) {
      } else if (c == u'\\' && p + 1 < pattern.size()) {
        matched = pattern[p + 1] == text[t];
        next = p + 2;
      } else {
        matched = c == text[t];
      }
    }
    if (matched) {
      p = next;
      ++t;
      continue;
    }
    // Let the last star take one more character, unless that would cross a "/" it may not.
    if (starP == std::u16string_view::npos || (!starCrosses && text[starT] == u'/')) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool PathMatches(std::u16string_view pattern, std::u16string_view relative) {
  if (pattern.find(u'/') != std::u16string_view::npos) return GlobMatch(pattern, relative);
  const auto slash = relative.find_last_of(u'/');
  return GlobMatch(pattern,
                   slash == std::u16string_view::npos ? relative : relative.substr(slash + 1));
}

}  // namespace kelvo::walk
