// kelvo's conversions through the streaming pump with blocks of a few bytes, read a few
// bytes at a time, against one conversion of the whole input.
#include <algorithm>
#include <cstring>
#include <limits>

#include "TranscodeInput.h"
#include "convert/StreamPump.h"
#include "kelvo/Transcode.h"

using namespace kelvo;
using namespace kelvo::transcode;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const TranscodeOptions options = fuzz::TranscodeOptionsFrom(input);
  const std::int64_t block = input.Byte() % 64 + 1;
  const std::uint8_t* const text = input.Rest();
  const std::size_t length = input.RestSize();
  const std::vector<std::uint8_t> expected =
      TranscodeAll(options, std::span<const std::uint8_t>(text, length));

  StreamPump pump;
  fuzz::Check(pump.AllocateInput(block, Transcoder::kCarriedBytes) &&
                  pump.AllocateOutput(Transcoder::OutputRoom(block + Transcoder::kCarriedBytes)),
              "pump memory");
  Transcoder transcoder(options);
  std::size_t at = 0;
  std::vector<std::uint8_t> out;
  const PumpEnds ends{
      .read =
          [&](std::uint8_t* buffer, std::int64_t count) {
            const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), length - at);
            if (n > 0) std::memcpy(buffer, text + at, n);
            at += n;
            return static_cast<std::int64_t>(n);
          },
      .write =
          [&](const std::uint8_t* bytes, std::int64_t count) {
            out.insert(out.end(), bytes, bytes + count);
            return BlockWrite::Done;
          },
  };
  fuzz::Check(pump.Pump(ends, transcoder, 1, std::numeric_limits<std::int64_t>::max(), 0, {}) ==
                  PumpOutcome::Written,
              "the pump failed");
  fuzz::Check(out == expected, "the pump's output differs from the whole conversion");
  return 0;
}
