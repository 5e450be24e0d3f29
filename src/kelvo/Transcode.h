// kelvo's conversions between the encodings it knows. Every direction is a block kernel for
// the one streaming pump: bytes in, bytes out, a few bytes of a cut sequence carried to the
// next block, and a count of what had to be replaced.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "convert/StreamPump.h"

namespace kelvo::transcode {

enum class Encoding : std::uint8_t {
  Utf8,
  Utf16LE,
  Utf16BE,
  Utf16,  // read by its byte-order mark (little-endian without one); written little-endian with one
  EucJp,
  ShiftJis,
};

// The encoding a name or one of its usual aliases stands for, in any case; none for a name
// that is no encoding.
std::optional<Encoding> ParseEncoding(std::string_view name);
// The encoding's own name: "utf-8", "utf-16le", "utf-16be", "utf-16", "euc-jp", "shift_jis".
std::string_view EncodingName(Encoding encoding);

enum class Eol : std::uint8_t { Keep, Lf, CrLf };
enum class Bom : std::uint8_t { Keep, Add, Remove };

struct TranscodeOptions {
  Encoding from = Encoding::Utf8;
  Encoding to = Encoding::Utf8;
  Eol eol = Eol::Keep;
  Bom bom = Bom::Keep;
};

// One replaced character: where it stood in the input and what it was (U+FFFD for an input
// sequence that is invalid in its encoding).
struct ReplacementPlace {
  std::uint64_t line = 0;    // from 1, counted by line feeds of the input
  std::uint64_t column = 0;  // from 1, in characters
  char32_t character = 0;
};

struct TranscodeCounts {
  std::uint64_t replacements = 0;  // every character the target lacks and every invalid sequence
  std::vector<ReplacementPlace> first;  // the first kFirstPlaces of them, in input order
  static constexpr std::size_t kFirstPlaces = 10;
};

// Converts one stream from options.from to options.to. A character the target lacks becomes
// "?" (supplementary-plane kanji going to a legacy encoding take the replacement of the
// built-in list first); an invalid input sequence becomes U+FFFD in a Unicode target and "?"
// in a legacy one. Line ends and the byte-order mark follow options.eol and options.bom.
class Transcoder : public BlockKernel {
 public:
  // Which steps run: all of them (those of AVX2 from the first large block on); all but
  // those of an instruction set that the build does not assume (AVX2); only the
  // character-by-character ones, the oracle of the others; or all of them from the first
  // block on, so that a small input takes them too.
  enum class Steps : std::uint8_t { Fast, Baseline, CharByChar, Eager };

  explicit Transcoder(const TranscodeOptions& options, Steps steps = Steps::Fast);
  ~Transcoder() override;
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // The output room that an input block of this many bytes may need, the block's carried
  // bytes and a byte-order mark included.
  static std::int64_t OutputRoom(std::int64_t inputBytes);
  // At most this many bytes of a cut sequence are carried from one block to the next.
  static constexpr std::int64_t kCarriedBytes = 4;

  std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final, std::uint8_t* out,
                       std::int64_t& consumed) override;

  const TranscodeCounts& Counts() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Converts bytes held whole, as one final block; counts, when given, receives the counts.
std::vector<std::uint8_t> TranscodeAll(const TranscodeOptions& options,
                                       std::span<const std::uint8_t> input,
                                       TranscodeCounts* counts = nullptr,
                                       Transcoder::Steps steps = Transcoder::Steps::Fast);

}  // namespace kelvo::transcode
