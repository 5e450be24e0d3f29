// kelvo's conversions: a first form that passes the bytes through unchanged.
#include "kelvo/Transcode.h"

#include <cstring>

namespace kelvo::transcode {

struct Transcoder::State {
  TranscodeOptions options;
  TranscodeCounts counts;
};

Transcoder::Transcoder(const TranscodeOptions& options)
    : state_(std::make_unique<State>(State{.options = options, .counts = {}})) {}

Transcoder::~Transcoder() = default;

std::int64_t Transcoder::OutputRoom(std::int64_t inputBytes) {
  return 4 * (inputBytes + kCarriedBytes) + 64;
}

std::int64_t Transcoder::Convert(const std::uint8_t* in, std::int64_t size, bool /*final*/,
                                 std::uint8_t* out, std::int64_t& consumed) {
  if (size > 0) std::memcpy(out, in, static_cast<std::size_t>(size));
  consumed = size;
  return size;
}

const TranscodeCounts& Transcoder::Counts() const {
  return state_->counts;
}

}  // namespace kelvo::transcode
