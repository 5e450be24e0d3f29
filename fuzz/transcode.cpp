// kelvo's conversions, for every pair of encodings and every line-end and byte-order-mark
// option: the fast steps and the portable ones against the character-by-character ones, and
// blocks of a few bytes against the whole input, each output block in a heap block of
// exactly the room the conversion asks for.
#include "kelvo/Transcode.h"

#include <vector>

#include "TranscodeInput.h"

using namespace kelvo;
using namespace kelvo::transcode;

namespace {

struct Result {
  std::vector<std::uint8_t> bytes;
  TranscodeCounts counts;
};

// Converts the input in blocks of step bytes (the whole input when step is 0), what each
// block leaves put before the next one.
Result Convert(const TranscodeOptions& options, Transcoder::Steps steps, const std::uint8_t* data,
               std::size_t size, std::size_t step) {
  Transcoder transcoder(options, steps);
  Result result;
  std::vector<std::uint8_t> carried;
  std::size_t at = 0;
  for (;;) {
    const std::size_t take = step == 0 ? size - at : std::min(step, size - at);
    std::vector<std::uint8_t> bytes = carried;
    bytes.insert(bytes.end(), data + at, data + at + take);
    at += take;
    const bool final = at == size;
    const fuzz::Exact in(bytes.data(), bytes.size());
    const auto length = static_cast<std::int64_t>(bytes.size());
    fuzz::Exact out(static_cast<std::size_t>(Transcoder::OutputRoom(length)));
    std::int64_t consumed = -1;
    const std::int64_t written =
        transcoder.Convert(in.bytes.get(), length, final, out.bytes.get(), consumed);
    fuzz::Check(consumed >= 0 && consumed <= length, "consumed outside the block");
    fuzz::Check(final ? consumed == length : length - consumed <= Transcoder::kCarriedBytes,
                "too many bytes carried");
    fuzz::Check(written >= 0 && written <= static_cast<std::int64_t>(out.size),
                "written past the room");
    result.bytes.insert(result.bytes.end(), out.bytes.get(), out.bytes.get() + written);
    carried.assign(bytes.begin() + consumed, bytes.end());
    if (final) break;
  }
  result.counts = transcoder.Counts();
  return result;
}

bool SameCounts(const TranscodeCounts& a, const TranscodeCounts& b) {
  if (a.replacements != b.replacements || a.first.size() != b.first.size()) return false;
  for (std::size_t i = 0; i < a.first.size(); ++i) {
    if (a.first[i].line != b.first[i].line || a.first[i].column != b.first[i].column ||
        a.first[i].character != b.first[i].character) {
      return false;
    }
  }
  return a.first.size() == std::min<std::uint64_t>(a.replacements, TranscodeCounts::kFirstPlaces);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const TranscodeOptions options = fuzz::TranscodeOptionsFrom(input);
  const std::uint8_t step = input.Byte();
  const std::uint8_t* const text = input.Rest();
  const std::size_t length = input.RestSize();
  const Result oracle = Convert(options, Transcoder::Steps::CharByChar, text, length, 0);
  for (const auto steps : {Transcoder::Steps::Eager, Transcoder::Steps::Baseline}) {
    const Result whole = Convert(options, steps, text, length, 0);
    fuzz::Check(whole.bytes == oracle.bytes, "the fast steps differ from the oracle");
    fuzz::Check(SameCounts(whole.counts, oracle.counts), "the fast steps count otherwise");
  }
  const Result blocks = Convert(options, Transcoder::Steps::Eager, text, length, step % 16 + 1);
  fuzz::Check(blocks.bytes == oracle.bytes, "blocks differ from the whole input");
  fuzz::Check(SameCounts(blocks.counts, oracle.counts), "blocks count otherwise");
  return 0;
}
