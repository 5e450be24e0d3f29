// Decides what encoding a file is in, from its bytes alone, without guessing: a file that
// decodes validly in more than one candidate and favours none of them clearly is undecided.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kelvo/Transcode.h"

namespace kelvo::detect {

enum class Verdict : std::uint8_t {
  Known,      // the encoding below
  Binary,     // NUL bytes in a file that is not UTF-16
  Undecided,  // valid in no candidate, or in several with no clear winner
};

enum class LineEnds : std::uint8_t { None, Lf, CrLf, Cr, Mixed };

struct Detection {
  Verdict verdict = Verdict::Undecided;
  transcode::Encoding encoding = transcode::Encoding::Utf8;  // with Verdict::Known
  bool ascii = false;  // only bytes below 80h (encoding is then Utf8)
  bool bom = false;    // the file starts with a byte-order mark of its encoding
  LineEnds lineEnds = LineEnds::None;
  // With Verdict::Undecided: the encodings still in the running (none when the file is
  // valid in none) and why none was chosen, in words for a person.
  std::vector<transcode::Encoding> candidates;
  std::string reason;
};

// Takes a file's bytes a block at a time, in bounded memory, and gives the verdict at the end.
class Detector {
 public:
  Detector();
  ~Detector();
  Detector(const Detector&) = delete;
  Detector& operator=(const Detector&) = delete;

  void Feed(std::span<const std::uint8_t> block);
  Detection Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The verdict on bytes held whole.
Detection Detect(std::span<const std::uint8_t> bytes);

// "none", "lf", "crlf", "cr" or "mixed".
std::string_view LineEndsName(LineEnds ends);
// One line for a person: "shift_jis, line ends crlf", "ascii, line ends lf",
// "utf-16le, line ends lf, byte-order mark", "utf-8, line ends none, no byte-order mark",
// "binary", or "undecided: " and the reason.
std::string Describe(const Detection& detection);

}  // namespace kelvo::detect
